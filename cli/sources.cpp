#include "cli/sources.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "addin/settings/format_rules.h"
#include "cli/common.h"
#include "cli/paths.h"
#include "cli/store.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {

namespace fs = std::filesystem;

bool IsSourceName(const std::string& path) {
    static const char* const kExtensions[] = {".bas", ".cls", ".frm", ".ctl", ".pag", ".dob", ".dsr"};
    std::string e = Utf8Of(PathOf(path).extension());
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [&](const char* x) { return e == x; });
}

namespace {

// The path as it is shown and used: on Windows with "\\", and "." and ".." steps taken away as the
// system itself does (there a ".." after a link goes back out of the link's name, not its target).
std::string ShownPath(const fs::path& path) {
#ifdef _WIN32
    fs::path shown = path.lexically_normal();
    shown.make_preferred();
    std::string text = Utf8Of(shown);
    if (text.size() > 1 && (text.back() == '\\' || text.back() == '/') && text[text.size() - 2] != ':') text.pop_back();
    return text;
#else
    return Utf8Of(path);
#endif
}

#ifdef _WIN32
constexpr bool kCommandExpandsWildcards = true;
#else
constexpr bool kCommandExpandsWildcards = false;  // the shell has done it
#endif

// Upper and lower case as one: ASCII and the full-width Latin letters.
char16_t Folded(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + (u'a' - u'A'));
    if (c >= u'\uFF21' && c <= u'\uFF3A') return static_cast<char16_t>(c + (u'\uFF41' - u'\uFF21'));
    return c;
}

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

}  // namespace

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name) {
    // Greedy matching with one point to come back to: linear in the pattern times the name at worst.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::u16string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || Folded(pattern[p]) == Folded(name[n]))) {
            // "?" is one character: both halves of a surrogate pair.
            if (pattern[p] == u'?' && name[n] >= 0xD800 && name[n] < 0xDC00 && n + 1 < name.size()) ++n;
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::vector<std::string> ExpandWildcards(const std::string& pattern) {
    const fs::path whole = PathOf(pattern);
    std::vector<fs::path> parts;
    for (const fs::path& part : whole.relative_path()) parts.push_back(part);
    std::vector<fs::path> found{whole.root_path()};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const std::string part = Utf8Of(parts[i]);
        std::vector<fs::path> next;
        for (const fs::path& base : found) {
            if (!HasWildcard(part)) {
                next.push_back(base / parts[i]);
                continue;
            }
            const std::u16string wanted = Utf8ToUtf16(part);
            std::vector<std::pair<std::u16string, fs::path>> names;
            std::error_code ec;
            for (fs::directory_iterator it(base.empty() ? fs::path(".") : base, ec), end; !ec && it != end; it.increment(ec)) {
                const std::u16string name = Utf8ToUtf16(Utf8Of(it->path().filename()));
                std::error_code kind;
                if (!MatchesWildcard(wanted, name) || (last ? !it->is_regular_file(kind) : !it->is_directory(kind))) continue;
                std::u16string key = name;
                for (char16_t& c : key) c = Folded(c);
                names.emplace_back(std::move(key), base / it->path().filename());
            }
            std::sort(names.begin(), names.end());
            for (auto& [key, path] : names) next.push_back(std::move(path));
        }
        found = std::move(next);
    }
    std::vector<std::string> paths;
    for (const fs::path& path : found) {
        std::error_code ec;
        if (fs::exists(path, ec)) paths.push_back(Utf8Of(path));
    }
    return paths;
}

std::vector<std::string> ProjectMembers(std::string_view bytes) {
    static const char* const kMembers[] = {"Module", "Class", "Form", "UserControl", "PropertyPage", "UserDocument", "Designer"};
    const auto codepage = MakeCp932Codepage();
    std::vector<std::string> members;
    for (const std::string_view raw : SplitLines(bytes)) {
        const std::string line = Utf16ToUtf8(codepage->FromAnsi(raw));
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        if (std::find(std::begin(kMembers), std::end(kMembers), key) == std::end(kMembers)) continue;
        // "Module=Name; path" and "Class=Name; path" name the module first.
        std::string member = line.substr(equals + 1);
        if (const auto semicolon = member.find(';'); semicolon != std::string::npos) member = member.substr(semicolon + 1);
        const auto first = member.find_first_not_of(" \t");
        const auto last = member.find_last_not_of(" \t");
        member = first == std::string::npos ? std::string() : member.substr(first, last - first + 1);
        std::replace(member.begin(), member.end(), '\\', '/');
        if (!member.empty()) members.push_back(std::move(member));
    }
    return members;
}

