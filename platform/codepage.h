#pragma once
// The Japanese ANSI code page (932) as the registry and the byte widths see it.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qm {

class Codepage {
public:
    virtual ~Codepage() = default;
    // Text to ANSI bytes; a character without an ANSI form becomes "?", as the system converts it.
    virtual std::string ToAnsi(std::u16string_view text) const = 0;
    // ANSI bytes to text; a byte sequence that is not valid becomes U+30FB and clears *valid.
    virtual std::u16string FromAnsi(std::string_view bytes, bool* valid = nullptr) const = 0;
    // Bytes the text takes in the code page: full-width 2, ASCII and half-width katakana 1.
    virtual std::size_t ByteLength(std::u16string_view text) const;
    // Whether every character has an ANSI form.
    virtual bool CanEncode(std::u16string_view text) const;
};

// The code page 932 backend of this platform.
std::unique_ptr<Codepage> MakeCp932Codepage();

}  // namespace qm
