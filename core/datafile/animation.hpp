#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "fileerror.hpp"
#include "framedecoder.hpp"

namespace player {

// Frames a second: the converter's steps, every export and the calculator players.
inline constexpr int kFramesPerSecond = 10;

// Frame records that do not decode on the given screen; what() names the file, the record and
// the byte offset.
class AnimationError : public support::FileError {
  public:
    AnimationError(std::string path, const TIFunctions::RecordError& cause);
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

// A data file's bytes, checked to decode as frame records, with a screen every so many records
// to seek from. Memory: the bytes and at most about 16 MiB of screens, whatever the number of
// records.
class FrameRecords {
  public:
    // Memory given to the kept screens.
    static constexpr std::size_t kKeyScreenBytes = std::size_t{16} << 20;

    // Decodes every record of bytes once, for a screen of the given size, keeping screens of at
    // most about keyBytes bytes in all (16 or more screens); path names the file in errors.
    // Throws AnimationError.
    FrameRecords(std::string path, std::vector<std::uint8_t> bytes, ScreenSize size,
                 std::size_t keyBytes = kKeyScreenBytes);

    ScreenSize size() const noexcept { return m_size; }
    // Number of records, one per frame.
    std::size_t frames() const noexcept { return m_frames; }
    // A decoder at the first record.
    TIFunctions::RecordDecoder decoder() const;
    // Sets decoder, a decoder of these bytes, to the latest kept screen at or before the one
    // after record k, unless it already stands between that screen and record k.
    void seek(TIFunctions::RecordDecoder& decoder, std::size_t k) const;

  private:
    // The decoder's state after count records.
    struct KeyScreen {
        std::size_t count = 0;
        std::size_t position = 0;
        TIFunctions::BitString screen;
    };

    std::string m_path;
    ScreenSize m_size;
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_frames = 0;
    std::size_t m_keyInterval = 0;  // records from one kept screen to the next
    std::vector<KeyScreen> m_keys;  // the states after 0, m_keyInterval, 2 m_keyInterval, ...
};

// The screens of FrameRecords in any order, decoding forward from the nearest kept screen.
class FrameCursor {
  public:
    explicit FrameCursor(const FrameRecords& records);

    // The screen after record k, k below records.frames().
    const TIFunctions::BitString& screen(std::size_t k);

  private:
    const FrameRecords* m_records;
    TIFunctions::RecordDecoder m_decoder;
};

}  // namespace player
