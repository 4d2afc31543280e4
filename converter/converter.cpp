#include "converter.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "arguments.hpp"
#include "atomicfile.hpp"
#include "canvascheck.hpp"
#include "configfolder.hpp"
#include "fileerror.hpp"
#include "fit.hpp"
#include "imagefile.hpp"
#include "mediaplayer.hpp"
#include "outputfile.hpp"
#include "preview.hpp"
#include "rasteriser.hpp"
#include "tifunctions.hpp"

namespace conversion {

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// A player side in whole pixels: none for sizes below 1.
int playerSide(float side, const std::string& jobPath, const char* key) {
    if (!(side >= 1)) return 0;
    if (side > static_cast<float>(capture::kMaxSurfaceSide)) {
        throw JobValueError("job file " + support::shownPath(jobPath) + ": media " + key + " " +
                            plainNumber(side) + " is larger than " +
                            std::to_string(capture::kMaxSurfaceSide) + " pixels");
    }
    return static_cast<int>(std::floor(side));
}

}  // namespace

RunPaths defaultPaths(const std::string& programDirectory, const std::optional<std::string>& job,
                      const std::optional<std::string>& output,
                      const std::optional<std::string>& dumpFolder) {
    RunPaths paths;
    const bool besideProgram =
        support::runFromBuild(programDirectory) && support::folderWritable(programDirectory);
    const std::string folder = besideProgram ? programDirectory : std::string();
    paths.job = job.value_or(joinPath(support::jobFolder(programDirectory), "thisjob.ini"));
    paths.jobMayBeMissing = !job.has_value();
    paths.output = output.value_or(joinPath(folder, "my.z80"));
    paths.debugFolder = joinPath(folder, "output");
    paths.dumpFolder = dumpFolder;
    return paths;
}

std::string programDirectory() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

Converter::Converter(RunPaths paths, std::uint64_t seed, RunObserver& observer,
                     std::vector<JobOverride> overrides)
    : m_paths(std::move(paths)),
      m_source{m_paths.job, std::move(overrides), false},
      m_observer(observer),
      m_random(seed),
      m_seed(seed) {}

Converter::~Converter() = default;

void Converter::load(const std::string& FileName) {
    // Refused before anything is read: a contradiction of the command line, not a file's fault.
    const std::pair<const char*, const std::string*> inputs[] = {{"video", &FileName},
                                                                 {"job file", &m_paths.job}};
    for (const auto& [what, input] : inputs) {
        if (support::wouldReplace(m_paths.output, *input)) {
            throw support::UsageError("the output " + support::shownPath(m_paths.output) +
                                      " would replace the " + what + " " +
                                      support::shownPath(*input) + "; choose another --output");
        }
    }
    std::error_code missing;
    m_source.usePresets =
        m_paths.jobMayBeMissing &&
        fs::symlink_status(m_paths.job, missing).type() == fs::file_type::not_found;
    m_values = readLoadValues(m_source, report());
    m_canvas = checkJobCanvasSize(m_values, m_paths.job);
    const auto screenWidth = static_cast<std::size_t>(jobkeys::kDeviceWidth.preset);
    const auto screenHeight = static_cast<std::size_t>(jobkeys::kDeviceHeight.preset);
    if (m_canvas.width != screenWidth || m_canvas.height != screenHeight) {
        m_observer.warning("the canvas is " + std::to_string(m_canvas.width) + " x " +
                           std::to_string(m_canvas.height) + " pixels; calculators show " +
                           std::to_string(screenWidth) + " x " + std::to_string(screenHeight));
    }
    support::checkWritable(m_paths.output);
    if (m_paths.dumpFolder) {
        std::error_code error;
        fs::create_directories(*m_paths.dumpFolder, error);
        if (error) throw support::FileError(*m_paths.dumpFolder, error.message());
    }
    m_layout = capture::InitMediaPlayer(m_values.Width, m_values.Height, m_values.DWidth,
                                        m_values.DHeight, m_values.WantWhite);
    const int width = playerSide(m_layout.player.width, m_paths.job, "width");
    const int height = playerSide(m_layout.player.height, m_paths.job, "height");
    auto video = std::make_unique<capture::MediaPlayer>(FileName, width, height, m_media);
    if (m_keepAspect) {
        // The picture's shape is known once the video is open: open it again at that size.
        m_layout.player = capture::keepAspect(m_layout.player, video->shownAspect());
        video.reset();
        video = std::make_unique<capture::MediaPlayer>(
            FileName, playerSide(m_layout.player.width, m_paths.job, "width"),
            playerSide(m_layout.player.height, m_paths.job, "height"), m_media);
    }
    if (const std::string turn = video->turnName(); !turn.empty()) m_observer.videoTurned(turn);
    if (!(video->Length() >= m_stretch.frameTime(0))) {
        char length[64];
        std::snprintf(length, sizeof length, "%.3f", video->Length());
        throw support::UsageError("--from " + plainNumber(m_stretch.frameTime(0)) +
                                  " s lies past the end of " + FileName + ", which is " + length +
                                  " s long");
    }
    m_video = std::move(video);
}

