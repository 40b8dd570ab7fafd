#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "addin/resources/artwork.h"
#include "addin/resources/button_faces.h"

namespace qm::test {
namespace {

TEST(Artwork, TheBannerIs79By189InAtMost256Colours) {
    const Bitmap& banner = ProductImage();
    EXPECT_EQ(banner.width, 79);
    EXPECT_EQ(banner.height, 189);
    ASSERT_EQ(banner.pixels.size(), 79u * 189u);
    const std::set<std::uint32_t> colours(banner.pixels.begin(), banner.pixels.end());
    EXPECT_LE(colours.size(), 256u);
    EXPECT_GT(colours.size(), 16u);  // a picture, not a flat ground
}

TEST(Artwork, ButtonFacesAre16By16InThePalette) {
    const auto& palette = FacePalette();
    for (int i = 0; i < kButtonFaceCount; ++i) {
        SCOPED_TRACE(i);
        const Bitmap& face = ButtonFace(i);
        EXPECT_EQ(face.width, 16);
        EXPECT_EQ(face.height, 16);
        for (std::uint32_t pixel : face.pixels) EXPECT_NE(std::find(palette.begin(), palette.end(), pixel), palette.end());
    }
}

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

TEST(Artwork, TheIconFileHoldsBothSizesWithTheirMasks) {
    const auto small = DrawProductIcon(16), large = DrawProductIcon(32);
    const auto ico = EncodeIcon({small, large});
    ASSERT_GE(ico.size(), 6u + 32u);
    EXPECT_EQ(Le(ico, 0, 2), 0u);
    EXPECT_EQ(Le(ico, 2, 2), 1u);
    EXPECT_EQ(Le(ico, 4, 2), 2u);
    for (int i = 0; i < 2; ++i) {
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        const int size = i == 0 ? 16 : 32;
        EXPECT_EQ(ico[entry], size);
        EXPECT_EQ(Le(ico, entry + 6, 2), 32u);  // bits per pixel
        const std::uint32_t bytes = Le(ico, entry + 8, 4), offset = Le(ico, entry + 12, 4);
        const std::uint32_t expected = 40 + static_cast<std::uint32_t>(size * size * 4 + size * ((size + 31) / 32 * 4));
        EXPECT_EQ(bytes, expected);
        ASSERT_LE(offset + bytes, ico.size());
        EXPECT_EQ(Le(ico, offset + 8, 4), static_cast<std::uint32_t>(size * 2));  // colours and mask
    }
    // Transparent around, drawn in the middle.
    EXPECT_EQ(large.alpha.front(), 0);
    EXPECT_GT(std::count_if(large.alpha.begin(), large.alpha.end(), [](std::uint8_t a) { return a > 200; }), 200);
}

}  // namespace
}  // namespace qm::test
