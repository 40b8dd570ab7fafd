#pragma once
// The product's pictures, drawn in code: the quill and the stamp of the version dialog and the
// wizard's pages, and the program icon.
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

// A picture with coverage: alpha 0 (transparent) to 255 (opaque) per pixel.
struct TranslucentBitmap {
    Bitmap colours;
    std::vector<std::uint8_t> alpha;
};

// The 79 x 189 banner of the version dialog and the wizard's pages: a quill above a red seal and
// the product name, in at most 256 colours.
Bitmap DrawProductBanner();

// The program icon at size x size pixels (16 and 32): a quill over a red seal.
TranslucentBitmap DrawProductIcon(int size);

// A Windows icon file (.ico) holding the pictures, 32 bits per pixel each.
std::vector<std::uint8_t> EncodeIcon(const std::vector<TranslucentBitmap>& pictures);

}  // namespace qm
