#pragma once
// The seven 16 x 16, 16-colour faces of the add-in's buttons and menu items:
// 0 edit-record stamp, 1 function-description stamp, 2 wizard, 3 settings, 4 unused, 5 help, 6 menu.
#include <vector>

#include "platform/bitmap.h"

namespace qm {

inline constexpr int kButtonFaceCount = 7;
const Bitmap& ButtonFace(int index);
// The 16 colours the faces are drawn in (the standard Windows 16-colour palette).
const std::vector<std::uint32_t>& FacePalette();

// The 79 x 189 product image of the version dialog.
const Bitmap& ProductImage();

}  // namespace qm
