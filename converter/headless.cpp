#include "headless.hpp"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "converter.hpp"
#include "fileerror.hpp"
#include "inifiles.hpp"
#include "mediaplayer.hpp"
#include "runreport.hpp"
#include "tifunctions.hpp"

namespace conversion {

namespace {

std::atomic<bool>* g_stopRequest = nullptr;

extern "C" void requestStop(int) {
    if (g_stopRequest != nullptr) g_stopRequest->store(true);
}

// Routes SIGINT and SIGTERM to a stop request while it lives.
class StopOnSignals {
  public:
    explicit StopOnSignals(std::atomic<bool>& stop) {
        g_stopRequest = &stop;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopOnSignals() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_stopRequest = nullptr;
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

  private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// Progress on stderr: a live line on a terminal, a plain line every few seconds of video otherwise.
class Progress final : public RunObserver {
  public:
    Progress(std::ostream& err, bool verbose)
        : m_err(err), m_verbose(verbose), m_live(::isatty(STDERR_FILENO) == 1) {}

    // The video is open: progress counts its frames from here on.
    void setVideo(double length, const Stretch& stretch) {
        m_progress.stretch = stretch;
        m_progress.videoFrames = stretchFrames(stretch, length);
    }

    void jobValue(std::string_view section, std::string_view key, double value,
                  const std::string& origin) override {
        if (m_verbose)
            m_err << "kelvonar: job value [" << section << "] " << key << " = "
                  << plainNumber(value) << " (" << origin << ")\n";
    }
    void videoTurned(const std::string& turn) override {
        if (m_verbose) m_err << "kelvonar: the video's pictures are " << turn << " for showing\n";
    }
    void fitChosen(const std::string& options, std::size_t bytes) override {
        breakLiveLine();
        m_err << "kelvonar: --fit chose " << options << " (" << bytes << " bytes)\n";
    }
    void warning(const std::string& message) override {
        breakLiveLine();
        m_err << "kelvonar: warning: " << message << '\n';
    }
    void frameDone(const FrameReport& report, const capture::Picture&,
                   const StatisticsLabels& labels) override {
        m_progress.labels = labels;
        m_progress.frames = report.k + 1;
        const auto now = std::chrono::steady_clock::now();
        if (m_live) {
            if (now - m_lastShown < std::chrono::milliseconds(100)) return;
            m_lastShown = now;
            m_err << '\r' << progressLine(m_progress) << "\x1b[K" << std::flush;
            m_lineOpen = true;
        } else if (report.k % 50 == 0) {
            m_err << "kelvonar: " << progressLine(m_progress) << '\n';
        }
    }

    // Ends the live line where it stands, so that a message goes below it.
    void breakLiveLine() {
        if (m_lineOpen) m_err << '\n';
        m_lineOpen = false;
    }
    // Clears the live line: the summary repeats its last state.
    void clearLiveLine() {
        if (m_lineOpen) m_err << "\r\x1b[K" << std::flush;
        m_lineOpen = false;
    }

  private:
    std::ostream& m_err;
    bool m_verbose;
    bool m_live;
    bool m_lineOpen = false;
    std::chrono::steady_clock::time_point m_lastShown{};
    RunProgress m_progress;
};

}  // namespace

int printRunEnd(std::ostream& err, Converter& converter, const Statistics& statistics,
                const Stretch& stretch) {
    const ConvertSettings& settings = converter.settings();
    RunProgress progress;
    progress.frames = statistics.frames;
    progress.videoFrames = stretchFrames(stretch, converter.Length());
    progress.stretch = stretch;
    progress.labels = labelTexts(statistics, settings.MaxBytes, converter.layout().player.width,
                                 converter.layout().player.height);
    err << "kelvonar: converted " << progressLine(progress) << '\n';
    err << "kelvonar: key / difference frames per code type:\n";
    err << TIFunctions::codeTypePanel(statistics.counts);
    // A path in full: a window started from a menu has no obvious current folder.
    std::error_code error;
    const std::filesystem::path written =
        std::filesystem::absolute(converter.paths().output, error);
    const std::string output =
        support::shownPath(error ? converter.paths().output : written.lexically_normal().string());
    if (converter.WantToStop()) {
        err << "kelvonar: cancelled; the " << statistics.frames
            << " frames converted so far are saved in " << output << '\n';
        return support::kExitCancelled;
    }
    if (const std::string note = budgetNote(progress, settings.MaxBytes, statistics.bytesWritten);
        !note.empty()) {
        err << "kelvonar: " << note << '\n';
    }
    err << "kelvonar: wrote " << output << '\n';
    return support::kExitDone;
}

int runHeadless(const ConverterOptions& options, std::ostream& err) {
    capture::quietMediaLog();
    const RunPaths paths =
        defaultPaths(programDirectory(), options.jobPath, options.outputPath, options.dumpDir);
    Progress progress(err, options.verbose);
    try {
        Converter converter(paths,
                            options.seed.value_or(capture::UniformRandom::seedFromTimeOfDay()),
                            progress, options.jobValues);
        converter.setStretch(options.stretch);
        converter.setFit(options.fit);
        converter.setKeepAspect(options.keepAspect);
        converter.setDeinterlace(options.deinterlace);
        converter.setThreads(options.threads);
        converter.load(options.FileName);
        progress.setVideo(converter.Length(), options.stretch);
        Statistics statistics;
        {
            StopOnSignals signals(converter.WantToStop());
            statistics = converter.DoConvert();
        }
        progress.clearLiveLine();
        return printRunEnd(err, converter, statistics, options.stretch);
    } catch (const support::UsageError& error) {
        progress.breakLiveLine();
        err << "kelvonar: " << error.what() << '\n';
        return support::kExitUsage;
    } catch (const std::exception& error) {
        progress.breakLiveLine();
        err << "kelvonar: " << error.what() << '\n';
        return support::kExitFailed;
    }
}

}  // namespace conversion
