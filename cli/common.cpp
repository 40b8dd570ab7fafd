#include "cli/common.h"

#include <cctype>
#include <iostream>

#include "addin/settings/format_rules.h"
#include "platform/text.h"

#include "platform/clock.h"

namespace qm::cli {

LocalDateTime Now(const CommonOptions& options) {
    if (options.now.empty()) return SystemClock().Now();
    const auto parsed = ParseDateTime(options.now);
    if (!parsed) throw UsageError{"--now needs a date and time as \"YYYY-MM-DD HH:MM:SS\", not \"" + options.now + "\""};
    return *parsed;
}

Encoding FileEncoding(const CommonOptions& options) {
    std::string name;
    for (const char c : options.encoding) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (name.empty() || name == "cp932" || name == "shift_jis" || name == "sjis") return Encoding::Cp932;
    if (name == "utf-8" || name == "utf8") return Encoding::Utf8;
    throw UsageError{"--encoding must be cp932 or utf-8, not \"" + options.encoding + "\""};
}

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string Printable(const std::string& utf8) {
    bool plain = true;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f || b == 0xc2 || b == 0xe2) plain = false;  // the lead bytes of C1 and of U+2028/U+2029
    }
    return plain ? utf8 : Utf16ToUtf8(Escaped(Utf8ToUtf16(utf8)));
}

void ReportProblems(const std::vector<std::string>& problems) {
    for (const auto& p : problems) std::cerr << "quillmark: " << Printable(p) << '\n';
}

void Note(const CommonOptions& options, const std::string& line) {
    if (!options.quiet) std::cerr << "quillmark: " << Printable(line) << '\n';
}

void Detail(const CommonOptions& options, const std::string& line) {
    if (options.verbose && !options.quiet) std::cerr << "quillmark: " << Printable(line) << '\n';
}

}  // namespace qm::cli
