#include "engine/preloader_picture.h"
#include "engine/engine_namespace.h"

#include <cstring>
#include <string_view>

namespace kestrova::engine {

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 20;

// 5 x 7 glyphs, one row a byte, the low five bits used (bit 4 is the left column).
struct Glyph {
    char letter;
    uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
};

const uint8_t* GlyphRows(char letter) {
    for (const Glyph& g : kFont) {
        if (g.letter == letter) {
            return g.rows;
        }
    }
    return nullptr;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// Palette: 0 background blue, 1 white text, 2 light blue frame, 3.. a grey ramp.
std::vector<uint8_t> Build() {
    constexpr size_t kPaletteOffset = 14 + 40;
    constexpr size_t kPixelOffset = kPaletteOffset + 256 * 4;
    std::vector<uint8_t> b(kPixelOffset + kWidth * kHeight, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, kPixelOffset);
    Put32(b, 14, 40);
    Put32(b, 18, kWidth);
    Put32(b, 22, kHeight); // positive: rows stored bottom-up
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 34, kWidth * kHeight);
    Put32(b, 38, 2835);
    Put32(b, 42, 2835);
    Put32(b, 46, 256);

    auto setColour = [&](int index, uint8_t r, uint8_t g, uint8_t bl) {
        size_t at = kPaletteOffset + static_cast<size_t>(index) * 4;
        b[at] = bl;
        b[at + 1] = g;
        b[at + 2] = r;
    };
    setColour(0, 0x1F, 0x3A, 0x60);
    setColour(1, 0xFF, 0xFF, 0xFF);
    setColour(2, 0x6F, 0x9F, 0xD8);
    for (int i = 3; i < 256; ++i) {
        setColour(i, static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    }

    auto pixel = [&](int x, int y) -> uint8_t& { // y counted from the top
        return b[kPixelOffset + static_cast<size_t>(kHeight - 1 - y) * kWidth + x];
    };
    for (int x = 0; x < kWidth; ++x) {
        pixel(x, 0) = 2;
        pixel(x, kHeight - 1) = 2;
    }
    for (int y = 0; y < kHeight; ++y) {
        pixel(0, y) = 2;
        pixel(kWidth - 1, y) = 2;
    }
    constexpr std::string_view kText = "LOADING";
    constexpr int kAdvance = 6;
    int left = (kWidth - static_cast<int>(kText.size()) * kAdvance + 1) / 2;
    int top = (kHeight - 7) / 2;
    for (size_t i = 0; i < kText.size(); ++i) {
        const uint8_t* rows = GlyphRows(kText[i]);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 5; ++x) {
                if (rows[y] & (0x10 >> x)) {
                    pixel(left + static_cast<int>(i) * kAdvance + x, top + y) = 1;
                }
            }
        }
    }
    return b;
}

} // namespace

const std::vector<uint8_t>& BuiltInPreloaderPicture() {
    static const std::vector<uint8_t> picture = Build();
    return picture;
}

} // namespace kestrova::engine
