// The matcher of "*" and "?" in FILE arguments: whatever the pattern and the name, it ends; a name
// matches itself, "*" and the pattern made of it with "*" put in front; a pattern that is longer
// than the name without a "*" matches nothing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/sources.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto cut = bytes.find('\n');
    const std::u16string pattern = qm::Utf8ToUtf16(bytes.substr(0, cut));
    const std::u16string name = cut == std::string_view::npos ? std::u16string() : qm::Utf8ToUtf16(bytes.substr(cut + 1));
    const bool matches = qm::cli::MatchesWildcard(pattern, name);
    const bool plain = pattern.find_first_of(u"*?") == std::u16string::npos;
    if (plain && pattern.size() != name.size() && matches) __builtin_trap();
    if (name.find_first_of(u"*?") == std::u16string::npos) {
        if (!qm::cli::MatchesWildcard(name, name)) __builtin_trap();
        if (!qm::cli::MatchesWildcard(u"*" + name, name)) __builtin_trap();
    }
    if (!qm::cli::MatchesWildcard(u"*", name)) __builtin_trap();
    return 0;
}