Statistics Converter::DoConvert() {
    m_settings = readConvertSettings(m_source, report());
    capture::SetPreviewLayout(m_layout, m_settings.WantPreview);
    m_observer.conversionStarted(m_settings, m_layout);
    if (m_stretch.from > 0) m_video->seek(m_stretch.frameTime(0));
    Statistics statistics;
    m_statistics = &statistics;
    const TIFunctions::BitString output =
        m_fit ? fitAndConvert()
              : DryxConvert(m_settings, m_canvas.width, m_canvas.height, *this, m_stretch);
    m_statistics = nullptr;
    if (m_paths.dumpFolder) {
        // The values that decide whether frames may differ from their canvases, for a check.
        const std::string job = "[media]\r\nquality=" + plainNumber(m_settings.Quality) +
                                "\r\ninterlace=" + plainNumber(m_settings.WantInterlace) + "\r\n";
        support::writeFileAtomic(joinPath(*m_paths.dumpFolder, std::string(player::kCanvasJobFile)),
                                 job);
    }
    capture::SaveToFile(m_paths.output, output);
    return statistics;
}

JobValueReport Converter::report() {
    return [this](const JobKey& key, double value, const std::string& origin) {
        m_observer.jobValue(key.section, key.key, value, origin);
    };
}

TIFunctions::BitString Converter::fitAndConvert() {
    // The canvases depend on the picture settings only (the dither draws too, taken in frame
    // order): one pass takes them all, and each try runs the search alone.
    ConvertSettings whole = m_settings;
    whole.MaxBytes = std::numeric_limits<double>::infinity();
    whole.Quality = kFitSteps[0].Quality;
    whole.WantInterlace = kFitSteps[0].WantInterlace;
    whole.WantDebug = 0;
    m_capturing = true;
    DryxConvert(whole, m_canvas.width, m_canvas.height, *this, m_stretch);
    const bool stopped = m_stop;
    m_capturing = false;

    const FitResult fit = findFit(m_canvases, m_settings, m_canvas.width, m_canvas.height);
    const std::size_t chosen = fit.step.value_or(kFitSteps.size() - 1);
    m_settings.Quality = kFitSteps[chosen].Quality;
    m_settings.WantInterlace = kFitSteps[chosen].WantInterlace;
    const std::string options =
        "--quality " + plainNumber(m_settings.Quality) +
        (m_settings.WantInterlace == 1 ? " --interlace" : " --no-interlace");
    if (!fit.step) {
        const std::string budget = plainNumber(m_settings.MaxBytes);
        if (fit.lossiestFrames == 0) {
            throw JobValueError("--fit: not even the first frame fits in " + budget +
                                " bytes, with " + options);
        }
        throw JobValueError("--fit: even with " + options + " only the first " +
                            plainNumber(static_cast<double>(fit.lossiestFrames) / 10) + " s (" +
                            std::to_string(fit.lossiestFrames) + " of " +
                            std::to_string(m_canvases.size()) + " frames) fit in " + budget +
                            " bytes; --to " + plainNumber(m_stretch.frameTime(fit.lossiestFrames)) +
                            " converts that much");
    }
    m_observer.fitChosen(options + " --seed " + std::to_string(m_seed), fit.bytes);

    TIFunctions::BitString output =
        replayCanvases(m_settings, m_canvas.width, m_canvas.height, m_canvases, *this, m_stretch);
    if (stopped) m_stop = true;
    return output;
}

double Converter::Length() {
    return m_video->Length();
}

TIFunctions::BitString Converter::getCanvas(double t, double Brightness, double Contrast,
                                            double WantDither) {
    const capture::Picture& picture = m_video->pictureAt(t);
    m_observer.pictureSampled(m_sampled++, picture);
    m_surface = capture::composeSurface(m_layout, &picture);
    TIFunctions::BitString canvas =
        capture::getCanvas(m_surface, Brightness, Contrast, WantDither, m_random);
    if (m_capturing) m_canvases.push_back(canvas);
    return canvas;
}

void Converter::canvasTaken(std::size_t k, const TIFunctions::BitString& canvas) {
    m_observer.canvasTaken(k, canvas);
    if (!m_paths.dumpFolder) return;
    const std::string path = joinPath(*m_paths.dumpFolder, TIFunctions::ToDecimal8(k) + ".pbm");
    try {
        player::savePbm(canvas, m_canvas.width, m_canvas.height, path);
    } catch (const support::FileError& error) {
        m_observer.warning(std::string(error.what()) + "; no more canvases are written");
        m_paths.dumpFolder.reset();
    }
}

void Converter::ShowCanvas(const TIFunctions::BitString& reference) {
    m_preview = capture::ShowCanvas(reference, static_cast<int>(m_canvas.width),
                                    static_cast<int>(m_canvas.height));
}

void Converter::saveDebugImage(std::size_t k) {
    if (m_debugFailed) return;
    const std::string path = joinPath(m_paths.debugFolder, TIFunctions::ToDecimal8(k) + ".bmp");
    try {
        std::error_code error;
        fs::create_directories(m_paths.debugFolder, error);
        if (error) throw support::FileError(m_paths.debugFolder, error.message());
        capture::saveImage(m_preview, path);
    } catch (const support::FileError& error) {
        m_observer.warning(std::string(error.what()) +
                           "; the conversion goes on without debug images");
        m_debugFailed = true;
    }
}

void Converter::frameDone(const FrameReport& report) {
    if (m_capturing) return;  // the counts of the capture, not of the run
    if (m_statistics != nullptr) *m_statistics = report.statistics;
    static const capture::Picture kNoPreview;
    m_observer.frameDone(report, m_settings.WantPreview ? m_preview : kNoPreview,
                         labelTexts(report.statistics, m_settings.MaxBytes, m_layout.player.width,
                                    m_layout.player.height));
}

}  // namespace conversion
