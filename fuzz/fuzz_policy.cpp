// The check policy reader: whatever a policy file holds, it is taken or refused with its line
// number; every pattern it takes is matched against any path without trouble, and a pattern without
// wildcards matches the very path it names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/policy.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first line is a path to match against, the rest the policy.
    const auto nl = bytes.find('\n');
    const std::u16string path = qm::Utf8ToUtf16(bytes.substr(0, nl == std::string_view::npos ? bytes.size() : nl));
    try {
        const qm::cli::CheckPolicy policy =
            qm::cli::ParsePolicy(nl == std::string_view::npos ? std::string_view() : bytes.substr(nl + 1), "p");
        for (const std::u16string& pattern : policy.exclude) {
            qm::cli::PathMatches(pattern, path);
            const bool plain = pattern.find_first_of(u"*?") == std::u16string::npos && pattern.front() != u'/' && pattern.back() != u'/';
            if (plain && !qm::cli::PathMatches(pattern, pattern)) __builtin_trap();
        }
    } catch (const qm::cli::PolicyError& e) {
        if (e.message.rfind("p:", 0) != 0) __builtin_trap();
    }
    return 0;
}
