#include "canvascheck.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "atomicfile.hpp"
#include "fileerror.hpp"
#include "inifiles.hpp"
#include "tifunctions.hpp"

namespace player {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxSide = 65535;
// Largest canvas file read: a plain picture of the largest screen, with room to spare.
constexpr std::uintmax_t kMaxPbmBytes = std::uintmax_t{64} << 20;
constexpr int kTenthFrame = 10;

// Reads the header fields and the raster of a PBM file.
class PbmScanner {
  public:
    PbmScanner(std::string_view data, const std::string& path) : m_data(data), m_path(path) {}

    Canvas scan() {
        if (m_data.size() < 2 || m_data[0] != 'P' || (m_data[1] != '4' && m_data[1] != '1'))
            fail("not a PBM picture (it does not start with P4 or P1)");
        const bool plain = m_data[1] == '1';
        m_pos = 2;
        Canvas canvas;
        canvas.width = number("the width");
        canvas.height = number("the height");
        const std::size_t pixels =
            static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height);
        if (!plain) {
            // Exactly one white-space character ends the header.
            if (m_pos >= m_data.size() || !isSpace(m_data[m_pos]))
                fail("no white space after the height");
            ++m_pos;
        }
        // The picture's bytes must be there before its memory is taken: a plain picture has a
        // character per pixel at least, a binary one a bit per pixel, rows in whole bytes.
        const std::size_t have = m_data.size() - m_pos;
        if (plain && have < pixels) {
            fail("the picture data ends early: " + std::to_string(have) + " bytes for " +
                 std::to_string(pixels) + " pixels");
        }
        const std::size_t need = rowBytes(canvas.width) * static_cast<std::size_t>(canvas.height);
        if (!plain && have < need) {
            fail("the picture data ends early: " + std::to_string(have) + " of " +
                 std::to_string(need) + " bytes");
        }
        canvas.bits = TIFunctions::BitString::filled(pixels, false);
        if (plain) {
            readPlain(canvas);
        } else {
            readBinary(canvas);
        }
        return canvas;
    }

  private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw support::FileError(m_path, reason);
    }

    static std::size_t rowBytes(int width) { return (static_cast<std::size_t>(width) + 7) / 8; }
    static bool isSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    // Skips white space and comments, which run from '#' to the end of the line.
    void skipSpace() {
        while (m_pos < m_data.size()) {
            if (m_data[m_pos] == '#') {
                while (m_pos < m_data.size() && m_data[m_pos] != '\n' && m_data[m_pos] != '\r')
                    ++m_pos;
            } else if (isSpace(m_data[m_pos])) {
                ++m_pos;
            } else {
                return;
            }
        }
    }
    int number(const char* what) {
        const std::size_t start = m_pos;
        skipSpace();
        if (m_pos == start) fail(std::string("no white space before ") + what);
        long value = 0;
        const std::size_t digits = m_pos;
        while (m_pos < m_data.size() && std::isdigit(static_cast<unsigned char>(m_data[m_pos]))) {
            value = value * 10 + (m_data[m_pos] - '0');
            if (value > kMaxSide) fail(std::string(what) + " is larger than 65535");
            ++m_pos;
        }
        if (m_pos == digits) fail(std::string("no number for ") + what);
        if (value == 0) fail(std::string(what) + " is 0");
        return static_cast<int>(value);
    }
    void readBinary(Canvas& canvas) {
        const std::size_t need = rowBytes(canvas.width) * static_cast<std::size_t>(canvas.height);
        const std::size_t have = m_data.size() - m_pos;
        if (have > need) fail("data follows the picture");
        std::size_t at = 0;
        for (int y = 0; y < canvas.height; ++y) {
            const auto* row = reinterpret_cast<const unsigned char*>(m_data.data()) + m_pos +
                              static_cast<std::size_t>(y) * rowBytes(canvas.width);
            for (int x = 0; x < canvas.width; ++x, ++at)
                canvas.bits.setBit(at, (row[x / 8] >> (7 - x % 8)) & 1U);
        }
    }
    void readPlain(Canvas& canvas) {
        for (std::size_t at = 0; at < canvas.bits.size(); ++at) {
            skipSpace();
            if (m_pos >= m_data.size()) {
                fail("the picture data ends early: " + std::to_string(at) + " of " +
                     std::to_string(canvas.bits.size()) + " pixels");
            }
            const char c = m_data[m_pos++];
            if (c != '0' && c != '1') fail("a pixel that is not 0 or 1");
            canvas.bits.setBit(at, c == '1');
        }
        skipSpace();
        if (m_pos != m_data.size()) fail("data follows the picture");
    }

    std::string_view m_data;
    const std::string& m_path;
    std::size_t m_pos = 0;
};

