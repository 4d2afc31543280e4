#pragma once

#include <QImage>

#include "bitstring.hpp"
#include "screenraster.hpp"

namespace player {

// The picture of screen as an indexed image: colour 0 the light grey, colour 1 black, every screen
// pixel geometry.scale pixels wide and high.
QImage screenImage(const TIFunctions::BitString& screen, const PictureGeometry& geometry);

}  // namespace player
