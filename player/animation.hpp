#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "framedecoder.hpp"

namespace player {

// Frame records that do not decode on the given screen; what() names the file, the record and
// the byte offset.
class AnimationError : public std::runtime_error {
  public:
    AnimationError(std::string path, const TIFunctions::RecordError& cause);

    const std::string& path() const noexcept { return m_path; }
    // Number of the faulty record, from 0.
    std::size_t record() const noexcept { return m_record; }
    // Byte offset of the fault within the file's bytes.
    std::size_t offset() const noexcept { return m_offset; }

  private:
    std::string m_path;
    std::size_t m_record;
    std::size_t m_offset;
};

// The calculator screen the records are decoded for.
struct ScreenSize {
    int width = 96;
    int height = 64;

    // Number of pixels, width x height.
    std::size_t pixels() const noexcept {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
};

// A data file and its decoded frame records.
struct Animation {
    std::string path;
    ScreenSize size;
    std::vector<std::uint8_t> bytes;           // the bytes of the data lines
    std::vector<TIFunctions::Record> records;  // one per frame, each with the screen after it

    // The screen after each record, in frame order.
    std::vector<TIFunctions::BitString> screens() const;
};

// Decodes bytes as frame records for a screen of the given size. Throws AnimationError.
Animation decodeAnimation(std::string path, std::vector<std::uint8_t> bytes, ScreenSize size);

// Reads the data file at path and decodes it. Throws DataFileError or AnimationError.
Animation loadAnimation(const std::string& path, ScreenSize size);

}  // namespace player
