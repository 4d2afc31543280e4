#include "screenimage.hpp"

namespace player {

QImage screenImage(const TIFunctions::BitString& screen, const PictureGeometry& geometry) {
    QImage image(geometry.width(), geometry.height(), QImage::Format_Indexed8);
    image.setColorTable({qRgb(kLightColour.red, kLightColour.green, kLightColour.blue),
                         qRgb(kDarkColour.red, kDarkColour.green, kDarkColour.blue)});
    rasterise(screen, geometry, image.bits(), static_cast<std::size_t>(image.bytesPerLine()));
    return image;
}

}  // namespace player