std::vector<Source> ExpandSources(const std::vector<std::string>& arguments, std::vector<std::string>& problems) {
    const auto extension = [](const std::string& path) {
        std::string e = Utf8Of(PathOf(path).extension());
        for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return e;
    };
    const auto breaks = [](const std::string& name) { return FindLineBreaker(Utf8ToUtf16(name)) != std::u16string::npos; };
    constexpr const char* kControl = ": a name with a control character is left alone (it would break a stamp line or an output line)";
    std::vector<std::string> expanded;
    for (const std::string& argument : arguments) {
        if (argument == "-") throw UsageError{"\"-\" is not a file name: give the files themselves"};
        if (!kCommandExpandsWildcards || !HasWildcard(argument) || breaks(argument)) {
            expanded.push_back(argument);
            continue;
        }
        const std::vector<std::string> matches = ExpandWildcards(argument);
        if (matches.empty()) problems.push_back(argument + ": no file matches this pattern");
        expanded.insert(expanded.end(), matches.begin(), matches.end());
    }
    std::vector<Source> files;
    for (const std::string& given : expanded) {
        if (breaks(given)) {
            problems.push_back(Printable(given) + kControl);
            continue;
        }
        const std::string argument = ShownPath(PathOf(given));
        if (extension(argument) != ".vbp") {
            if (IsSourceName(argument)) {
                const fs::path p = PathOf(argument);
                files.push_back({argument, Utf8Of(p.parent_path()), Utf8Of(p.filename())});
            } else {
                problems.push_back(argument + ": not a VB6 source file (.bas .cls .frm .ctl .pag .dob .dsr); left alone");
            }
            continue;
        }
        std::string bytes;
        try {
            bytes = ReadWholeFile(argument);
        } catch (const PlatformError& e) {
            problems.push_back(argument + ": cannot read: " + e.what());
            continue;
        }
        const fs::path folder = PathOf(argument).parent_path();
        for (const std::string& member : ProjectMembers(bytes)) {
            if (breaks(member)) {
                problems.push_back(argument + ": names " + Printable(member) + kControl);
                continue;
            }
            const std::string path = ShownPath(folder / PathOf(member));
            if (!FileExists(path)) {
                problems.push_back(argument + ": names " + member + ", which does not exist");
            } else if (IsSourceName(path)) {
                files.push_back({path, ShownPath(folder), ShownPath(PathOf(member))});
            }
        }
    }
    // A module that several projects share is one module.
    std::vector<Source> once;
    std::vector<fs::path> seen;
    for (const Source& file : files) {
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(PathOf(file.path), ec);
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
        seen.push_back(canonical);
        once.push_back(file);
    }
    return once;
}

namespace {

// inner lies in outer's tree; both without links.
bool Within(const fs::path& inner, const fs::path& outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

// Whether a link (or a junction) is met on the way from the folder through the parts of relative.
bool LinkOnTheWay(const fs::path& folder, const fs::path& relative) {
    std::error_code ec;
    fs::path real = folder;
    for (const fs::path& part : relative) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            real = real.parent_path();
            continue;
        }
        const fs::path next = real / part;
        const fs::path resolved = fs::weakly_canonical(next, ec);
        if (ec || resolved != next) return true;
        real = resolved;
    }
    return false;
}

}  // namespace

std::optional<std::string> WriteRefusal(const Source& source) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(PathOf(source.path), ec);
    if (ec) return std::nullopt;  // the write itself says what is wrong
    if (!IsSourceName(Utf8Of(target))) {
        return "it leads to " + Printable(Utf8Of(target)) + ", which is not a VB6 source file: not written";
    }
    const fs::path folder = fs::weakly_canonical(source.folder.empty() ? fs::current_path(ec) : PathOf(source.folder), ec);
    if (ec) return std::nullopt;
    if (!LinkOnTheWay(folder, PathOf(source.relative)) || Within(target, folder)) return std::nullopt;
    if (const std::string tree = GitWorkTreeOf(Utf8Of(folder)); !tree.empty() && Within(target, PathOf(tree))) return std::nullopt;
    return "a link leads out of the project, to " + Printable(Utf8Of(target)) + ": not written";
}

}  // namespace qm::cli
