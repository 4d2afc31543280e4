#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace support {

// A file that could not be read or written, or a fault at a line of it. what() reads
// "PATH: REASON", "PATH:LINE: REASON" or "PATH:LINE:COLUMN: REASON", the path as shownPath gives
// it.
class FileError : public std::runtime_error {
  public:
    FileError(std::string path, std::string reason, std::size_t line = 0, std::size_t column = 0);

    // The path as the caller gave it.
    const std::string& path() const noexcept { return m_path; }
    // Why, for example "No such file or directory".
    const std::string& reason() const noexcept { return m_reason; }
    // The line of the fault, from 1; 0 when the fault is not at a line.
    std::size_t line() const noexcept { return m_line; }
    // The column of the fault, from 1, counted in bytes; 0 when there is none.
    std::size_t column() const noexcept { return m_column; }

  private:
    std::string m_path;
    std::string m_reason;
    std::size_t m_line;
    std::size_t m_column;
};

// The text of an errno value, as strerror gives it ("Permission denied").
std::string errorText(int error);

// path for a message on one line: as it is, or in double quotes with C escapes when it holds a
// control character, a double quote or a backslash next to one of those.
std::string shownPath(std::string_view path);

}  // namespace support
