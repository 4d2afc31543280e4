#pragma once

#include <string>

#include "fileerror.hpp"
#include "picture.hpp"

namespace capture {

// Saves picture to path as a BMP file, or as PNG when path ends in ".png" (any case), replacing
// any older file only once the new one is complete. Throws support::FileError when the picture is
// empty or the file cannot be written.
void saveImage(const Picture& picture, const std::string& path);

}  // namespace capture
