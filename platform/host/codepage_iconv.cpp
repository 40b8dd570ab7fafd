// Code page 932 through iconv.
#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/codepage.h"
#include "platform/failure.h"

namespace qm {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw PlatformError(std::string("no conversion from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; returns the bytes consumed. Stops at the first invalid input.
    std::size_t Run(const char* in, std::size_t inSize, std::string& out) const {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::array<char, 4096> buffer{};
        auto* src = const_cast<char*>(in);
        std::size_t left = inSize;
        while (left > 0) {
            char* dst = buffer.data();
            std::size_t room = buffer.size();
            const std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer.data(), buffer.size() - room);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
        }
        return inSize - left;
    }

private:
    iconv_t cd_;
};

class IconvCp932 final : public Codepage {
public:
    IconvCp932() : toAnsi_("CP932", "UTF-16LE"), fromAnsi_("UTF-16LE", "CP932"), widths_(0x10000, 0) {}

    std::string ToAnsi(std::u16string_view text) const override {
        std::string out;
        out.reserve(text.size() * 2);
        std::size_t i = 0;
        while (i < text.size()) {
            // Plain ASCII runs need no conversion.
            if (text[i] < 0x80) {
                out.push_back(static_cast<char>(text[i]));
                ++i;
                continue;
            }
            // No character outside the basic plane exists in the code page, and the converter drops
            // some of them (the tag characters) without a word: a surrogate, paired or not, is one
            // character that becomes "?".
            if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
                out.push_back('?');
                const bool pair = text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
                i += pair ? 2 : 1;
                continue;
            }
            std::size_t j = i;
            while (j < text.size() && text[j] >= 0x80 && (text[j] < 0xD800 || text[j] > 0xDFFF)) ++j;
            const std::string wide = ToBytes(text.substr(i, j - i));
            std::size_t done = 0;
            while (done < wide.size()) {
                done += toAnsi_.Run(wide.data() + done, wide.size() - done, out);
                if (done < wide.size()) {
                    out.push_back('?');
                    // Skip the whole character: a surrogate pair is one character. A lone surrogate is
                    // one on its own, and the character after it stays.
                    const auto unitAt = [&](std::size_t at) {
                        return static_cast<char16_t>(static_cast<unsigned char>(wide[at]) |
                                                     (static_cast<unsigned char>(wide[at + 1]) << 8));
                    };
                    const char16_t unit = unitAt(done);
                    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && done + 4 <= wide.size() && unitAt(done + 2) >= 0xDC00 &&
                                      unitAt(done + 2) <= 0xDFFF;
                    done += pair ? 4 : 2;
                }
            }
            i = j;
        }
        return out;
    }

    std::u16string FromAnsi(std::string_view bytes, bool* valid) const override {
        std::u16string out;
        out.reserve(bytes.size());
        bool ok = true;
        std::size_t i = 0;
        std::string wide;
        while (i < bytes.size()) {
            if (static_cast<unsigned char>(bytes[i]) < 0x80) {
                out.push_back(static_cast<char16_t>(bytes[i]));
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) >= 0x80) {
                // A lead byte takes its trail byte along, whatever its value, so a run never splits a character.
                const auto b = static_cast<unsigned char>(bytes[j]);
                const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
                j += (lead && j + 1 < bytes.size()) ? 2 : 1;
            }
            wide.clear();
            std::size_t done = i;
            while (done < j) {
                done += fromAnsi_.Run(bytes.data() + done, j - done, wide);
                if (done < j) {
                    ok = false;
                    wide.push_back('\xFB');
                    wide.push_back('\x30');
                    ++done;
                }
            }
            for (std::size_t k = 0; k + 1 < wide.size(); k += 2) {
                out.push_back(static_cast<char16_t>(static_cast<unsigned char>(wide[k]) | (static_cast<unsigned char>(wide[k + 1]) << 8)));
            }
            i = j;
        }
        if (valid != nullptr) *valid = ok;
        return out;
    }

    std::size_t ByteLength(std::u16string_view text) const override {
        std::size_t total = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c < 0x80) {
                ++total;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                // No character outside the basic plane exists in the code page: it becomes "?".
                ++total;
                if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            } else {
                std::uint8_t& width = widths_[c];
                if (width == 0) width = static_cast<std::uint8_t>(ToAnsi(std::u16string_view(&c, 1)).size());
                total += width;
            }
        }
        return total;
    }

private:
    static std::string ToBytes(std::u16string_view text) {
        std::string wide;
        wide.reserve(text.size() * 2);
        for (const char16_t c : text) {
            wide.push_back(static_cast<char>(c & 0xFF));
            wide.push_back(static_cast<char>(c >> 8));
        }
        return wide;
    }

    Converter toAnsi_;
    Converter fromAnsi_;
    mutable std::vector<std::uint8_t> widths_;
};

}  // namespace

std::unique_ptr<Codepage> MakeCp932Codepage() { return std::make_unique<IconvCp932>(); }

}  // namespace qm
