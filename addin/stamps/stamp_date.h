#pragma once
// Date and time texts of both stamps.
#include <cstdint>
#include <string>

#include "addin/settings/format_model.h"
#include "platform/clock.h"

namespace qm {

// The era in force on a date: its initial (M, T, S, H, R) and the year within it.
struct EraYear {
    char16_t initial;
    int year;
};
EraYear JapaneseEra(const LocalDateTime& date);

// Year text, separator, month, separator, day.
std::u16string RenderStampDate(std::int16_t separator, std::int16_t yearForm, const LocalDateTime& now);
// hh:mm:ss, 24-hour clock.
std::u16string TimeText(const LocalDateTime& now);
// The year as the year-form list shows it at position form (0 to 3).
std::u16string YearFormText(std::int16_t yearForm, const LocalDateTime& now);

// Head mark, date body, and two blanks and the time when asked for.
std::u16string CreationDateText(std::int16_t headMark, std::int16_t separator, std::int16_t yearForm, std::int16_t withTime,
                                const LocalDateTime& now);
// The creation-date text of a row of the item list, from its record.
std::u16string FormatCreationDate(const FormatModel& model, int row, const LocalDateTime& now);

}  // namespace qm
