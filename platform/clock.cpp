#include "platform/clock.h"

#include <ctime>

namespace qm {
namespace {

bool ReadDigits(std::string_view text, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > text.size()) return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

#ifndef _WIN32  // Windows asks the system (win32/clock_win32.cpp)
LocalDateTime SystemClock::Now() const {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}
#endif

std::optional<LocalDateTime> ParseDateTime(std::string_view text) {
    LocalDateTime t;
    if (text.size() != 10 && text.size() != 19) return std::nullopt;
    if (!ReadDigits(text, 0, 4, t.year) || text[4] != '-' || !ReadDigits(text, 5, 2, t.month) || text[7] != '-' ||
        !ReadDigits(text, 8, 2, t.day)) {
        return std::nullopt;
    }
    if (text.size() == 19) {
        if ((text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, t.hour) || text[13] != ':' ||
            !ReadDigits(text, 14, 2, t.minute) || text[16] != ':' || !ReadDigits(text, 17, 2, t.second)) {
            return std::nullopt;
        }
    }
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 ||
        t.second > 59) {
        return std::nullopt;
    }
    return t;
}

}  // namespace qm
