#pragma once
// Comment blocks that a project wrote above its procedures before it used stamps: its own headers,
// which the command leaves alone by default, and the line that takes a procedure out of checks.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_lines.h"

namespace qm {

// A line of a house-style header: after the comment mark and any blanks (half- or full-width), a
// label of 1 to 20 characters, then "：", or ":" before a blank or the line's end. The label holds a
// letter (A-Z, a-z or any character beyond ASCII) and otherwise only letters, digits, blanks, "_",
// "-", "(", ")", "（", "）" and "・". "' 目　的　　：税額を求める" and "'Purpose: ..." are;
// "'x = a: b", "' see http://..." and "' 2024/01/05 12:00" are not.
bool IsHouseHeaderLine(std::u16string_view line);

// The block of module lines first..last (counted from 1) is a header of the project's own: a comment
// block with at least one house-style header line that is not the no-check line.
bool IsHouseHeader(TextLines lines, std::int32_t first, std::int32_t last);

// The comment line "' quillmark: no-check", optionally followed by a blank and a reason: the
// procedure below it is not checked.
bool IsNoCheckLine(std::u16string_view line);
bool HoldsNoCheck(TextLines lines, std::int32_t first, std::int32_t last);

}  // namespace qm
