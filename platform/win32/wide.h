#pragma once
// UTF-16 text as the wide Win32 entry points take it.
#include <string>

namespace qm::win32 {

inline std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string FromWide(const wchar_t* text) {
    std::u16string out;
    for (; text != nullptr && *text != 0; ++text) out.push_back(static_cast<char16_t>(*text));
    return out;
}

}  // namespace qm::win32
