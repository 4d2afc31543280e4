#include "animation.hpp"

#include <algorithm>

#include "datafile.hpp"
#include "fileerror.hpp"

namespace player {

AnimationError::AnimationError(std::string path, const TIFunctions::RecordError& cause)
    : support::FileError(std::move(path), cause.what()) {}

namespace {

// The fewest and the most screens kept.
constexpr std::size_t kFewestKeys = 16;
constexpr std::size_t kMostKeys = 4096;
constexpr std::size_t kFirstKeyInterval = 64;

}  // namespace

FrameRecords::FrameRecords(std::string path, std::vector<std::uint8_t> bytes, ScreenSize size,
                           std::size_t keyBytes)
    : m_path(std::move(path)), m_size(size), m_bytes(std::move(bytes)) {
    const std::size_t screenBytes = size.pixels() / 8 + 1;
    const std::size_t mostKeys = std::clamp(keyBytes / screenBytes, kFewestKeys, kMostKeys);
    m_keyInterval = kFirstKeyInterval;
    TIFunctions::RecordDecoder decoder = this->decoder();
    try {
        for (;;) {
            if (decoder.count() % m_keyInterval == 0) {
                if (m_keys.size() == mostKeys) {
                    // Every other screen goes, twice as far apart.
                    std::size_t kept = 0;
                    for (std::size_t i = 0; i < m_keys.size(); i += 2)
                        m_keys[kept++] = std::move(m_keys[i]);
                    m_keys.resize(kept);
                    m_keyInterval *= 2;
                }
                if (decoder.count() % m_keyInterval == 0)
                    m_keys.push_back({decoder.count(), decoder.position(), decoder.screen()});
            }
            if (!decoder.next()) break;
        }
    } catch (const TIFunctions::RecordError& error) {
        throw AnimationError(m_path, error);
    }
    m_frames = decoder.count();
}

TIFunctions::RecordDecoder FrameRecords::decoder() const {
    return TIFunctions::RecordDecoder(m_bytes, m_size.pixels());
}

void FrameRecords::seek(TIFunctions::RecordDecoder& decoder, std::size_t k) const {
    const KeyScreen& key = m_keys.at(std::min((k + 1) / m_keyInterval, m_keys.size() - 1));
    if (decoder.count() >= key.count && decoder.count() <= k + 1) return;
    decoder.resume(key.count, key.position, key.screen);
}

FrameCursor::FrameCursor(const FrameRecords& records)
    : m_records(&records), m_decoder(records.decoder()) {}

const TIFunctions::BitString& FrameCursor::screen(std::size_t k) {
    if (k >= m_records->frames()) throw std::out_of_range("no frame " + std::to_string(k));
    m_records->seek(m_decoder, k);
    while (m_decoder.count() < k + 1)
        m_decoder.next();
    return m_decoder.screen();
}

}  // namespace player
