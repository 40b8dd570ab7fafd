#pragma once
// Numbers as the registry stores them (32 bits, little-endian), and hexadecimal digits.
#include <array>
#include <cstdint>
#include <string_view>

namespace qm {

inline std::array<std::uint8_t, 4> PackLe32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

// bytes holds at least four bytes.
inline std::uint32_t UnpackLe32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 | static_cast<std::uint32_t>(bytes[2]) << 16 |
           static_cast<std::uint32_t>(bytes[3]) << 24;
}
inline std::uint32_t UnpackLe32(std::string_view bytes) { return UnpackLe32(reinterpret_cast<const unsigned char*>(bytes.data())); }

// The lower-case hexadecimal digit of the lowest four bits, and the value of a digit (-1: none).
inline char16_t HexDigit(unsigned value) { return u"0123456789abcdef"[value & 15]; }
inline int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace qm
