#pragma once

#include <memory>
#include <string>

#include "animation.hpp"
#include "bitstring.hpp"
#include "fileerror.hpp"
#include "screenraster.hpp"

namespace player {

// Takes the screens of an export one at a time, in frame order, holding none of them.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // Adds the next frame. Throws support::FileError.
    virtual void add(const TIFunctions::BitString& screen) = 0;
    // Ends the export once every frame is in. Throws support::FileError, also when no frame was
    // added; a GIF or MP4 file appears only once this succeeds.
    virtual void finish() = 0;
};

// A GIF export to path, fed a frame at a time: an animated GIF that loops forever, ten frames a
// second, dark pixels black on the light grey. Throws support::FileError.
std::unique_ptr<FrameSink> openGif(const std::string& path, const PictureGeometry& geometry);
// An MP4 export to path, fed a frame at a time: H.264, or MPEG-4 Part 2 when no H.264 encoder is
// at hand, ten frames a second. A picture of odd width or height gets one light column or row
// more, as the video's colour format needs even sides. Throws support::FileError.
std::unique_ptr<FrameSink> openMp4(const std::string& path, const PictureGeometry& geometry);
// PNG pictures fed a frame at a time: screen k as folder/NNNNNNNN.png, k in 8 digits from
// 00000000, the folder made when needed; each file replaces an older one only once it is
// complete. Throws support::FileError.
std::unique_ptr<FrameSink> openPngFrames(const std::string& folder,
                                         const PictureGeometry& geometry);

// Lets the media libraries print only errors.
void quietMediaLog();

}  // namespace player
