#include "addin/settings/number_text.h"

#include <limits>

namespace qm {
namespace {

// The leading number rounded half to even, held within [low, high]. Worked on the digits themselves,
// so that neither a long run of digits nor a tiny fraction can overflow or underflow.
long long RoundedLeading(std::u16string_view text, long long low, long long high) {
    bool negative = false;
    bool sign = false;
    bool point = false;
    bool anyDigit = false;
    long long whole = 0;
    bool saturated = false;
    int firstFraction = -1;                            // the first digit after the point
    bool restNonZero = false;                          // any non-zero digit after it
    const long long limit = std::max(-low, high) + 1;  // beyond this, only the end of the range matters
    for (const char16_t c : text) {
        if (c == u' ') continue;
        if ((c == u'-' || c == u'+') && !sign && !anyDigit && !point) {
            sign = true;
            negative = c == u'-';
        } else if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            const int d = c - u'0';
            if (!point) {
                if (!saturated) {
                    whole = whole * 10 + d;
                    if (whole > limit) saturated = true;
                }
            } else if (firstFraction < 0) {
                firstFraction = d;
            } else if (d != 0) {
                restNonZero = true;
            }
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return 0;
    if (!saturated && firstFraction >= 0) {
        const bool up = firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2 == 1));
        if (up) ++whole;
    }
    if (saturated) return negative ? low : high;
    const long long value = negative ? -whole : whole;
    return value < low ? low : value > high ? high : value;
}

}  // namespace

std::int16_t ReadInt16(std::u16string_view text) {
    return static_cast<std::int16_t>(
        RoundedLeading(text, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t ReadInt32(std::u16string_view text) {
    return static_cast<std::int32_t>(
        RoundedLeading(text, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace qm
