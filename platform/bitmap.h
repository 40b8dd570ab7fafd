#pragma once
// A small picture: button faces and dialog images.
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows from the top
    friend bool operator==(const Bitmap&, const Bitmap&) = default;
};

// A 4-bit Windows bitmap file (BMP, 16 colours) of the picture; colours not in the palette take the nearest.
std::string EncodeBmp16(const Bitmap& bitmap, const std::vector<std::uint32_t>& palette);

}  // namespace qm
