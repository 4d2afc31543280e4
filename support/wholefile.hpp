#pragma once

#include <string>

#include "fileerror.hpp"

namespace support {

// The whole contents of the file at path. Throws FileError for a file that cannot be opened or
// read, and for a folder ("it is a folder").
std::string readWholeFile(const std::string& path);

}  // namespace support
