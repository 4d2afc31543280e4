#pragma once

// The job file reader: values of thisjob.ini by section and key.
// Every read opens the file, scans it from the top and closes it again; nothing is cached.

#include <stdexcept>
#include <string>
#include <string_view>

namespace INIfiles {

// A job file that cannot be read: missing, unreadable, a directory, or empty.
class JobFileError : public std::runtime_error {
  public:
    // what() reads "cannot read the job file <path>: <reason>".
    JobFileError(std::string path, std::string reason);

    // The path as the caller gave it.
    const std::string& path() const noexcept { return m_path; }
    // Why the file could not be read, for example "No such file or directory".
    const std::string& reason() const noexcept { return m_reason; }

  private:
    std::string m_path;
    std::string m_reason;
};

// The trimmed value of the first entry for key after the line "[section]" in text, or "".
// Section and key are compared in lower case; the key matches as a prefix of the line.
std::string FindINIString(std::string_view text, std::string_view section, std::string_view key);

// FindINIString over the contents of the file fileName; throws JobFileError when it cannot be read.
std::string ReadINIString(const std::string& fileName, std::string_view section,
                          std::string_view key);

// ParseLeadingNumber of ReadINIString: 0 for a missing key or a value without a leading number.
double ReadININumber(const std::string& fileName, std::string_view section, std::string_view key);

// The leading decimal number of text ("." as separator, exponent "E" or "D"), ignoring blanks,
// tabs and line feeds anywhere; 0 when there is none or it does not fit a double.
double ParseLeadingNumber(std::string_view text);

}  // namespace INIfiles
