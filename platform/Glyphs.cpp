#include "Glyphs.h"

namespace {

// The disabled look of a glyph image: its shape in gray over a white shadow one pixel down and
// to the right, on the same background.
TBitmap DisabledImage(const TBitmap& normal) {
    const TColor background = normal.Pixel(0, normal.Height - 1);
    TBitmap disabled = normal;
    auto at = [&](TBitmap& b, int x, int y) -> TColor& {
        return b.Pixels[static_cast<std::size_t>(y * b.Width + x)];
    };
    for (TColor& pixel : disabled.Pixels) pixel = background;
    for (int y = 0; y < normal.Height; ++y)
        for (int x = 0; x < normal.Width; ++x)
            if (normal.Pixel(x, y) != background && x + 1 < normal.Width && y + 1 < normal.Height)
                at(disabled, x + 1, y + 1) = clWhite;
    for (int y = 0; y < normal.Height; ++y)
        for (int x = 0; x < normal.Width; ++x)
            if (normal.Pixel(x, y) != background) at(disabled, x, y) = clGray;
    return disabled;
}

// The normal image and its disabled look side by side, as a speed button takes them.
TBitmap GlyphStrip(const TBitmap& normal) {
    const TBitmap disabled = DisabledImage(normal);
    TBitmap strip;
    strip.Width = normal.Width * 2;
    strip.Height = normal.Height;
    for (int y = 0; y < normal.Height; ++y) {
        for (int x = 0; x < normal.Width; ++x) strip.Pixels.push_back(normal.Pixel(x, y));
        for (int x = 0; x < normal.Width; ++x) strip.Pixels.push_back(disabled.Pixel(x, y));
    }
    return strip;
}

}  // namespace

TBitmap QuilIcon() {
    return TBitmap::FromRows({
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
        "kkkkkkkkkkkttcccccttkkkkkkkkkkkk",
        "kkkkkkkkkcccccccccccctkkkkkkkkkk",
        "kkkkkkkkccccttkkktccccckkkkkkkkk",
        "kkkkkkkkcctkkkkkkkktcccckkkkkkkk",
        "kkkkkkkkktkkkkkkkkkkkccccckkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkktccccckkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkccccckkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkcccccckkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkccccckkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkccccckkk",
        "kkkkkkkkkkttcccccttkkkkkccccckkk",
        "kkkkkkkktccccccccccctkkkccccckkk",
        "kkkkkkkccccttkkkktccccttccccckkk",
        "kkkkkktccctkkkkkkkkktcccccccckkk",
        "kkkkktccctkkkkkkkkkkkktcccccckkk",
        "kkkkkcccckkkkkkkkkkkkkkkcccctkkk",
        "kkkktccctkkkkkkkkkkkkkkkcccckkkk",
        "kkkkcccckkkkkkkkkkkkkkkccccckkkk",
        "kkkkcccckkkkkkkkkkkkkkkcccctkkkk",
        "kkkkcccctkkkkkkkkkkkkktccccckkkk",
        "kkkkccccckkkkkkkkkkkkkccccckkkkk",
        "kkkktcccctkkkkkkkkkkktcccctkkkkk",
        "kkkkkccccctkkkkkkkktccccctkkkkkk",
        "kkkkkktcccccttkttcccccctkkkkkkkk",
        "kkkkkkkktcccccccccccctkkkkkkkkkk",
        "kkkkkkkkkkttcccccttkkkkkkkkkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
    });
}

TBitmap ExitGlyph() {
    // A red arrow going into an open door.
    return GlyphStrip(TBitmap::FromRows({
        "oooooooooooooooo",
        "oooooooooaaaaaaa",
        "oooooooooackkkkk",
        "oooooorooacckkkk",
        "oooooorroaccckkk",
        "oooooorrracccckk",
        "oooooorrrrcccckk",
        "orrrrrrrrrrccckk",
        "orrrrrrrrrrccckk",
        "oooooorrrrcccckk",
        "oooooorrracccckk",
        "oooooorroacccckk",
        "oooooorooacccckk",
        "oooooooooaccckkk",
        "oooooooooacckkkk",
        "oooooooooackkkkk",
    }));
}

TBitmap RunGlyph() {
    // A lightning bolt.
    return GlyphStrip(TBitmap::FromRows({
        "ooooooooookkoooo",
        "oooooooookykoooo",
        "ooooooookyykoooo",
        "oooooookyykooooo",
        "ooooookyykoooooo",
        "oooookyyykoooooo",
        "ooookyyyykkkkooo",
        "oookyyyyyyyykooo",
        "oookkkkyyyykoooo",
        "ooooookyyykooooo",
        "oooookyyykoooooo",
        "oooookyykooooooo",
        "ooookyykoooooooo",
        "ooookykooooooooo",
        "oookykoooooooooo",
        "oookkooooooooooo",
    }));
}
