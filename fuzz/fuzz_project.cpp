// The project-file reader of the command: whatever a .vbp holds, the members it yields are names
// without blanks around them, with "/" for "\", one a line at most, and never empty.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/sources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto members = qm::cli::ProjectMembers(bytes);
    std::size_t lines = 1;
    for (const char c : bytes) lines += c == '\n' ? 1 : 0;
    if (members.size() > lines) __builtin_trap();
    for (const std::string& m : members) {
        if (m.empty() || m.find('\\') != std::string::npos) __builtin_trap();
        if (m.front() == ' ' || m.front() == '\t' || m.back() == ' ' || m.back() == '\t') __builtin_trap();
        if (m.find('\n') != std::string::npos) __builtin_trap();
    }
    return 0;
}
