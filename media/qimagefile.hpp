#pragma once

#include <QImage>
#include <string>

#include "fileerror.hpp"

namespace capture {

// Encodes image in format ("png", "bmp", ...) and writes it to path with support::writeFileAtomic,
// so that a failure leaves any older file as it was. Throws support::FileError.
void saveQImage(const QImage& image, const std::string& path, const char* format);

}  // namespace capture
