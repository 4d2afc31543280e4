#include "converter.hpp"

#include <cmath>
#include <filesystem>

#include "atomicfile.hpp"
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
        throw JobValueError("job file " + jobPath + ": media " + key + " " + PlainNumber(side) +
                            " is larger than " + std::to_string(capture::kMaxSurfaceSide) +
                            " pixels");
    }
    return static_cast<int>(std::floor(side));
}

}  // namespace

RunPaths DefaultPaths(const std::string& programDirectory, const std::optional<std::string>& job,
                      const std::optional<std::string>& output,
                      const std::optional<std::string>& dumpFolder) {
    RunPaths paths;
    paths.job = job.value_or(joinPath(programDirectory, "thisjob.ini"));
    paths.output = output.value_or(joinPath(programDirectory, "my.z80"));
    paths.debugFolder = joinPath(programDirectory, "output");
    paths.dumpFolder = dumpFolder;
    return paths;
}

std::string ProgramDirectory() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

Converter::Converter(RunPaths paths, std::uint64_t seed, RunObserver& observer)
    : m_paths(std::move(paths)), m_observer(observer), m_random(seed) {}

Converter::~Converter() = default;

void Converter::load(const std::string& FileName) {
    const JobValueTrace trace = [this](std::string_view section, std::string_view key,
                                       double value) { m_observer.jobValue(section, key, value); };
    m_values = ReadLoadValues(m_paths.job, trace);
    m_canvas = CheckCanvasSize(m_values, m_paths.job);
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
    m_player = std::make_unique<capture::MediaPlayer>(FileName, width, height);
}

Statistics Converter::DoConvert() {
    const JobValueTrace trace = [this](std::string_view section, std::string_view key,
                                       double value) { m_observer.jobValue(section, key, value); };
    m_settings = ReadConvertSettings(m_paths.job, trace);
    capture::SetPreviewLayout(m_layout, m_settings.WantPreview);
    m_observer.conversionStarted(m_settings, m_layout);
    Statistics statistics;
    m_statistics = &statistics;
    const TIFunctions::BitString output =
        DryxConvert(m_settings, m_canvas.width, m_canvas.height, *this);
    m_statistics = nullptr;
    capture::SaveToFile(m_paths.output, output);
    return statistics;
}

double Converter::Length() {
    return m_player->Length();
}

TIFunctions::BitString Converter::getCanvas(double t, double Brightness, double Contrast,
                                            double WantDither) {
    const capture::Picture& picture = m_player->pictureAt(t);
    m_observer.pictureSampled(m_sampled++, picture);
    m_surface = capture::ComposeSurface(m_layout, &picture);
    return capture::getCanvas(m_surface, Brightness, Contrast, WantDither, m_random);
}

void Converter::canvasTaken(std::size_t k, const TIFunctions::BitString& canvas) {
    m_observer.canvasTaken(k, canvas);
    if (!m_paths.dumpFolder) return;
    const std::string path = joinPath(*m_paths.dumpFolder, TIFunctions::ToDecimal8(k) + ".pbm");
    try {
        SavePbm(canvas, m_canvas.width, m_canvas.height, path);
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
        capture::SaveImage(m_preview, path);
    } catch (const support::FileError& error) {
        m_observer.warning(std::string(error.what()) +
                           "; the conversion goes on without debug images");
        m_debugFailed = true;
    }
}

void Converter::frameDone(const FrameReport& report) {
    if (m_statistics != nullptr) *m_statistics = report.statistics;
    static const capture::Picture kNoPreview;
    m_observer.frameDone(report, m_settings.WantPreview ? m_preview : kNoPreview,
                         LabelTexts(report.statistics, m_settings.MaxBytes, m_layout.player.width,
                                    m_layout.player.height));
}

void SavePbm(const TIFunctions::BitString& canvas, std::size_t width, std::size_t height,
             const std::string& path) {
    std::string bytes = "P4\n" + std::to_string(width) + ' ' + std::to_string(height) + '\n';
    const std::size_t header = bytes.size();
    const std::size_t rowBytes = (width + 7) / 8;
    bytes.resize(header + rowBytes * height, '\0');
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t i = y * width + x;
            char& byte = bytes[header + y * rowBytes + x / 8];
            if (i < canvas.size() && canvas.bit(i))
                byte = static_cast<char>(byte | (0x80 >> (x % 8)));
        }
    }
    support::writeFileAtomic(path, bytes);
}

}  // namespace conversion
