#include "addin/resources/button_faces.h"

#include "addin/resources/artwork.h"

#include <array>
#include <string_view>

namespace qm {
namespace {

// One letter per pixel: the palette index in hexadecimal ('0' black ... 'f' white); '.' is the
// button's grey background (index 7).
using Art = std::array<std::string_view, 16>;

constexpr Art kFaces[kButtonFaceCount] = {
    // 0: edit-record stamp, a yellow pencil over a marker line
    Art{"................", ".............00.", "............0cc0", "...........0b0c0", "..........0b0b0.", ".........0b0b0..",
        "........0b0b0...", ".......0b0b0....", "......0b0b0.....", ".....0b0b0......", "....0ff0b0......", "....0f880.......",
        "....0000........", "................", "4444444444444444", "................"},
    // 1: function-description stamp, a page with a header block and text lines
    Art{"................", ".000000000000...", ".0ffffffffff0...", ".0f9999999ff0...", ".0f9ffffffff0...", ".0ffffffffff0...",
        ".0f00000f0ff0...", ".0ffffffffff0...", ".0f0000000ff0...", ".0ffffffffff0...", ".0f000000fff0...", ".0ffffffffff0...",
        ".0f00000000f0...", ".0ffffffffff0...", ".000000000000...", "................"},
    // 2: wizard, a wand with a star
    Art{"...........b....", "..........bbb...", "...........b....", "........b.......", ".......0b0......", "......0b0.......",
        ".....0b0........", "....0b0.........", "...0f0..........", "..0f0...........", ".0f0.......b....", "0f0.......bbb...",
        "00.........b....", "....b...........", "...bbb..........", "....b..........."},
    // 3: settings, a toolbar with a gear
    Art{"................", "0000000000000000", "0ffffffffffffff0", "0f9f9f9f9ffffff0", "0ffffffffffffff0", "0000000000000000",
        "................", ".....0.00.0.....", "....0880880.....", "...088ffff880....", "....08f00f80....", "...088f00f880...",
        "....08ffff80....", "....0880880.....", ".....0.00.0.....", "................"},
    // 4: not used by the menus: a blank page
    Art{"................", "...0000000......", "...0fffff00.....", "...0fffff0f0....", "...0fffff0000...", "...0ffffffff0...",
        "...0ffffffff0...", "...0ffffffff0...", "...0ffffffff0...", "...0ffffffff0...", "...0ffffffff0...", "...0ffffffff0...",
        "...0ffffffff0...", "...0000000000...", "................", "................"},
    // 5: help, a bold question mark on a yellow disc
    Art{"................", ".....000000.....", "...00bbbbbb00...", "..0bbb0000bbb0..", "..0bb00bb00bb0..", ".0bbbbbbb00bbb0.",
        ".0bbbbbb00bbbb0.", ".0bbbbb00bbbbb0.", ".0bbbbb00bbbbb0.", ".0bbbbbbbbbbbb0.", "..0bbbb00bbbb0..", "..0bbbb00bbbb0..",
        "...00bbbbbb00...", ".....000000.....", "................", "................"},
    // 6: the toolbar menu, a list with an arrow
    Art{"................", "................", ".000000000......", ".0fffffff0......", ".0f00000f0......", ".0fffffff0......",
        ".0f00000f0......", ".0fffffff0......", ".0f00000f0......", ".0fffffff0......", ".000000000......", "................",
        "..........00000.", "...........000..", "............0...", "................"},
};

int Hex(char c) { return c == '.' ? 7 : (c >= 'a' ? c - 'a' + 10 : c - '0'); }

Bitmap Draw(const Art& art) {
    Bitmap b{16, 16, {}};
    for (const auto row : art) {
        for (std::size_t x = 0; x < 16; ++x) {
            const char c = x < row.size() ? row[x] : '.';
            b.pixels.push_back(FacePalette()[static_cast<std::size_t>(Hex(c))]);
        }
    }
    return b;
}

}  // namespace

const std::vector<std::uint32_t>& FacePalette() {
    static const std::vector<std::uint32_t> palette = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    };
    return palette;
}

const Bitmap& ButtonFace(int index) {
    static const std::array<Bitmap, kButtonFaceCount> faces = [] {
        std::array<Bitmap, kButtonFaceCount> out;
        for (int i = 0; i < kButtonFaceCount; ++i) out[static_cast<std::size_t>(i)] = Draw(kFaces[i]);
        return out;
    }();
    return faces.at(static_cast<std::size_t>(index));
}

const Bitmap& ProductImage() {
    static const Bitmap image = DrawProductBanner();
    return image;
}

}  // namespace qm
