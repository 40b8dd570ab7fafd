// The registry-file reader: whatever the bytes, it reads them or refuses them with a line; what it
// reads from a "REGEDIT4" file it writes back so that reading that again gives the same keys and values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    qm::MemoryRegistry first;
    try {
        qm::ImportRegFile(bytes, *codepage, first);
    } catch (const qm::RegFileError& e) {
        if (e.Line() < 1) __builtin_trap();
        return 0;
    }
    // The Unicode form may name keys the code page cannot hold; the round trip is the ANSI form's.
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return 0;
    const std::string exported = qm::ExportRegFile(first.Keys(), *codepage);
    qm::MemoryRegistry second;
    qm::ImportRegFile(exported, *codepage, second);  // a refusal here is a finding: it throws out
    if (second.Keys() != first.Keys()) __builtin_trap();
    return 0;
}
