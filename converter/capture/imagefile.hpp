#pragma once

#include <string>

#include "picture.hpp"

namespace capture {

// Saves picture to path as a BMP file, or as PNG when path ends in ".png" (any case).
// Throws OutputError when the picture is empty or the file cannot be written.
void SaveImage(const Picture& picture, const std::string& path);

}  // namespace capture
