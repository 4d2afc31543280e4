#pragma once

// Writing the job file safely: a complete new file or none at all.

#include <QByteArray>
#include <QString>

#include "fileerror.hpp"

namespace jobmaker {

// The file name of the job file.
inline constexpr char kJobFileName[] = "thisjob.ini";

// thisjob.ini in the program directory while it is writable, else in support::configFolder(),
// which it creates; needs a QCoreApplication.
QString defaultJobFilePath();

// Replaces the file at path with text (support::writeFileAtomic), so an existing file is never
// left half-written. Throws support::FileError, for a missing folder naming that folder.
void writeJobFile(const QString& path, const QByteArray& text);

}  // namespace jobmaker
