// prelmat: the job maker. Opens the dialog, or with --defaults writes the default job file
// without needing a display.

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "commandline.hpp"
#include "form1.hpp"
#include "jobfilewriter.hpp"
#include "jobsettings.hpp"

namespace {

int reportUsageError(const UsageError& error) {
    std::fprintf(stderr, "prelmat: %s (see prelmat --help)\n", error.what());
    return 2;
}

// --defaults: a QCoreApplication only, so no display is ever opened.
int writeDefaults(int& argc, char** argv, const PrelmatOptions& options) {
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    const QString path = options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath;
    try {
        writeJobFile(path, jobFileText(JobSettings{}));
    } catch (const JobFileWriteError& error) {
        std::fprintf(stderr, "prelmat: %s\n", error.what());
        return 1;
    }
    return 0;
}

// Saves what the screen shows of the dialog once it is on screen, then ends the program.
void saveScreenshotWhenShown(Form1& form, const QString& path) {
    auto* poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, &form, [&form, poll, path] {
        if (!form.windowHandle() || !form.windowHandle()->isExposed()) return;
        poll->stop();
        QTimer::singleShot(300, &form, [&form, path] {
            const QPixmap picture = form.screen()->grabWindow(form.winId());
            if (!picture.save(path)) {
                std::fprintf(stderr, "prelmat: cannot save %s\n", qPrintable(path));
                QCoreApplication::exit(1);
                return;
            }
            QCoreApplication::exit(0);
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
        arguments.contains(u"-h")) {
        PrelmatOptions options;
        try {
            options = parsePrelmatArguments(arguments);
        } catch (const UsageError& error) {
            return reportUsageError(error);
        }
        if (options.help) {
            std::fputs(qPrintable(prelmatUsage()), stdout);
            return 0;
        }
        return writeDefaults(argc, argv, options);
    }

    // QApplication takes its own options (-platform, -style, ...) out of argv first.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    PrelmatOptions options;
    try {
        options = parsePrelmatArguments(QApplication::arguments().mid(1));
    } catch (const UsageError& error) {
        return reportUsageError(error);
    }

    Form1 form(options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath);
    form.show();
    if (!options.screenshotPath.isEmpty()) saveScreenshotWhenShown(form, options.screenshotPath);
    return QApplication::exec();
}
