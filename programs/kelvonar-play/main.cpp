// kelvonar-play: plays, checks and exports the frame records of a data file.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <iostream>
#include <string>
#include <vector>

#include "animation.hpp"
#include "commandline.hpp"
#include "datafile.hpp"
#include "exports.hpp"
#include "playerwindow.hpp"
#include "playrun.hpp"
#include "program.hpp"
#include "qimagefile.hpp"

namespace {

// Pause before --grab takes the picture, so that the window has been laid out and painted.
constexpr int kGrabDelayMs = 300;

int playInWindow(const player::PlayerOptions& options, const player::FrameRecords& records) {
    int argc = 1;
    char name[] = "kelvonar-play";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QString file = QFile::decodeName(options.file.c_str());
    player::FrameCursor cursor(records);
    player::PlayerWindow window(
        records.frames(), [&cursor](std::size_t k) -> const auto& { return cursor.screen(k); },
        {records.size(), options.scale}, QFileInfo(file).fileName() + " - kelvonar-play");
    window.showFrame(options.start);
    window.show();
    if (!options.grabPath) {
        window.play();
        return application.exec();
    }
    int status = support::kExitDone;
    QTimer::singleShot(kGrabDelayMs, &window, [&] {
        try {
            capture::saveQImage(window.grab().toImage(), *options.grabPath, "png");
        } catch (const support::FileError& error) {
            std::cerr << "kelvonar-play: " << error.what() << '\n';
            status = support::kExitFailed;
        }
        application.quit();
    });
    application.exec();
    return status;
}

// The run of the options: the outputs asked for, or the window.
int play(const player::PlayerOptions& options) {
    using namespace player;
    quietMediaLog();
    std::vector<std::uint8_t> bytes = readDataFile(options.file);
    // The bytes come out even when a record does not decode.
    if (options.bytesPath) {
        writeBytesFile(*options.bytesPath, bytes);
        std::cerr << "kelvonar-play: wrote " << support::shownPath(*options.bytesPath) << ": "
                  << bytes.size() << " bytes\n";
    }
    const FrameRecords records(options.file, std::move(bytes), options.size);
    if (options.wantsOutput()) return runOutputs(options, records, std::cout, std::cerr);
    if (records.frames() == 0) {
        std::cerr << "kelvonar-play: " << support::shownPath(options.file)
                  << " holds no frame records\n";
        return support::kExitFailed;
    }
    if (!support::displayAvailable()) {
        std::cerr << "kelvonar-play: " << support::shownPath(options.file) << ": "
                  << records.frames()
                  << " frames decoded, but there is no display to play them on (DISPLAY is "
                     "not set).\nUse --gif, --mp4 or --frames to export them, --info or "
                     "--check to inspect them.\n";
        return support::kExitUsage;
    }
    return playInWindow(options, records);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace player;
    return support::runProgram<PlayerOptions>({"kelvonar-play", KELVONAR_VERSION, playerUsage,
                                               [](const std::vector<std::string>& arguments) {
                                                   PlayerOptions options =
                                                       parsePlayerArguments(arguments);
                                                   refuseToOverwriteData(options);
                                                   return options;
                                               },
                                               play},
                                              argc, argv);
}
