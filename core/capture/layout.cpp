#include "layout.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace capture {

namespace {

constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}

// Control properties are single precision; the arithmetic between them is done in double and
// the result rounded once when it is stored, as the window's own property assignment does.
float store(double value) {
    return static_cast<float>(value);
}

}  // namespace

std::uint32_t PaletteColour(int index) {
    static constexpr std::array<std::uint32_t, 16> kPalette = {
        rgb(0, 0, 0),       rgb(0, 0, 128),   rgb(0, 128, 0),   rgb(0, 128, 128),
        rgb(128, 0, 0),     rgb(128, 0, 128), rgb(128, 128, 0), rgb(192, 192, 192),
        rgb(128, 128, 128), rgb(0, 0, 255),   rgb(0, 255, 0),   rgb(0, 255, 255),
        rgb(255, 0, 0),     rgb(255, 0, 255), rgb(255, 255, 0), rgb(255, 255, 255)};
    if (index < 0 || index > 15) return kPalette[0];
    return kPalette[static_cast<std::size_t>(index)];
}

int backgroundIndex(double WantWhite) {
    const double index = std::nearbyint(WantWhite * 15);  // the default mode rounds half to even
    if (!(index > 0)) return 0;
    if (index >= 15) return 15;
    return static_cast<int>(index);
}

Layout InitMediaPlayer(double Width, double Height, double DWidth, double DHeight,
                       double WantWhite) {
    Layout layout;
    const Rect& bs = layout.backScreen;
    Rect& back = layout.vBackG;
    Rect& player = layout.player;

    player.width = store(Width);
    player.height = store(Height);
    back.width = store(DWidth);
    back.height = store(DHeight);
    layout.tgt.width = store(DWidth);
    layout.tgt.height = store(DHeight);

    back.left = store((double{bs.width} - back.width) * 0.5 + bs.left);
    back.top = store((double{bs.height} * 0.5 - back.height) * 0.5 + bs.top);

    player.left = store((double{back.width} - player.width) * 0.5 + back.left);
    player.top = store((double{back.height} - player.height) * 0.5 + back.top);

    Rect& vBorder = layout.vBorder;
    vBorder.width = store(double{back.width} + 4);
    vBorder.height = store(double{back.height} + 4);
    vBorder.left = store((double{bs.width} - vBorder.width) * 0.5 + bs.left);
    vBorder.top = store((double{bs.height} * 0.5 - vBorder.height) * 0.5 + bs.top);

    Rect& tBorder = layout.tBorder;
    tBorder.width = store(double{back.width} + 4);
    tBorder.height = store(double{back.height} + 4);
    tBorder.left = store((double{bs.width} - vBorder.width) * 0.5 + bs.left);
    tBorder.top = store((double{bs.height} * 0.5 - vBorder.height) * 0.5 +
                        (double{bs.height} * 0.5 + bs.top));

    layout.tgt.left = back.left;
    layout.tgt.top = store(double{tBorder.top} + 2);

    layout.background = PaletteColour(backgroundIndex(WantWhite));
    layout.previewVisible = true;
    return layout;
}

void SetPreviewLayout(Layout& layout, bool WantPreview) {
    layout.previewVisible = WantPreview;
    if (WantPreview) return;
    const Rect& bs = layout.backScreen;
    layout.player.top = store((double{bs.height} - layout.player.height) * 0.5 + bs.top);
    layout.vBorder.top = store((double{bs.height} - layout.vBorder.height) * 0.5 + bs.top);
    layout.vBackG.top = store((double{bs.height} - layout.vBackG.height) * 0.5 + bs.top);
}

Rect keepAspect(const Rect& player, double aspect) {
    if (!(aspect > 0) || !(player.width >= 1) || !(player.height >= 1)) return player;
    const double width = std::floor(player.width);
    const double height = std::floor(player.height);
    Rect kept = player;
    if (width / height > aspect) {
        const double fitted = std::max(1.0, std::round(height * aspect));
        kept.width = static_cast<float>(fitted);
        kept.left = store(double{player.left} + std::floor((width - fitted) / 2));
    } else {
        const double fitted = std::max(1.0, std::round(width / aspect));
        kept.height = static_cast<float>(fitted);
        kept.top = store(double{player.top} + std::floor((height - fitted) / 2));
    }
    return kept;
}

}  // namespace capture
