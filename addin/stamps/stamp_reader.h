#pragma once
// Reading stamps back out of a module's lines: the counterpart of the composers beside it, so that
// whatever finds, checks or refreshes stamps reads them the way they are written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "addin/settings/format_model.h"
#include "platform/text_lines.h"

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
StampBlock StampBlockAbove(TextLines lines, std::int32_t declarationLine);

// The module's code starts with a comment block holding the header mark.
bool HasModuleHeader(TextLines lines);

// One item of a stamp: "'" indent NAME padding ": " VALUE, and the lines that continue it.
struct StampItem {
    std::u16string name;
    std::vector<std::u16string> values;  // the first line's value, then each continuation line's text
    std::int32_t firstLine = 0;          // counted from 1
    std::int32_t lastLine = 0;
};
std::vector<StampItem> ReadStampItems(TextLines lines, std::int32_t first, std::int32_t last);

// The name an item of the function-name kind shows ("Name()", "Name [ﾌﾟﾛﾊﾟﾃｨ Get]" give "Name").
std::u16string NameShown(std::u16string_view value);
// The arguments an argument item lists ("なし" and an empty item list none): each "name -" line,
// what a person wrote after its " -" (as written), and the lines (counted from 1) that continue
// that below it. A first line that is no argument line is read as a bare name.
struct ListedArgument {
    std::u16string name;
    std::u16string note;
    std::vector<std::int32_t> continuation;
};
std::vector<ListedArgument> ArgumentsListed(const StampItem& item);
// The names alone.
std::vector<std::u16string> ArgumentNamesShown(const StampItem& item);

// A stamp read by its layout alone, so that stamps of another format, old ones and ones a person
// edited are read too: item lines ("'", indent, name, padding, ": ", value), the lines that continue
// a value (indented deeper than the names, or directly under it), argument lines ("name -" or
// "ARGn -" and what the argument is for). Rulers, blank comment lines and the marks are layout;
// every other comment line is kept as the text it is.
struct StampArgument {
    std::u16string name;
    std::u16string description;  // the lines that continue it joined by "\n"
};
struct ReadItem {
    std::u16string name;
    std::vector<std::u16string> values;  // the value, then each continuation line
    std::vector<StampArgument> arguments;
    bool listsArguments = false;  // "なし" lists none
    std::int32_t firstLine = 0;
    std::int32_t lastLine = 0;
};
struct StampText {
    std::int32_t line = 0;
    std::u16string text;
};
struct ReadStamp {
    std::vector<ReadItem> items;
    std::vector<StampText> text;  // comment lines that are no item, in order
};
// argumentItems: the names under which the current format lists arguments; an item under another
// name is read as an argument list when all its lines are argument lines and it has more than one,
// or names ARG1.
ReadStamp ReadStampLayout(TextLines lines, std::int32_t first, std::int32_t last, const std::vector<std::u16string>& argumentItems);

// The module header at the top of the code: "@(h) FILE  ver V ( 'DATE AUTHOR )", "@(s)" and what a
// person wrote under it. found is false when the code does not start with a comment block holding
// the header mark; the fields of the mark line are empty where it is written otherwise.
struct ModuleHeaderRead {
    bool found = false;
    std::int32_t firstLine = 0;
    std::int32_t lastLine = 0;
    std::u16string title;  // the mark line after "@(h)", as written
    std::u16string file;
    std::u16string version;
    std::u16string date;
    std::u16string author;
    ReadStamp body;  // items and text of the block, the mark lines left out
};
ModuleHeaderRead ReadModuleHeader(TextLines lines);

// The edit-record markers of a module: an opening "'------<NAME DATE>------" and the next closing
// line of dashes after it (nested pairs close inside out). closeLine is 0 for a marker never closed.
struct EditRecord {
    std::u16string editor;
    std::u16string date;  // with the time when the marker has one; empty when it shows none
    std::int32_t openLine = 0;
    std::int32_t closeLine = 0;
};
std::vector<EditRecord> ReadEditRecords(TextLines lines);

// The names of the format's items of a kind.
std::vector<std::u16string> ItemNamesOfKind(const FormatModel& model, AttributeKind kind);

}  // namespace qm
