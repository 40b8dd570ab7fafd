// Code page 932 through the system's conversion functions.
#include <windows.h>

#include <vector>

#include "platform/codepage.h"
#include "platform/win32/wide.h"

namespace qm {
namespace {

constexpr UINT kCodePage = 932;

class Win32Cp932 final : public Codepage {
public:
    std::string ToAnsi(std::u16string_view text) const override {
        if (text.empty()) return {};
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int n = WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
        return out;
    }

    std::u16string FromAnsi(std::string_view bytes, bool* valid) const override {
        if (valid != nullptr) {
            *valid = bytes.empty() ||
                     MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) > 0;
        }
        if (bytes.empty()) return {};
        const int n = MultiByteToWideChar(kCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(kCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
        return win32::FromWide(out);
    }
};

}  // namespace

std::unique_ptr<Codepage> MakeCp932Codepage() { return std::make_unique<Win32Cp932>(); }

}  // namespace qm
