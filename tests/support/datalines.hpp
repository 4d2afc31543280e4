#pragma once

// A test's own records as the data lines the converter writes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace testsupport {

// bytes as " .db" lines of up to eight " %bbbbbbbb" items separated by ",", each ended by CR LF.
inline std::string dataLines(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        text += " .db";
        for (std::size_t j = i; j < bytes.size() && j < i + 8; ++j) {
            text += j > i ? ", %" : " %";
            for (int bit = 7; bit >= 0; --bit)
                text += ((bytes[j] >> bit) & 1) ? '1' : '0';
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace testsupport
