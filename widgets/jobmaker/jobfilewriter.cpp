#include "jobfilewriter.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "atomicfile.hpp"
#include "configfolder.hpp"

namespace jobmaker {

QString defaultJobFilePath() {
    const std::string programDirectory =
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    const QString folder = QFile::decodeName(support::jobFolder(programDirectory).c_str());
    // The configuration folder is made on first use; a failure shows when the file is written.
    QDir().mkpath(folder);
    return QDir(folder).filePath(QString::fromLatin1(kJobFileName));
}

void writeJobFile(const QString& path, const QByteArray& text) {
    const std::string file = QFile::encodeName(path).toStdString();
    const QFileInfo info(path);
    if (!info.isDir() && !info.dir().exists()) {
        throw support::FileError(
            file, "the folder " + QDir::toNativeSeparators(info.absolutePath()).toStdString() +
                      " does not exist");
    }
    support::writeFileAtomic(
        file, std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

}  // namespace jobmaker
