#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

// The shipped samples/thisjob.ini: thisjob.ini exactly as the job maker writes it with its
// defaults.
inline const QByteArray kDefaultJobFile = [] {
    QFile file(QStringLiteral(KELVONAR_SOURCE_DIR "/samples/thisjob.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing sample>");
}();

// The default file with its line number `line` (counted from 1) replaced by text.
inline QByteArray defaultJobFileWith(int line, const QByteArray& text) {
    QList<QByteArray> lines = kDefaultJobFile.split('\n');
    lines[line - 1] = text + '\r';
    return lines.join('\n');
}
