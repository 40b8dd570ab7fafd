// Code page 932 both ways: bytes read as text and written back are the same bytes when they were
// valid, the byte length of a text is what it takes once converted, and a unit that cannot be
// converted is replaced by one mark alone.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codepage.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    bool valid = true;
    const std::u16string text = codepage->FromAnsi(bytes, &valid);
    if (text.size() > bytes.size()) __builtin_trap();
    // Some characters have two codes (NEC and IBM extensions); the text they read as is what they give.
    if (valid && codepage->FromAnsi(codepage->ToAnsi(text)) != text) __builtin_trap();
    // The same bytes as UTF-16 units, lone surrogates and all.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::string ansi = codepage->ToAnsi(units);
    if (ansi.size() != codepage->ByteLength(units)) __builtin_trap();
    // Every unit gives at least one byte: nothing is swallowed.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool pair =
            units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
        if (pair) ++i;
        ++characters;
    }
    if (ansi.size() < characters) __builtin_trap();
    (void)qm::Utf16ToUtf8(units);
    (void)qm::Utf8ToUtf16(bytes);
    return 0;
}
