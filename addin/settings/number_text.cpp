#include "addin/settings/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qm {

double LeadingNumber(std::u16string_view text) {
    std::string digits;
    bool sign = false;
    bool point = false;
    bool anyDigit = false;
    for (const char16_t c : text) {
        if (c == u' ') continue;
        if ((c == u'-' || c == u'+') && !sign && !anyDigit && !point) {
            sign = true;
            if (c == u'-') digits.push_back('-');
        } else if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            digits.push_back(static_cast<char>(c));
        } else if (c == u'.' && !point) {
            point = true;
            digits.push_back('.');
        } else {
            break;
        }
    }
    if (!anyDigit) return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::result_out_of_range) {
        return digits.front() == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    (void)end;
    return value;
}

namespace {
template <class Int>
Int RoundInto(double value) {
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
    if (rounded >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
    return static_cast<Int>(rounded);
}
}  // namespace

std::int16_t ReadInt16(std::u16string_view text) { return RoundInto<std::int16_t>(LeadingNumber(text)); }
std::int32_t ReadInt32(std::u16string_view text) { return RoundInto<std::int32_t>(LeadingNumber(text)); }

}  // namespace qm
