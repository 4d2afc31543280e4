#pragma once

#include "picture.hpp"

namespace capture {

// What the frame loop needs of a video: its length and the picture shown at a time.
// Times passed to pictureAt never decrease from one call to the next.
class FrameSource {
  public:
    virtual ~FrameSource() = default;

    // Playing length in seconds: Length() >= t holds exactly for the times t inside the video.
    virtual double Length() = 0;
    // The picture shown at t seconds, at the player's size; valid until the next call.
    virtual const Picture& pictureAt(double t) = 0;
    // Gets ready for pictureAt(t) without going through the pictures before t, where the
    // source can; called once, before the first picture.
    virtual void seek(double /*t*/) {}
};

}  // namespace capture
