// prelmat: the job maker. Opens the dialog, or with --defaults writes the default job file
// without needing a display.

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <iostream>

#include "atomicfile.hpp"
#include "commandline.hpp"
#include "form1.hpp"
#include "jobfilewriter.hpp"
#include "jobsettings.hpp"
#include "program.hpp"

using namespace jobmaker;

namespace {

int reportUsageError(const support::UsageError& error) {
    return support::reportUsageError(std::cerr, "prelmat", error);
}

// --defaults: a QCoreApplication only, so no display is ever opened.
int writeDefaults(int& argc, char** argv, const PrelmatOptions& options) {
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    const QString path = options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath;
    try {
        writeJobFile(path, jobFileText(JobSettings{}));
        std::cout << "prelmat: wrote " << qPrintable(QFileInfo(path).absoluteFilePath()) << '\n';
    } catch (const support::FileError& error) {
        std::cerr << "prelmat: " << error.what() << '\n';
        return support::kExitFailed;
    }
    return support::kExitDone;
}

// Saves what the screen shows of the dialog once it is on screen, then ends the program.
void saveScreenshotWhenShown(Form1& form, const QString& path) {
    auto* poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, &form, [&form, poll, path] {
        if (!form.windowHandle() || !form.windowHandle()->isExposed()) return;
        poll->stop();
        QTimer::singleShot(300, &form, [&form, path] {
            const QPixmap picture = form.screen()->grabWindow(form.winId());
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            const std::string file = QFile::encodeName(path).toStdString();
            try {
                if (!picture.save(&buffer, "png"))
                    throw support::FileError(file, "the picture cannot be encoded");
                support::writeFileAtomic(
                    file,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            } catch (const support::FileError& error) {
                std::cerr << "prelmat: " << error.what() << '\n';
                QCoreApplication::exit(support::kExitFailed);
                return;
            }
            QCoreApplication::exit(support::kExitDone);
        });
    });
    poll->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (arguments.contains(u"--defaults") || arguments.contains(u"--help") ||
        arguments.contains(u"-h") || arguments.contains(u"--version")) {
        PrelmatOptions options;
        try {
            options = parsePrelmatArguments(arguments);
        } catch (const support::UsageError& error) {
            return reportUsageError(error);
        }
        if (options.help) {
            std::fputs(qPrintable(prelmatUsage()), stdout);
            return support::kExitDone;
        }
        if (options.version) {
            std::cout << "prelmat " << KELVONAR_VERSION << '\n';
            return support::kExitDone;
        }
        return writeDefaults(argc, argv, options);
    }
    if (!support::displayAvailable() && !arguments.contains(u"-platform")) {
        // A mistake in the options is named before the missing display.
        try {
            parsePrelmatArguments(arguments);
        } catch (const support::UsageError& error) {
            return reportUsageError(error);
        }
        std::cerr << "prelmat: no display to show the dialog on (DISPLAY is not set); "
                     "use --defaults to write the default job file without it\n";
        return support::kExitUsage;
    }

    // QApplication takes its own options (-platform, -style, ...) out of argv first.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    PrelmatOptions options;
    try {
        options = parsePrelmatArguments(QApplication::arguments().mid(1));
    } catch (const support::UsageError& error) {
        return reportUsageError(error);
    }

    Form1 form(options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath);
    form.show();
    if (!options.screenshotPath.isEmpty()) saveScreenshotWhenShown(form, options.screenshotPath);
    return QApplication::exec();
}