// NNNNNNNN.pbm: the frame number, or nothing for any other name.
std::optional<std::size_t> canvasNumber(const std::string& name) {
    if (name.size() != 12 || name.substr(8) != ".pbm") return std::nullopt;
    std::size_t number = 0;
    for (int i = 0; i < 8; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])))
            return std::nullopt;
        number = number * 10 + static_cast<std::size_t>(name[static_cast<std::size_t>(i)] - '0');
    }
    return number;
}

std::string percent(std::size_t part, std::size_t whole) {
    char text[32];
    std::snprintf(
        text, sizeof text, "%.2f%%",
        whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

}  // namespace

Canvas parsePbm(std::string_view data, const std::string& path) {
    return PbmScanner(data, path).scan();
}

Canvas readPbm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw support::FileError(path, std::strerror(errno));
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (!error && size > kMaxPbmBytes) {
        throw support::FileError(path, "the file is " + std::to_string(size) +
                                           " bytes; a canvas may have at most 64 MiB (" +
                                           std::to_string(kMaxPbmBytes) + " bytes)");
    }
    std::ostringstream data;
    data << file.rdbuf();
    if (file.bad()) throw support::FileError(path, "cannot be read");
    return parsePbm(data.str(), path);
}

void savePbm(const TIFunctions::BitString& canvas, std::size_t width, std::size_t height,
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

bool CheckReport::passed(bool lossy) const {
    if (records != canvases) return false;
    return std::all_of(differences.begin(), differences.end(), [&](const FrameDifference& d) {
        return lossy && d.frame % kTenthFrame != 0;
    });
}

CanvasCheck::CanvasCheck(const std::string& folder, std::size_t frames, ScreenSize size)
    : m_size(size) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw support::FileError(folder,
                                 fs::exists(folder, error) ? "not a folder" : "no such folder");
    }
    std::set<std::size_t> numbers;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (const auto number = canvasNumber(entry.path().filename().string())) {
            numbers.insert(*number);
        }
    }
    m_report.folder = folder;
    m_report.records = frames;
    m_report.canvases = numbers.size();
    m_report.pixelsPerFrame = size.pixels();
    if (!numbers.empty() && *numbers.rbegin() != numbers.size() - 1) {
        std::size_t missing = 0;
        while (numbers.count(missing) != 0)
            ++missing;
        throw support::FileError(folder, "no canvas " + TIFunctions::ToDecimal8(missing) +
                                             ".pbm, though the canvases are numbered up to " +
                                             TIFunctions::ToDecimal8(*numbers.rbegin()));
    }
    m_report.compared = std::min(m_report.records, m_report.canvases);
}

void CanvasCheck::add(const TIFunctions::BitString& screen) {
    const std::size_t k = m_next++;
    if (k >= m_report.compared) return;
    const std::string path =
        (fs::path(m_report.folder) / (TIFunctions::ToDecimal8(k) + ".pbm")).string();
    const Canvas canvas = readPbm(path);
    if (canvas.width != m_size.width || canvas.height != m_size.height) {
        throw support::FileError(path, "the canvas is " + std::to_string(canvas.width) + " x " +
                                           std::to_string(canvas.height) + " pixels, the screen " +
                                           std::to_string(m_size.width) + " x " +
                                           std::to_string(m_size.height) +
                                           " (see --width and --height)");
    }
    const auto shown = screen.bytes();
    const auto picture = canvas.bits.bytes();
    FrameDifference difference;
    difference.frame = k;
    std::optional<std::size_t> first;
    // Bits past the last pixel are 0 in both.
    for (std::size_t i = 0; i < shown.size() && i < picture.size(); ++i) {
        const unsigned differing = static_cast<unsigned>(shown[i] ^ picture[i]);
        if (differing == 0) continue;
        difference.pixels += static_cast<std::size_t>(std::popcount(differing));
        if (!first)
            first = i * 8 + static_cast<std::size_t>(
                                std::countl_zero(static_cast<std::uint8_t>(differing)));
    }
    if (first) {
        difference.firstX = static_cast<int>(*first % static_cast<std::size_t>(canvas.width));
        difference.firstY = static_cast<int>(*first / static_cast<std::size_t>(canvas.width));
        m_report.differences.push_back(difference);
    }
}

