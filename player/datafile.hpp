#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace player {

// A data file that cannot be read, or a line that is not " .db" and one to eight " %bbbbbbbb"
// items; carries the path and, for a line, its number and the column of the fault (from 1).
class DataFileError : public std::runtime_error {
  public:
    // A file that cannot be read at all.
    DataFileError(std::string path, std::string reason);
    // A fault in the text: what was expected at line:column and what was found there.
    DataFileError(std::string path, std::size_t line, std::size_t column, std::string expected,
                  std::string found);

    const std::string& path() const noexcept { return m_path; }
    // Line of the fault, from 1; 0 when the file could not be read.
    std::size_t line() const noexcept { return m_line; }
    // Column of the fault, from 1, counted in bytes.
    std::size_t column() const noexcept { return m_column; }
    // What the reader expected there (or why the file could not be read).
    const std::string& expected() const noexcept { return m_expected; }
    // What it found there instead.
    const std::string& found() const noexcept { return m_found; }

  private:
    std::string m_path;
    std::size_t m_line = 0;
    std::size_t m_column = 0;
    std::string m_expected;
    std::string m_found;
};

// The bytes of data lines: every line " .db" and one to eight items " %bbbbbbbb" separated by
// ",", each line ended by CR LF or LF. Accepts nothing else; path only names the text in errors.
// Throws DataFileError at the first fault.
std::vector<std::uint8_t> parseDataLines(std::string_view text, const std::string& path);

// parseDataLines of the file at path. Throws DataFileError.
std::vector<std::uint8_t> readDataFile(const std::string& path);

}  // namespace player
