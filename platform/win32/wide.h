#pragma once
// UTF-16 text as the wide Win32 entry points take it.
#include <string>
#include <string_view>

namespace qm::win32 {

inline std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string FromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
inline std::u16string FromWide(const wchar_t* text) { return text == nullptr ? std::u16string() : FromWide(std::wstring_view(text)); }

}  // namespace qm::win32
