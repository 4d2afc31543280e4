#include "jobsettings.hpp"

#include <initializer_list>

namespace jobmaker {

QByteArray jobFileText(const JobSettings& settings) {
    const auto flag = [](bool on) { return QByteArray(on ? "1" : "0"); };
    const std::initializer_list<QByteArray> lines = {
        "; Quorvium Multimedia 2 test release 1",
        "; by Telvard",
        "",
        "[device]",
        "devicename = " + settings.deviceName.toUtf8(),
        "freemem = 24000",
        "width=96",
        "height=64",
        "",
        "[media]",
        "width=" + settings.width.toUtf8(),
        "height=" + settings.height.toUtf8(),
        "quality=" + QByteArray::number(8 - settings.qualityPosition),
        "dithermode=" + QByteArray::number(settings.ditherMode),
        "preview = " + flag(settings.preview),
        "brightness = " + QByteArray::number(settings.brightness),
        "contrast=" + QByteArray::number(settings.contrast),
        "bgwhite = " + QByteArray::number(settings.background),
        "interlace = " + flag(settings.interlace),
    };
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

}  // namespace jobmaker
