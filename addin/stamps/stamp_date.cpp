#include "addin/stamps/stamp_date.h"

#include "platform/text.h"

namespace qm {
namespace {

std::u16string TwoDigits(int value) {
    std::u16string out = DecimalText(value);
    if (out.size() < 2) out.insert(out.begin(), u'0');
    return out;
}

std::u16string FourDigits(int value) {
    std::u16string out = DecimalText(value);
    while (out.size() < 4) out.insert(out.begin(), u'0');
    return out;
}

int DateKey(int y, int m, int d) { return y * 10000 + m * 100 + d; }

}  // namespace

EraYear JapaneseEra(const LocalDateTime& date) {
    struct Era {
        int start;
        char16_t initial;
        int firstYear;
    };
    // First days of the eras, as the system's Japanese calendar counts them.
    static const Era eras[] = {
        {DateKey(2019, 5, 1), u'R', 2019},  {DateKey(1989, 1, 8), u'H', 1989}, {DateKey(1926, 12, 25), u'S', 1926},
        {DateKey(1912, 7, 30), u'T', 1912}, {DateKey(1868, 9, 8), u'M', 1868},
    };
    const int key = DateKey(date.year, date.month, date.day);
    for (const Era& era : eras) {
        if (key >= era.start) return {era.initial, date.year - era.firstYear + 1};
    }
    return {u'M', date.year - 1867};
}

std::u16string YearFormText(std::int16_t yearForm, const LocalDateTime& now) {
    switch (yearForm) {
        case 0:
            return FourDigits(now.year);
        case 1:
            return TwoDigits(now.year % 100);
        case 2:
        case 3: {
            const EraYear era = JapaneseEra(now);
            std::u16string out(1, era.initial);
            if (yearForm == 3) out += u".";
            return out + TwoDigits(era.year);
        }
        default:
            return {};
    }
}

std::u16string RenderStampDate(std::int16_t separator, std::int16_t yearForm, const LocalDateTime& now) {
    std::u16string sep;
    switch (separator) {
        case 1:
            sep = u".";
            break;
        case 2:
            sep = u"/";
            break;
        case 3:
            sep = u"-";
            break;
        default:
            break;
    }
    return YearFormText(yearForm, now) + sep + TwoDigits(now.month) + sep + TwoDigits(now.day);
}

std::u16string TimeText(const LocalDateTime& now) {
    return TwoDigits(now.hour) + u":" + TwoDigits(now.minute) + u":" + TwoDigits(now.second);
}

std::u16string CreationDateText(std::int16_t headMark, std::int16_t separator, std::int16_t yearForm, std::int16_t withTime,
                                const LocalDateTime& now) {
    std::u16string out = headMark == 1 ? u"'" : u"";
    out += RenderStampDate(separator, yearForm, now);
    if (withTime == 1) out += u"  " + TimeText(now);
    return out;
}

std::u16string FormatCreationDate(const FormatModel& model, int row, const LocalDateTime& now) {
    if (row < 0 || static_cast<std::size_t>(row) >= kMaxItemRows) return {};
    const ItemAttribute& a = model.ItemAttributes[static_cast<std::size_t>(row)];
    return CreationDateText(a.Attr1, a.Attr2, a.Attr3, a.Attr4, now);
}

}  // namespace qm
