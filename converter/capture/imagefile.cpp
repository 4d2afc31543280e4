#include "imagefile.hpp"

#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include "outputfile.hpp"

namespace capture {

void SaveImage(const Picture& picture, const std::string& path) {
    if (picture.empty()) throw OutputError(path, "the picture is empty");
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    if (picture.rgb.size() < rowBytes * static_cast<std::size_t>(picture.height)) {
        throw OutputError(path, "the picture holds fewer bytes than its size needs");
    }
    // The image only borrows the pixels; the writer reads them before this function returns.
    const QImage image(picture.rgb.data(), picture.width, picture.height,
                       static_cast<qsizetype>(rowBytes), QImage::Format_RGB888);

    const QString fileName = QString::fromStdString(path);
    const QByteArray format = fileName.endsWith(".png", Qt::CaseInsensitive) ? "png" : "bmp";
    QImageWriter writer(fileName, format);
    if (!writer.write(image)) {
        throw OutputError(path, writer.errorString().toStdString());
    }
}

}  // namespace capture
