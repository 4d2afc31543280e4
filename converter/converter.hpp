#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "dryxconvert.hpp"
#include "jobvalues.hpp"
#include "layout.hpp"
#include "mediaplayer.hpp"
#include "picture.hpp"
#include "surface.hpp"
#include "uniformrandom.hpp"

namespace capture {
class FrameSource;
}

namespace conversion {

// Where a run reads and writes.
struct RunPaths {
    std::string job;                        // the job file
    std::string output;                     // the data file
    std::string debugFolder;                // folder of the debug images
    std::optional<std::string> dumpFolder;  // folder of the canvases as PBM files
    bool jobMayBeMissing = false;           // no job file: the job maker's defaults apply
};

// The paths of a converter in programDirectory, as the options change them. Run from its writable
// build folder, the job file, my.z80 and the debug folder "output" are there; otherwise (installed
// or copied) the job file is in support::configFolder() and the others in the current directory.
// Without job, a missing job file means the job maker's defaults.
RunPaths defaultPaths(const std::string& programDirectory, const std::optional<std::string>& job,
                      const std::optional<std::string>& output,
                      const std::optional<std::string>& dumpFolder);

// The directory of the running executable.
std::string programDirectory();

// Told what a run does, for the window or the command line; called on the converting thread.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    // A job value as it was read, and where from ("option --quality", "job file PATH",
    // "default").
    virtual void jobValue(std::string_view /*section*/, std::string_view /*key*/, double /*value*/,
                          const std::string& /*origin*/) {}
    // The conversion begins with these settings, the window laid out for the preview choice.
    virtual void conversionStarted(const ConvertSettings& /*settings*/,
                                   const capture::Layout& /*layout*/) {}
    // The video's display matrix turns its pictures for showing; turn says how.
    virtual void videoTurned(const std::string& /*turn*/) {}
    // --fit chose the settings that options give ("--quality 2 --interlace --seed 5"); bytes
    // of data.
    virtual void fitChosen(const std::string& /*options*/, std::size_t /*bytes*/) {}
    // Something went wrong that does not stop the conversion.
    virtual void warning(const std::string& /*message*/) {}
    // The canvas of frame k, before the search.
    virtual void canvasTaken(std::size_t /*k*/, const TIFunctions::BitString& /*canvas*/) {}
    // The picture the converter sampled for frame k, as the player shows it at Width x Height.
    virtual void pictureSampled(std::size_t /*k*/, const capture::Picture& /*picture*/) {}
    // Frame k is done: the preview (empty when the preview is off) and the statistics labels.
    virtual void frameDone(const FrameReport& /*report*/, const capture::Picture& /*preview*/,
                           const StatisticsLabels& /*labels*/) {}
};

// One conversion run, from the command line to the written data file: the converter's start-up,
// DoConvert and the frame loop's host. Errors are thrown as support::FileError, JobValueError or
// capture::MediaError, each naming the file.
class Converter final : public FrameLoopHost {
  public:
    // overrides replace the job file's values for their keys.
    Converter(RunPaths paths, std::uint64_t seed, RunObserver& observer,
              std::vector<JobOverride> overrides = {});
    ~Converter() override;

    // Start-up: refuses an output that would replace FileName or the job file
    // (support::UsageError), reads the player size, canvas size and background, checks the
    // canvas size and the output folder, opens FileName and lays out the window.
    void load(const std::string& FileName);
    // Converts only this stretch of the video; given before load, which throws
    // support::UsageError when the stretch begins past the end of the video.
    void setStretch(const Stretch& stretch) { m_stretch = stretch; }
    // With fit, DoConvert takes the canvases of the stretch once and converts them with the least
    // lossy of kFitSteps that fits the budget; it throws JobValueError when none does.
    void setFit(bool fit) { m_fit = fit; }
    // With keep, given before load, the picture is scaled whole and centred in the player's
    // area, the rest left to the background; otherwise it is stretched over it.
    void setKeepAspect(bool keep) { m_keepAspect = keep; }
    // Which frames of the video are deinterlaced; given before load.
    void setDeinterlace(capture::Deinterlace mode) { m_media.deinterlace = mode; }
    // How many threads decode the video (0: one per core); given before load.
    void setThreads(int threads) { m_media.threads = threads; }
    // The conversion: reads the remaining job values, applies the preview layout, runs the frame
    // loop and saves the data file. Returns the statistics of the run.
    Statistics DoConvert();

    // Requests a stop after the frame in progress; safe from any thread or a signal handler.
    std::atomic<bool>& WantToStop() override { return m_stop; }

    const capture::Layout& layout() const noexcept { return m_layout; }
    const ConvertSettings& settings() const noexcept { return m_settings; }
    const RunPaths& paths() const noexcept { return m_paths; }
    // The playing length of the video in seconds.
    double Length() override;

  private:
    JobValueReport report();
    TIFunctions::BitString getCanvas(double t, double Brightness, double Contrast,
                                     double WantDither) override;
    void canvasTaken(std::size_t k, const TIFunctions::BitString& canvas) override;
    void ShowCanvas(const TIFunctions::BitString& reference) override;
    void saveDebugImage(std::size_t k) override;
    void frameDone(const FrameReport& report) override;
    TIFunctions::BitString fitAndConvert();

    RunPaths m_paths;
    JobSource m_source;
    RunObserver& m_observer;
    capture::UniformRandom m_random;
    std::atomic<bool> m_stop{false};
    LoadValues m_values;
    CanvasSize m_canvas;
    ConvertSettings m_settings;
    capture::Layout m_layout;
    std::unique_ptr<capture::FrameSource> m_video;
    Stretch m_stretch;
    capture::Surface m_surface;
    capture::Picture m_preview;
    std::size_t m_sampled = 0;
    bool m_debugFailed = false;
    Statistics* m_statistics = nullptr;  // the run's statistics while DoConvert runs
    std::uint64_t m_seed;
    bool m_fit = false;
    bool m_keepAspect = false;
    capture::MediaOptions m_media;
    bool m_capturing = false;  // --fit's first pass: every canvas is kept for the tries
    std::vector<TIFunctions::BitString> m_canvases;
};

}  // namespace conversion
