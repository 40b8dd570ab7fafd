#include "cli/policy.h"

#include <algorithm>
#include <filesystem>

#include "addin/settings/format_rules.h"
#include "cli/common.h"
#include "cli/findings.h"
#include "cli/paths.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxPattern = 1000;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string RuleList() {
    std::string out;
    for (const CheckRule& rule : CheckRules()) out += (out.empty() ? "" : ", ") + std::string(rule.id);
    return out;
}

// Matches pattern against the whole of text: an O(pattern x text) table of where a prefix of each
// can end together, so that no pattern makes the match slow.
bool Glob(std::u16string_view pattern, std::u16string_view text) {
    std::vector<char> can(text.size() + 1, 0);  // can[j]: pattern[0, i) matches text[0, j)
    can[0] = 1;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        std::vector<char> next(text.size() + 1, 0);
        const bool deep = pattern[i] == u'*' && i + 1 < pattern.size() && pattern[i + 1] == u'*';
        if (pattern[i] == u'*') {
            // "*" runs over anything but "/", "**" over anything.
            for (std::size_t j = 0; j <= text.size(); ++j) {
                if (can[j]) next[j] = 1;
                if (j > 0 && next[j - 1] && (deep || text[j - 1] != u'/')) next[j] = 1;
            }
            if (deep) {
                ++i;
                // "**/" also matches no folder at all.
                if (i + 1 < pattern.size() && pattern[i + 1] == u'/') {
                    std::vector<char> slash(text.size() + 1, 0);
                    for (std::size_t j = 0; j <= text.size(); ++j) {
                        slash[j] = static_cast<char>(can[j] || (j > 0 && next[j - 1] && text[j - 1] == u'/'));
                    }
                    ++i;
                    next = std::move(slash);
                }
            }
        } else {
            for (std::size_t j = 1; j <= text.size(); ++j) {
                const char16_t c = text[j - 1];
                next[j] = static_cast<char>(can[j - 1] && (pattern[i] == u'?' ? c != u'/' : FoldAscii(pattern[i]) == FoldAscii(c)));
            }
        }
        can = std::move(next);
    }
    return can[text.size()] != 0;
}

}  // namespace

bool CheckPolicy::Ignores(std::string_view rule) const { return std::find(ignored.begin(), ignored.end(), rule) != ignored.end(); }

bool CheckPolicy::Excludes(std::string_view relative) const {
    const std::u16string text = Utf8ToUtf16(relative);
    return std::any_of(exclude.begin(), exclude.end(), [&](const std::u16string& p) { return PathMatches(p, text); });
}

bool PathMatches(std::u16string_view pattern, std::u16string_view path) {
    if (pattern.empty()) return false;
    std::u16string p(pattern);
    if (p.back() == u'/') p += u"**";
    if (p.find(u'/') == std::u16string::npos) {
        const auto slash = path.find_last_of(u'/');
        return Glob(p, slash == std::u16string_view::npos ? path : path.substr(slash + 1));
    }
    if (p.front() == u'/') p.erase(0, 1);
    return Glob(p, path);
}

CheckPolicy ParsePolicy(std::string_view bytes, const std::string& path) {
    CheckPolicy policy;
    policy.path = path;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::vector<std::string> given;
    const std::vector<std::string_view> lines = SplitLines(bytes);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::size_t number = index + 1;
        std::string_view line = lines[index];
        const auto fail = [&](const std::string& why) { throw PolicyError{path + ":" + std::to_string(number) + ": " + why}; };
        bool valid = true;
        const std::u16string text = Utf8ToUtf16(line, &valid);
        if (!valid) fail("not UTF-8 text");
        if (FindLineBreaker(text) != std::u16string::npos) fail("a control character");
        line = Trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) fail("not \"key = value\": " + Printable(std::string(line)));
        const std::string key(Trimmed(line.substr(0, equals)));
        const std::string value(Trimmed(line.substr(equals + 1)));
        const bool once = key != "ignore" && key != "exclude";
        if (once && std::find(given.begin(), given.end(), key) != given.end()) fail("\"" + key + "\" is given twice");
        given.push_back(key);
        const auto choose = [&](const char* yes, const char* no) {
            if (value != yes && value != no) fail(key + " is " + yes + " or " + no + ", not \"" + Printable(value) + "\"");
            return value == yes;
        };
        if (key == "procedures") {
            policy.publicOnly = choose("public", "all");
        } else if (key == "module-header") {
            policy.moduleHeader = choose("required", "optional");
        } else if (key == "house-headers") {
            policy.houseHeadersNeedStamp = choose("need-stamp", "accepted");
        } else if (key == "ignore") {
            const auto& rules = CheckRules();
            if (std::none_of(rules.begin(), rules.end(), [&](const CheckRule& r) { return value == r.id; })) {
                fail("no rule \"" + Printable(value) + "\" (the rules: " + RuleList() + ")");
            }
            policy.ignored.push_back(value);
        } else if (key == "exclude") {
            if (value.empty() || value.size() > kMaxPattern) fail("exclude takes a pattern of 1 to 1000 bytes");
            policy.exclude.push_back(Utf8ToUtf16(value));
        } else if (key == "baseline") {
            if (value.empty() || value.size() > kMaxPattern || value.front() == '/' || value.front() == '\\' ||
                (value.size() > 1 && value[1] == ':')) {
                fail("baseline takes a file's path from the policy's folder");
            }
            policy.baseline = value;
        } else {
            fail("no key \"" + Printable(key) + "\" (the keys: procedures, module-header, house-headers, ignore, exclude, baseline)");
        }
    }
    return policy;
}

std::optional<std::string> PolicyFileOf(const std::string& file, const std::function<bool(const std::string&)>& exists,
                                        const std::string& top) {
    const auto found = SearchUpward(
        PathOf(file).parent_path(), [&](const fs::path& f) { return exists(GenericUtf8Of(f / kPolicyFileName)); }, PathOf(top));
    if (!found) return std::nullopt;
    return GenericUtf8Of(*found / kPolicyFileName);
}

std::string PathFrom(const std::string& folder, const std::string& file) {
    const auto pathOf = [](const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); };
    std::error_code ec;
    const fs::path base = fs::absolute(folder.empty() ? fs::path(".") : pathOf(folder), ec).lexically_normal();
    const fs::path target = fs::absolute(pathOf(file), ec).lexically_normal();
    fs::path relative = target.lexically_relative(base);
    if (relative.empty()) relative = target;
    const std::u8string text = relative.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace qm::cli
