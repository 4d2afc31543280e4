#include "animation.hpp"

#include "datafile.hpp"

namespace player {

AnimationError::AnimationError(std::string path, const TIFunctions::RecordError& cause)
    : std::runtime_error(path + ": " + cause.what()),
      m_path(std::move(path)),
      m_record(cause.record()),
      m_offset(cause.offset()) {}

std::vector<TIFunctions::BitString> Animation::screens() const {
    std::vector<TIFunctions::BitString> result;
    result.reserve(records.size());
    for (const TIFunctions::Record& record : records)
        result.push_back(record.screen);
    return result;
}

Animation decodeAnimation(std::string path, std::vector<std::uint8_t> bytes, ScreenSize size) {
    Animation animation;
    animation.path = std::move(path);
    animation.size = size;
    animation.bytes = std::move(bytes);
    try {
        animation.records = TIFunctions::decodeRecords(animation.bytes, size.pixels());
    } catch (const TIFunctions::RecordError& error) {
        throw AnimationError(animation.path, error);
    }
    return animation;
}

Animation loadAnimation(const std::string& path, ScreenSize size) {
    return decodeAnimation(path, readDataFile(path), size);
}

}  // namespace player
