#include "jobfilewriter.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

JobFileWriteError::JobFileWriteError(const QString& path, const QString& reason)
    : std::runtime_error(
          QStringLiteral("cannot write the job file %1: %2").arg(path, reason).toStdString()),
      m_path(path),
      m_reason(reason) {}

QString defaultJobFilePath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kJobFileName));
}

void writeJobFile(const QString& path, const QByteArray& text) {
    const QFileInfo info(path);
    if (info.isDir()) throw JobFileWriteError(path, QStringLiteral("it is a folder"));
    if (!info.dir().exists()) {
        throw JobFileWriteError(path, QStringLiteral("the folder %1 does not exist")
                                          .arg(QDir::toNativeSeparators(info.absolutePath())));
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw JobFileWriteError(path, file.errorString());
    if (file.write(text) != text.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw JobFileWriteError(path, reason);
    }
    if (!file.commit()) throw JobFileWriteError(path, file.errorString());
}
