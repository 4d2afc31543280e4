#pragma once

#include <cstdint>

namespace capture {

// A rectangle of the converter window's client area, in pixels, single precision.
struct Rect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Border colour of VBorder and TBorder, RGB (0, 0, 192), as 0x00BBGGRR.
inline constexpr std::uint32_t kBorderColour = 0x00C00000;

// Positions of the window's controls in client-area pixels: the backdrop, the video group
// (VBackG, the player, VBorder) and the preview group (TBorder, TGT).
struct Layout {
    Rect backScreen{8, 8, 344, 272};
    Rect vBackG;
    Rect player;
    Rect vBorder;
    Rect tBorder;
    Rect tgt;
    bool previewVisible = true;    // TBorder and TGT are shown
    std::uint32_t background = 0;  // fill of VBackG and VBorder, 0x00BBGGRR
};

// The colour of entry index (0 to 15) of the standard 16-colour palette as 0x00BBGGRR; entries
// outside that range give black.
std::uint32_t PaletteColour(int index);

// Index of the background colour for WantWhite: WantWhite x 15 rounded half to even, limited to
// the palette (0 black, 15 white).
int backgroundIndex(double WantWhite);

// The window laid out for a player of Width x Height and a canvas of DWidth x DHeight on the
// design backdrop, with the preview on; geometry only, the video is opened elsewhere.
Layout InitMediaPlayer(double Width, double Height, double DWidth, double DHeight,
                       double WantWhite);

// Shows or hides the preview group; without the preview the video group moves to the vertical
// middle of the backdrop.
void SetPreviewLayout(Layout& layout, bool WantPreview);

// The part of player that a picture whose width is aspect times its height fills when scaled
// whole and centred: whole pixels smaller, at whole-pixel offsets; player itself for an aspect
// that is not positive.
Rect keepAspect(const Rect& player, double aspect);

}  // namespace capture
