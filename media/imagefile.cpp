#include "imagefile.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include "atomicfile.hpp"
#include "qimagefile.hpp"

namespace capture {

void saveQImage(const QImage& image, const std::string& path, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) throw support::FileError(path, writer.errorString().toStdString());
    support::writeFileAtomic(
        path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void saveImage(const Picture& picture, const std::string& path) {
    if (picture.empty()) throw support::FileError(path, "the picture is empty");
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    if (picture.rgb.size() < rowBytes * static_cast<std::size_t>(picture.height)) {
        throw support::FileError(path, "the picture holds fewer bytes than its size needs");
    }
    // The image only borrows the pixels; the writer reads them before this function returns.
    const QImage image(picture.rgb.data(), picture.width, picture.height,
                       static_cast<qsizetype>(rowBytes), QImage::Format_RGB888);
    const bool png = QString::fromStdString(path).endsWith(".png", Qt::CaseInsensitive);
    saveQImage(image, path, png ? "png" : "bmp");
}

}  // namespace capture
