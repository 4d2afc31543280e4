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
#include <iostream>

#include "atomicfile.hpp"
#include "commandline.hpp"
#include "form1.hpp"
#include "jobfilewriter.hpp"
#include "jobsettings.hpp"
#include "program.hpp"

using namespace jobmaker;

namespace {

// --defaults: a QCoreApplication only, so no display is ever opened.
int writeDefaults(int& argc, char** argv, const PrelmatOptions& options) {
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    const QString path = options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath;
    writeJobFile(path, jobFileText(JobSettings{}));
    std::cout << "prelmat: wrote " << qPrintable(QFileInfo(path).absoluteFilePath()) << '\n';
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

// Whether the dialog is to open: asked for neither --defaults, --help nor --version, with a
// display (or a platform chosen with -platform).
bool dialogOpens(const QStringList& arguments) {
    for (const char* option : {"--defaults", "--help", "-h", "--version"}) {
        if (arguments.contains(QLatin1String(option))) return false;
    }
    return support::displayAvailable() || arguments.contains(u"-platform");
}

// The arguments of main after the program name.
QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Opens the dialog for the job file the command line names, read once QApplication has taken
// its own options (-platform, -style, ...) out of argv.
int showDialog(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    const PrelmatOptions options = parsePrelmatArguments(QApplication::arguments().mid(1));
    Form1 form(options.jobPath.isEmpty() ? defaultJobFilePath() : options.jobPath);
    form.show();
    if (!options.screenshotPath.isEmpty()) saveScreenshotWhenShown(form, options.screenshotPath);
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList arguments = argumentList(argc, argv);
    return support::runProgram<PrelmatOptions>(
        {"prelmat", KELVONAR_VERSION, prelmatUsage,
         [&](const std::vector<std::string>&) {
             // The dialog's command line is read once Qt's options are out of it (showDialog);
             // otherwise a mistake in the options is named before the missing display.
             return dialogOpens(arguments) ? PrelmatOptions{} : parsePrelmatArguments(arguments);
         },
         [&](const PrelmatOptions& options) {
             if (options.defaults) return writeDefaults(argc, argv, options);
             if (!dialogOpens(arguments)) {
                 std::cerr << "prelmat: no display to show the dialog on (DISPLAY is not set); "
                              "use --defaults to write the default job file without it\n";
                 return support::kExitUsage;
             }
             return showDialog(argc, argv);
         }},
        argc, argv);
}
