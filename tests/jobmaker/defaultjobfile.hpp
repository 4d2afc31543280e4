#pragma once

#include <QByteArray>
#include <QList>

// thisjob.ini exactly as the job maker writes it with its defaults.
inline const QByteArray kDefaultJobFile =
    "; Quorvium Multimedia 2 test release 1\r\n"
    "; by Telvard\r\n"
    "\r\n"
    "[device]\r\n"
    "devicename = TI82\r\n"
    "freemem = 24000\r\n"
    "width=96\r\n"
    "height=64\r\n"
    "\r\n"
    "[media]\r\n"
    "width=94\r\n"
    "height=62\r\n"
    "quality=0\r\n"
    "dithermode=0\r\n"
    "preview = 1\r\n"
    "brightness = 120\r\n"
    "contrast=40\r\n"
    "bgwhite = 0\r\n"
    "interlace = 1\r\n";

// The default file with its line number `line` (counted from 1) replaced by text.
inline QByteArray defaultJobFileWith(int line, const QByteArray& text) {
    QList<QByteArray> lines = kDefaultJobFile.split('\n');
    lines[line - 1] = text + '\r';
    return lines.join('\n');
}
