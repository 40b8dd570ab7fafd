#include "cli/diff.h"

#include <algorithm>

#include "cli/findings.h"

namespace qm::cli {
namespace {

// One step from the text before to the text after: ' ' a line kept, '-' a line of before that is
// gone, '+' a line of after that is new.
struct Step {
    char kind;
    std::size_t line;  // of before for ' ' and '-', of after for '+'
};

constexpr std::size_t kContext = 3;

}  // namespace

std::string UnifiedDiff(const std::string& oldName, const std::string& newName, std::string_view before, std::string_view after,
                        const std::vector<LineAfter>& lines, const ShowLine& show) {
    // Where each line of before starts, and where each of after.
    std::vector<std::size_t> oldStarts;
    for (std::size_t start = 0; start < before.size();) {
        oldStarts.push_back(start);
        const auto lf = before.find('\n', start);
        start = lf == std::string_view::npos ? before.size() : lf + 1;
    }
    oldStarts.push_back(before.size());
    std::vector<std::size_t> newStarts;
    newStarts.reserve(lines.size() + 1);
    std::size_t at = 0;
    for (const LineAfter& l : lines) {
        newStarts.push_back(at);
        at += l.length;
    }
    newStarts.push_back(at);
    const std::size_t oldCount = oldStarts.size() - 1;

    // The lines of before that are gone come in front of the new lines that take their place.
    std::vector<Step> steps;
    steps.reserve(std::max(oldCount, lines.size()));
    std::size_t next = 0;
    std::size_t pending = 0;  // new lines waiting for the gone lines in front of them
    const auto settle = [&](std::size_t upTo, std::size_t j) {
        for (; next < upTo; ++next) steps.push_back({'-', next});
        for (std::size_t k = j - pending; k < j; ++k) steps.push_back({'+', k});
        pending = 0;
    };
    bool changed = false;
    for (std::size_t j = 0; j < lines.size(); ++j) {
        const std::size_t origin = lines[j].origin;
        if (origin == kNewLine || origin >= oldCount || origin < next) {
            ++pending;
            changed = true;
            continue;
        }
        changed = changed || next < origin;
        settle(origin, j);
        steps.push_back({' ', next++});
    }
    changed = changed || next < oldCount;
    settle(oldCount, lines.size());
    if (!changed) return {};

    const auto oldLine = [&](std::size_t i) { return before.substr(oldStarts[i], oldStarts[i + 1] - oldStarts[i]); };
    const auto newLine = [&](std::size_t j) { return after.substr(newStarts[j], newStarts[j + 1] - newStarts[j]); };
    std::string out = "--- " + oldName + "\n+++ " + newName + "\n";
    // Line numbers before the step at `counted`, carried along so that the whole is one pass.
    std::size_t counted = 0;
    std::size_t oldLineNumber = 0;
    std::size_t newLineNumber = 0;
    std::size_t i = 0;
    while (i < steps.size()) {
        if (steps[i].kind == ' ') {
            ++i;
            continue;
        }
        // A hunk: kContext kept lines before the first change (none that an earlier hunk showed), to
        // kContext after the last change that lies within 2 * kContext kept lines of the one before.
        const std::size_t first = std::max(counted, i >= kContext ? i - kContext : 0);
        std::size_t last = i;
        std::size_t kept = 0;
        for (std::size_t j = i + 1; j < steps.size(); ++j) {
            if (steps[j].kind == ' ') {
                if (++kept > 2 * kContext) break;
            } else {
                kept = 0;
                last = j;
            }
        }
        const std::size_t end = std::min(steps.size(), last + 1 + kContext);
        for (; counted < first; ++counted) {
            oldLineNumber += steps[counted].kind != '+' ? 1 : 0;
            newLineNumber += steps[counted].kind != '-' ? 1 : 0;
        }
        std::size_t oldLines = 0;
        std::size_t newLines = 0;
        std::string body;
        for (std::size_t j = first; j < end; ++j) {
            const Step& s = steps[j];
            const std::string_view text = s.kind == '+' ? newLine(s.line) : oldLine(s.line);
            oldLines += s.kind != '+' ? 1 : 0;
            newLines += s.kind != '-' ? 1 : 0;
            body.push_back(s.kind);
            show(text, body);
            if (text.empty() || text.back() != '\n') body += "\n\\ No newline at end of file\n";
        }
        out += "@@ -" + std::to_string(oldLines == 0 ? oldLineNumber : oldLineNumber + 1) + "," + std::to_string(oldLines) + " +" +
               std::to_string(newLines == 0 ? newLineNumber : newLineNumber + 1) + "," + std::to_string(newLines) + " @@\n";
        out += body;
        oldLineNumber += oldLines;
        newLineNumber += newLines;
        counted = end;
        i = end;
    }
    return out;
}

std::string PatchName(std::string_view name) {
    const bool plain = std::none_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0x7f || c == '"' || c == '\\';
    });
    if (plain) return std::string(name);
    std::string out = "\"";
    for (const char c : name) AppendQuotedByte(out, c, ControlEscape::Octal);
    return out + "\"";
}

}  // namespace qm::cli
