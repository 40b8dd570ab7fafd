#include "cli/baseline.h"

#include <algorithm>

#include "cli/common.h"
#include "cli/policy.h"

namespace qm::cli {
namespace {

constexpr std::string_view kHeader = "# quillmark check baseline 1";

std::string Escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '\\') {
            out += "\\\\";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7f) {
            out += "\\x";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The field's text, or false when an escape is broken or a control character stands bare.
bool Unescaped(std::string_view field, std::string& out) {
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto b = static_cast<unsigned char>(field[i]);
        if (b < 0x20 || b == 0x7f) return false;
        if (field[i] != '\\') {
            out.push_back(field[i]);
            continue;
        }
        if (i + 1 >= field.size()) return false;
        const char e = field[++i];
        if (e == '\\') {
            out.push_back('\\');
        } else if (e == 't') {
            out.push_back('\t');
        } else if (e == 'x' && i + 2 < field.size() && HexValue(field[i + 1]) >= 0 && HexValue(field[i + 2]) >= 0) {
            const int value = HexValue(field[i + 1]) * 16 + HexValue(field[i + 2]);
            if (value >= 0x20 && value != 0x7f) return false;  // only what Escaped escapes
            out.push_back(static_cast<char>(value));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ComposeBaseline(const std::vector<BaselineEntry>& entries) {
    std::string out = std::string(kHeader) + "\n# rule, file, procedure; one accepted finding a line\n";
    for (const BaselineEntry& e : entries) out += Escaped(e.rule) + "\t" + Escaped(e.file) + "\t" + Escaped(e.procedure) + "\n";
    return out;
}

std::vector<BaselineEntry> ParseBaseline(std::string_view bytes, const std::string& path) {
    std::vector<BaselineEntry> entries;
    const auto& rules = CheckRules();
    const std::vector<std::string_view> lines = SplitLines(bytes);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::size_t number = index + 1;
        const std::string_view line = lines[index];
        const auto fail = [&](const std::string& why) {
            throw BaselineError{path + ":" + std::to_string(number) + ": not a baseline of quillmark check: " + why +
                                " (write it again with --write-baseline)"};
        };
        if (number == 1) {
            if (line != kHeader) fail("the first line is not \"" + std::string(kHeader) + "\"");
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        const auto first = line.find('\t');
        const auto second = first == std::string_view::npos ? first : line.find('\t', first + 1);
        if (second == std::string_view::npos || line.find('\t', second + 1) != std::string_view::npos) {
            fail("a line holds rule, file and procedure with a tab between");
        }
        BaselineEntry e;
        if (!Unescaped(line.substr(0, first), e.rule) || !Unescaped(line.substr(first + 1, second - first - 1), e.file) ||
            !Unescaped(line.substr(second + 1), e.procedure)) {
            fail("a broken escape or a bare control character");
        }
        if (std::none_of(rules.begin(), rules.end(), [&](const CheckRule& r) { return e.rule == r.id; })) {
            fail("no rule \"" + Escaped(e.rule) + "\"");
        }
        if (e.file.empty() || e.procedure.empty()) fail("an empty file or procedure");
        entries.push_back(std::move(e));
    }
    if (bytes.empty()) throw BaselineError{path + ": empty: not a baseline of quillmark check (write it again with --write-baseline)"};
    return entries;
}

AcceptedFindings::AcceptedFindings(const std::vector<BaselineEntry>& entries, std::string folder) : folder_(std::move(folder)) {
    for (const BaselineEntry& e : entries) ++left_[{e.rule, e.file, e.procedure}];
}

bool AcceptedFindings::Take(const Finding& finding) {
    const auto it = left_.find({finding.rule, PathFrom(folder_, finding.file), finding.procedure});
    if (it == left_.end() || it->second == 0) return false;
    --it->second;
    return true;
}

}  // namespace qm::cli
