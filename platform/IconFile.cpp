#include "IconFile.h"

#include <cstdint>
#include <stdexcept>

namespace {

// The 16 colours in the order of the system palette, which a 16-colour icon indexes.
constexpr TColor Palette[] = {clBlack, clMaroon, clGreen, clOlive,  clNavy, clPurple, clTeal, clSilver,
                              clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};

std::uint8_t PaletteIndex(TColor color) {
    for (std::uint8_t i = 0; i < 16; ++i)
        if (Palette[i] == color) return i;
    throw std::invalid_argument("icon: a colour outside the 16-colour palette");
}

// Little-endian, as the file wants it.
void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFFu);
}

}  // namespace

std::string IconFile(const TBitmap& bitmap) {
    const auto width = static_cast<std::uint32_t>(bitmap.Width);
    const auto height = static_cast<std::uint32_t>(bitmap.Height);
    if (width == 0 || width > 256 || height == 0 || height > 256)
        throw std::invalid_argument("icon: sizes from 1 to 256 pixels");
    const std::uint32_t colorStride = (width * 4 + 31) / 32 * 4;   // rows of whole 32-bit words
    const std::uint32_t maskStride = (width + 31) / 32 * 4;
    const std::uint32_t imageBytes = 40 + 16 * 4 + (colorStride + maskStride) * height;

    std::string out;
    // The directory: one icon image.
    Put(out, 0, 2);
    Put(out, 1, 2);
    Put(out, 1, 2);
    Put(out, width % 256, 1);
    Put(out, height % 256, 1);
    Put(out, 16, 1);
    Put(out, 0, 1);
    Put(out, 1, 2);
    Put(out, 4, 2);
    Put(out, imageBytes, 4);
    Put(out, 6 + 16, 4);
    // The image: a bitmap header whose height counts the colour rows and the mask rows.
    Put(out, 40, 4);
    Put(out, width, 4);
    Put(out, 2 * height, 4);
    Put(out, 1, 2);
    Put(out, 4, 2);
    Put(out, 0, 4);
    Put(out, (colorStride + maskStride) * height, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, 16, 4);
    Put(out, 0, 4);
    for (TColor color : Palette) Put(out, color & 0xFFFFFFu, 4);   // blue, green, red, 0
    // Colour rows bottom up, two pixels a byte, the left one in the high half.
    for (std::uint32_t row = height; row-- > 0;) {
        std::string line(colorStride, '\0');
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t index = PaletteIndex(bitmap.Pixel(static_cast<int>(x), static_cast<int>(row)));
            line[x / 2] = static_cast<char>(line[x / 2] | (x % 2 == 0 ? index << 4 : index));
        }
        out += line;
    }
    // The transparency mask: all clear, every pixel shows its colour.
    out.append(maskStride * height, '\0');
    return out;
}
