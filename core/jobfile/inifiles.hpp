#pragma once

// The job file reader: values of thisjob.ini by section and key.
// Every read opens the file, scans it from the top and closes it again; nothing is cached.

#include <string>
#include <string_view>

#include "fileerror.hpp"

namespace INIfiles {

// The trimmed value of the first entry for key after the line "[section]" in text, or "".
// Section and key are compared in lower case; the key matches as a prefix of the line.
std::string findIniString(std::string_view text, std::string_view section, std::string_view key);

// findIniString over the contents of the file fileName; throws
// support::FileError when it is missing, unreadable, a folder or empty.
std::string ReadINIString(const std::string& fileName, std::string_view section,
                          std::string_view key);

// parseLeadingNumber of ReadINIString: 0 for a missing key or a value without a leading number.
double ReadININumber(const std::string& fileName, std::string_view section, std::string_view key);

// The leading decimal number of text ("." as separator, exponent "E" or "D"), ignoring blanks,
// tabs and line feeds anywhere; 0 when there is none or it does not fit a double.
double parseLeadingNumber(std::string_view text);

}  // namespace INIfiles
