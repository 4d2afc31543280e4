#pragma once

// The settings of a conversion job and the job file text they make.

#include <QByteArray>
#include <QString>

namespace jobmaker {

// What the job maker writes: the dialog's choices, with the dialog's defaults.
struct JobSettings {
    // The target device, "TI82" or "TI83".
    QString deviceName = QStringLiteral("TI82");
    // The picture size, exactly as typed; never checked.
    QString width = QStringLiteral("94");
    QString height = QStringLiteral("62");
    // The quality slider, 1 to 8; the file holds 8 minus this.
    int qualityPosition = 8;
    // 0 None, 1 Linear, 2 Natural.
    int ditherMode = 0;
    bool preview = true;
    // 0 to 255.
    int brightness = 120;
    // 0 to 128.
    int contrast = 40;
    // 0 black, 1 white.
    int background = 0;
    bool interlace = true;
};

// The 19 lines of thisjob.ini for settings, each ended by CR LF; typed texts are written as UTF-8.
QByteArray jobFileText(const JobSettings& settings);

}  // namespace jobmaker
