#pragma once

// Writing the job file safely: a complete new file or none at all.

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <string>

// A job file that could not be written.
class JobFileWriteError : public std::runtime_error {
  public:
    // what() reads "cannot write the job file <path>: <reason>".
    JobFileWriteError(const QString& path, const QString& reason);

    // The path that was to be written.
    const QString& path() const noexcept { return m_path; }
    // Why it failed, for example "Permission denied".
    const QString& reason() const noexcept { return m_reason; }

  private:
    QString m_path;
    QString m_reason;
};

// The file name of the job file.
inline constexpr char kJobFileName[] = "thisjob.ini";

// The program directory followed by "/thisjob.ini"; needs a QCoreApplication.
QString defaultJobFilePath();

// Replaces the file at path with text: written to a temporary file beside it, then renamed into
// place, so an existing file is never left half-written. Throws JobFileWriteError.
void writeJobFile(const QString& path, const QByteArray& text);
