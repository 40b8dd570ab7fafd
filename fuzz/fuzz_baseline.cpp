// The baseline reader: whatever a baseline file holds, it is taken or refused with its line; what it
// takes is written again and read back as the same findings, one line each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/baseline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<qm::cli::BaselineEntry> entries;
    try {
        entries = qm::cli::ParseBaseline(bytes, "b");
    } catch (const qm::cli::BaselineError& e) {
        if (e.message.rfind("b:", 0) != 0) __builtin_trap();
        return 0;
    }
    const std::string again = qm::cli::ComposeBaseline(entries);
    std::size_t lines = 0;
    for (const char c : again) lines += c == '\n' ? 1 : 0;
    if (lines != entries.size() + 2) __builtin_trap();
    if (qm::cli::ParseBaseline(again, "b") != entries) __builtin_trap();
    return 0;
}