std::optional<bool> recordedLossy(const std::string& folder) {
    const std::string path = (fs::path(folder) / kCanvasJobFile).string();
    std::error_code error;
    if (!fs::exists(path, error)) return std::nullopt;
    return INIfiles::ReadININumber(path, "media", "quality") != 0 ||
           INIfiles::ReadININumber(path, "media", "interlace") != 0;
}

bool checkIsLossy(const std::string& folder, bool lossyOption) {
    return lossyOption || recordedLossy(folder).value_or(false);
}

std::string describeCheck(const CheckReport& report, bool lossy) {
    std::ostringstream text;
    const std::string folder = support::shownPath(report.folder);
    if (report.records != report.canvases) {
        text << "the data file holds " << report.records << " frames, but " << folder << " holds "
             << report.canvases << " canvases\n";
    }
    if (report.differences.empty()) {
        text << "all " << report.compared << " frames compared equal their canvases in " << folder
             << '\n';
        return text.str();
    }
    const auto largest = std::max_element(
        report.differences.begin(), report.differences.end(),
        [](const FrameDifference& a, const FrameDifference& b) { return a.pixels < b.pixels; });
    if (report.passed(lossy)) {
        text << "all " << report.compared << " frames checked against " << folder
             << ": every tenth frame equals its canvas, and the " << report.differences.size()
             << " others that differ (Quality or interlacing) differ by at most "
             << percent(largest->pixels, report.pixelsPerFrame) << " of their pixels\n";
        return text.str();
    }
    const FrameDifference& first = report.differences.front();
    text
        << "first difference: frame " << first.frame << " ("
        << support::shownPath(
               (fs::path(report.folder) / (TIFunctions::ToDecimal8(first.frame) + ".pbm")).string())
        << "): " << first.pixels << " of " << report.pixelsPerFrame << " pixels differ ("
        << percent(first.pixels, report.pixelsPerFrame) << "), the first at x " << first.firstX
        << ", y " << first.firstY << '\n';
    // A few examples: the frames that break the rule first, then any others.
    constexpr std::size_t kExamples = 5;
    std::vector<const FrameDifference*> examples;
    for (const FrameDifference& difference : report.differences) {
        if (examples.size() < kExamples && (!lossy || difference.frame % kTenthFrame == 0))
            examples.push_back(&difference);
    }
    text << "share of differing pixels, for example:\n";
    for (const FrameDifference* difference : examples)
        text << "  frame " << difference->frame << ": "
             << percent(difference->pixels, report.pixelsPerFrame) << '\n';
    text << report.differences.size() << " of " << report.compared
         << " frames differ; the largest share is "
         << percent(largest->pixels, report.pixelsPerFrame) << " (frame " << largest->frame
         << ")\n";
    if (!lossy) {
        text << "with Quality 0 and no interlacing every frame must equal its canvas; for data "
                "made with Quality or interlacing, check with --lossy\n";
    } else if (!examples.empty()) {
        text << "frame " << examples.front()->frame
             << " differs, but every tenth frame is written exactly, whatever the job\n";
    }
    return text.str();
}

CheckRequest checkRequest(const support::Arguments& parsed) {
    CheckRequest request{parsed.value(kCheckOption.name), parsed.has(kLossyOption.name)};
    if (request.lossy && !request.folder) throw support::UsageError("--lossy goes with --check");
    return request;
}

}  // namespace player
