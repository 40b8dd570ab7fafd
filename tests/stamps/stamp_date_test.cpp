#include "addin/stamps/stamp_date.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr LocalDateTime k19991201{1999, 12, 1, 9, 5, 7};

TEST(CreationDateText, RendersEveryCombination) {
    struct Case {
        std::int16_t head, separator, year, time;
        const char16_t* text;
    };
    const Case cases[] = {
        {1, 1, 1, 0, u"'99.12.01"}, {0, 0, 0, 1, u"19991201  09:05:07"}, {1, 2, 2, 0, u"'H11/12/01"}, {0, 3, 3, 0, u"H.11-12-01"},
        {0, 1, -1, 0, u".12.01"},   {-1, 9, 0, 0, u"19991201"},          {2, 0, 1, 2, u"991201"},  // codes outside the lists add nothing
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CreationDateText(c.head, c.separator, c.year, c.time, k19991201), c.text) << Utf16ToUtf8(c.text);
    }
}

TEST(CreationDateText, TheEraLetterIsThatOfTheDate) {
    struct Case {
        LocalDateTime date;
        std::int16_t year;
        const char16_t* text;
    };
    const Case cases[] = {
        {{2019, 4, 30}, 2, u"H31.04.30"},   {{2019, 5, 1}, 2, u"R01.05.01"},  {{2026, 12, 7}, 2, u"R08.12.07"},
        {{2026, 12, 7}, 3, u"R.08.12.07"},  {{1989, 1, 7}, 2, u"S64.01.07"},  {{1989, 1, 8}, 2, u"H01.01.08"},
        {{1926, 12, 25}, 3, u"S.01.12.25"}, {{1912, 7, 30}, 2, u"T01.07.30"}, {{1912, 7, 29}, 2, u"M45.07.29"},
        {{2005, 3, 4}, 0, u"2005.03.04"},   {{2005, 3, 4}, 1, u"05.03.04"},
    };
    for (const Case& c : cases) EXPECT_EQ(RenderStampDate(1, c.year, c.date), c.text) << Utf16ToUtf8(c.text);
}

TEST(FormatCreationDate, ReadsTheRowsRecord) {
    FormatModel model;
    model.ItemAttributes[3] = {0, 2, 0, 1, u"", u"", 0};
    EXPECT_EQ(FormatCreationDate(model, 3, k19991201), u"1999/12/01  09:05:07");
    EXPECT_EQ(FormatCreationDate(model, 31, k19991201), u"");
}

}  // namespace
}  // namespace qm::test
