#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "framesource.hpp"

namespace capture {

// A video that cannot be opened or played; carries the path and the reason.
class MediaError : public std::runtime_error {
  public:
    MediaError(std::string path, std::string reason);

    const std::string& path() const noexcept { return m_path; }
    const std::string& reason() const noexcept { return m_reason; }

  private:
    std::string m_path;
    std::string m_reason;
};

// Which frames are deinterlaced before scaling.
enum class Deinterlace {
    Auto,  // the frames the decoder marks interlaced
    On,    // every frame
    Off,   // none
};

// Settings of the decoder.
struct MediaOptions {
    // Decoder threads, decoding frames side by side where the codec can, else slices of one
    // frame; 0 gives one a core the process may run on (on one core, no threads), 1 decodes on
    // the calling thread. The pictures are the same for every count,
    // except where a stream is damaged: there libavcodec's frame threads hide the errors
    // otherwise than one thread does, and not always alike from run to run.
    int threads = 0;
    Deinterlace deinterlace = Deinterlace::Auto;
};

// The first video stream of a file, decoded forward, deinterlaced (options.deinterlace), turned
// upright as its display matrix says (right angles and flips) and scaled to the player's size.
// Frame times count from the stream's start. The picture shown at t is the last frame whose
// time is at most t (the first frame before it, the last one after the end). The length is the
// end of the last frame (its time plus its duration), found when the file is opened by a pass
// over the stream's packets, since container headers may be missing or wrong.
class MediaPlayer final : public FrameSource {
  public:
    // Opens path and decodes its first frame; pictures will be width x height (none when either
    // is 0 or less). Throws MediaError when the file cannot be opened, has no video stream or
    // yields no picture.
    MediaPlayer(const std::string& path, int width, int height, MediaOptions options = {});
    ~MediaPlayer() override;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // The end of the last frame in seconds, just below the next tenth of a second when it falls
    // exactly on one: so Length() >= k / 10.0 holds exactly for the tenths before the end.
    double Length() override;
    // The picture shown at t; t must not decrease between calls. Throws MediaError when
    // decoding fails for another reason than damaged data.
    const Picture& pictureAt(double t) override;

    // The width of the picture as shown (turned upright, pixels of the stream's sample aspect)
    // over its height.
    double shownAspect() const noexcept;
    // How the stream's display matrix turns the picture for showing ("rotated by 90 degrees
    // clockwise", ...); empty when it is shown as stored.
    std::string turnName() const;
    // Positions the player for pictureAt(t) by seeking to the key frame at or before t and
    // decoding on from it, instead of decoding everything before t; the pictures are those of
    // decoding from the start. Streams without timestamps, and times less than a second ahead,
    // are decoded on to.
    void seek(double t) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Silences FFmpeg's own messages on stderr, process-wide (the library logs by default).
void quietMediaLog();

}  // namespace capture
