#pragma once
// The difference a command makes to a file, as --diff and --patch show it. The command knows which
// lines it put in and which it replaced, so the difference is read off in one pass, without a search.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

// A line of the text after the change: the line of the text before that it is (counted from 0;
// these rise from line to line), or kNewLine for a line put in or changed; and its length in bytes,
// its line end included.
inline constexpr std::size_t kNewLine = static_cast<std::size_t>(-1);
struct LineAfter {
    std::size_t origin = kNewLine;
    std::size_t length = 0;
};

// How a line's bytes, line end included, are shown in the difference.
using ShowLine = std::function<void(std::string_view line, std::string& out)>;

// A unified diff with three lines of context; empty when nothing changed. A last line without a line
// end is followed by "\ No newline at end of file".
std::string UnifiedDiff(const std::string& oldName, const std::string& newName, std::string_view before, std::string_view after,
                        const std::vector<LineAfter>& lines, const ShowLine& show);

// A file name as the header lines of a patch carry it: as it is, or in double quotes with C escapes
// when it holds a blank, a quote, a backslash or a control character.
std::string PatchName(std::string_view name);

}  // namespace qm::cli
