#pragma once
// Reading stamps back out of a module's lines: the counterpart of the composers beside it, so that
// whatever finds, checks or refreshes stamps reads them the way they are written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "addin/settings/format_model.h"

namespace qm {

// A comment line: "'" or "Rem" after the blanks.
bool IsCommentLine(std::u16string_view line);

// The comment block directly above a declaration (lines counted from 1; first is 0 when there is
// none), and whether it is a function-description stamp (a line holds the function mark).
struct StampBlock {
    std::int32_t first = 0;
    std::int32_t last = 0;
    bool isStamp = false;
};
StampBlock StampBlockAbove(const std::vector<std::u16string>& lines, std::int32_t declarationLine);

// The module's code starts with a comment block holding the header mark.
bool HasModuleHeader(const std::vector<std::u16string>& lines);

// One item of a stamp: "'" indent NAME padding ": " VALUE, and the lines that continue it.
struct StampItem {
    std::u16string name;
    std::vector<std::u16string> values;  // the first line's value, then each continuation line's text
    std::int32_t firstLine = 0;          // counted from 1
    std::int32_t lastLine = 0;
};
std::vector<StampItem> ReadStampItems(const std::vector<std::u16string>& lines, std::int32_t first, std::int32_t last);

// The name an item of the function-name kind shows ("Name()", "Name [ﾌﾟﾛﾊﾟﾃｨ Get]" give "Name").
std::u16string NameShown(std::u16string_view value);
// The argument names an argument item lists by name ("なし" and an empty item list none).
std::vector<std::u16string> ArgumentNamesShown(const StampItem& item);

// The names of the format's items of a kind.
std::vector<std::u16string> ItemNamesOfKind(const FormatModel& model, AttributeKind kind);

}  // namespace qm
