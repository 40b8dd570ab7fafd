#include "platform/bitmap.h"

#include <limits>

namespace qm {
namespace {

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

std::size_t Nearest(std::uint32_t colour, const std::vector<std::uint32_t>& palette) {
    std::size_t best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        long d = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long a = static_cast<long>((colour >> shift) & 0xFF);
            const long b = static_cast<long>((palette[i] >> shift) & 0xFF);
            d += (a - b) * (a - b);
        }
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

}  // namespace

std::string EncodeBmp16(const Bitmap& bitmap, const std::vector<std::uint32_t>& palette) {
    const auto rowBytes = static_cast<std::uint32_t>(((bitmap.width + 1) / 2 + 3) / 4 * 4);
    const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(bitmap.height);
    const std::uint32_t offset = 14 + 40 + 16 * 4;
    std::string out = "BM";
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(bitmap.width));
    Put32(out, static_cast<std::uint32_t>(bitmap.height));
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 16);
    Put32(out, 0);
    for (std::size_t i = 0; i < 16; ++i) Put32(out, i < palette.size() ? palette[i] : 0);
    // Rows are stored from the bottom.
    for (int y = bitmap.height - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < bitmap.width; ++x) {
            const auto index = Nearest(
                bitmap.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width) + static_cast<std::size_t>(x)], palette);
            row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? index << 4 : index);
        }
        out += row;
    }
    return out;
}

}  // namespace qm
