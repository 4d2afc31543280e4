#include "textmodel.hpp"

#include "tifunctions.hpp"

namespace textmodel {

using TIFunctions::ToBinary16;
using TIFunctions::ToBinary8;

namespace {

const std::string kMarker = "10010001";

std::size_t byteCount(const std::string& bits) {
    return bits.size() / 8;
}

// Characters [from, from + count) counted from 1, clipped to the string.
std::string mid(const std::string& s, std::size_t from, std::size_t count) {
    if (from < 1 || from > s.size()) return "";
    return s.substr(from - 1, count);
}

}  // namespace

std::string getByte(const std::string& bits, std::size_t k) {
    return mid(bits, (k - 1) * 8 + 1, 8);
}

std::size_t countDifferentBits(const std::string& a, const std::string& b) {
    std::size_t count = 0;
    for (std::size_t i = 1; i <= a.size(); ++i)
        count += mid(a, i, 1) != mid(b, i, 1) ? 1 : 0;
    return count;
}

std::string xorFrames(const std::string& current, const std::string& reference) {
    if (byteCount(current) != byteCount(reference)) return "";
    std::string out;
    for (std::size_t i = 1; i <= current.size(); ++i)
        out += mid(current, i, 1) != mid(reference, i, 1) ? "1" : "0";
    return out;
}

std::string blendFrames(const std::string& current, const std::string& reference,
                        double threshold) {
    if (byteCount(current) != byteCount(reference)) return "";
    std::string out;
    for (std::size_t k = 1; k <= byteCount(current); ++k) {
        const double d =
            static_cast<double>(countDifferentBits(getByte(current, k), getByte(reference, k)));
        out += d < threshold ? getByte(reference, k) : getByte(current, k);
    }
    return out;
}

std::string rleEncode(const std::string& bits) {
    std::string out;
    const std::size_t n = byteCount(bits);
    std::size_t i = 1;
    while (i <= n) {
        const std::string b = getByte(bits, i);
        if (b == kMarker) {
            out += kMarker + kMarker + "00000001";
            i += 1;
            continue;
        }
        std::size_t run = 1;
        while (run < 255 && i + run <= n && getByte(bits, i + run) == b)
            ++run;
        if (run == 1) out += b;
        if (run == 2) out += b + b;
        if (run >= 3) out += kMarker + b + ToBinary8(run);
        i += run;
    }
    return out;
}

std::string zcpEncode(const std::string& bits, char ink, bool padWithBackground) {
    const std::string w = bits + "2";
    auto at = [&](std::size_t p) { return mid(w, p, 1); };
    std::string out;
    std::size_t p = 1;
    std::string c = at(1);
    std::size_t n = 0;
    while (p <= w.size() && w.size() > 1) {
        if (at(p) == c) ++n;
        if (at(p) != c || p == w.size() || n == 64) {
            if (n >= 8) {
                if (n == 64) n = 63;
                out += "0" + c + ToBinary8(n).substr(2);
                c = at(p);
                n = 1;
            } else {
                out += "1" + mid(w, p - n, 7);
                p = p - n + 7;
                c = at(p);
                n = 1;
            }
            if (mid(w, p, w.size()).find(ink) == std::string::npos) break;
        }
        ++p;
    }
    if (!out.empty() && out.back() == '2') out.pop_back();
    const char pad = padWithBackground ? (ink == '1' ? '0' : '1') : '0';
    while (out.size() % 8 != 0)
        out += pad;
    return out + "00000000";
}

std::size_t firstNonFillByte(const std::string& bits, char fill) {
    const std::string f(8, fill);
    for (std::size_t i = 1; i <= byteCount(bits); ++i) {
        if (getByte(bits, i) != f) return i;
    }
    return byteCount(bits) + 1;
}

std::size_t lastNonFillByte(const std::string& bits, char fill) {
    const std::string f(8, fill);
    for (std::size_t i = byteCount(bits); i >= 1; --i) {
        if (getByte(bits, i) != f) return i;
    }
    return 0;
}

std::string trimFillBytes(const std::string& bits, char fill) {
    const std::size_t a = firstNonFillByte(bits, fill);
    const std::size_t z = lastNonFillByte(bits, fill);
    return a <= z ? mid(bits, (a - 1) * 8 + 1, (z - a + 1) * 8) : "";
}

std::string encodeFrame(const std::string& frame, double codeType) {
    auto trimmedRle = [&](char fill) {
        const std::string t = trimFillBytes(frame, fill);
        return ToBinary16(firstNonFillByte(frame, fill) - 1) + ToBinary16(byteCount(t)) +
               rleEncode(t);
    };
    auto trimmedZcp = [&](char fill, char ink) {
        return ToBinary16(firstNonFillByte(frame, fill) - 1) +
               zcpEncode(trimFillBytes(frame, fill), ink);
    };
    if (codeType == 0) return rleEncode(frame);
    if (codeType == 1) return trimmedRle('0');
    if (codeType == 2) return trimmedRle('1');
    if (codeType == 3) return zcpEncode(frame, '1');
    if (codeType == 4) return zcpEncode(frame, '0');
    if (codeType == 5) return trimmedZcp('0', '1');
    if (codeType == 6) return trimmedZcp('1', '0');
    if (codeType == 7) return trimmedZcp('1', '1');
    if (codeType == 8) return trimmedZcp('0', '0');
    return "";
}

}  // namespace textmodel
