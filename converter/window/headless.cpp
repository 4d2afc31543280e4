#include "headless.hpp"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ostream>
#include <sstream>

#include "converter.hpp"
#include "fileerror.hpp"
#include "inifiles.hpp"
#include "mediaplayer.hpp"
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
        endLiveLine();
        m_err << "kelvonar: --fit chose " << options << " (" << bytes << " bytes)\n";
    }
    void warning(const std::string& message) override {
        endLiveLine();
        m_err << "kelvonar: warning: " << message << '\n';
    }
    void frameDone(const FrameReport& report, const capture::Picture&,
                   const StatisticsLabels& labels) override {
        m_labels = labels;
        const auto now = std::chrono::steady_clock::now();
        if (m_live) {
            if (now - m_lastShown < std::chrono::milliseconds(100)) return;
            m_lastShown = now;
            m_err << '\r' << line() << "\x1b[K" << std::flush;
            m_lineOpen = true;
        } else if (report.k % 50 == 0) {
            m_err << "kelvonar: " << line() << '\n';
        }
    }

    void endLiveLine() {
        if (m_lineOpen) m_err << '\r' << line() << "\x1b[K\n";
        m_lineOpen = false;
    }
    const StatisticsLabels& labels() const { return m_labels; }

    std::string line() const {
        std::ostringstream text;
        text << "frame " << m_labels.FrameStatusLabel << " of ~" << m_labels.FramesExpectedLabel
             << ", " << m_labels.BytesWrittenLabel << " of " << m_labels.BytesToDoLabel
             << " bytes (" << m_labels.PercentDone << "%), compression "
             << m_labels.CompressionLabel << "%";
        return text.str();
    }

  private:
    std::ostream& m_err;
    bool m_verbose;
    bool m_live;
    bool m_lineOpen = false;
    std::chrono::steady_clock::time_point m_lastShown{};
    StatisticsLabels m_labels;
};

void printSummary(std::ostream& err, const Progress& progress, const Statistics& statistics) {
    err << "kelvonar: " << progress.line() << '\n';
    err << "kelvonar: key / difference frames per code type:\n";
    err << TIFunctions::codeTypePanel(statistics.counts);
}

}  // namespace

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
        converter.load(options.FileName);
        Statistics statistics;
        {
            StopOnSignals signals(converter.WantToStop());
            statistics = converter.DoConvert();
        }
        progress.endLiveLine();
        printSummary(err, progress, statistics);
        if (converter.WantToStop()) {
            err << "kelvonar: cancelled; the " << statistics.frames
                << " frames converted so far are saved in " << support::shownPath(paths.output)
                << '\n';
            return support::kExitCancelled;
        }
        err << "kelvonar: wrote " << support::shownPath(paths.output) << '\n';
        return support::kExitDone;
    } catch (const support::UsageError& error) {
        progress.endLiveLine();
        err << "kelvonar: " << error.what() << '\n';
        return support::kExitUsage;
    } catch (const std::exception& error) {
        progress.endLiveLine();
        err << "kelvonar: " << error.what() << '\n';
        return support::kExitFailed;
    }
}

}  // namespace conversion
