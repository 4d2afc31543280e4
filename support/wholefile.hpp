#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "fileerror.hpp"

namespace support {

// The whole contents of the file at path. Throws FileError for a file that cannot be opened or
// read, and for a folder ("it is a folder").
std::string readWholeFile(const std::string& path);

// Reads the file at path piece by piece, holding one piece at a time: calls sized with the size
// the file has when opened, then take with each piece in order. Throws FileError as readWholeFile
// does, and what the callbacks throw.
void readFileInPieces(const std::string& path, const std::function<void(std::uint64_t)>& sized,
                      const std::function<void(std::string_view)>& take);

}  // namespace support
