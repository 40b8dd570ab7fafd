#pragma once
// Numbers inside the stored format texts.
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// The leading number of a text: blanks are ignored wherever they stand, then an optional sign,
// digits and an optional decimal fraction; reading stops at the first other character. A text
// that does not start with a number reads as 0. The number is rounded to the nearest whole number,
// a half to the even neighbour, exactly however many digits it is written with, and held in 16 or 32
// bits (beyond the range: the nearest end). Linear in the text.
std::int16_t ReadInt16(std::u16string_view text);
std::int32_t ReadInt32(std::u16string_view text);

}  // namespace qm
