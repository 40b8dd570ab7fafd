#include "addin/stamps/edit_stamp.h"

#include <gtest/gtest.h>

#include "platform/sim/text_code_module.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr LocalDateTime kNow{1999, 12, 1, 9, 5, 7};

FormatModel WithEditStamp(const char16_t* value) {
    FormatModel model;
    ParseEditStamp(value, model);
    return model;
}

TEST(BuildEditMarker, OpeningAndClosingLinesHaveTheSameWidth) {
    struct Case {
        const char16_t* settings;
        const char16_t* opening;
        std::size_t bytes;
    };
    const Case cases[] = {
        {u"1,1,1,1,1,名前", u"'------<名前 '99.12.01 09:05:07>------", 38}, {u"0,1,1,1,1,担当", u"'------<担当>------", 19},
        {u"1,0,3,0,0,名前", u"'------<名前 1999-12-01>------", 0},          {u"1,-1,1,1,0,名前", u"'------<名前99.12.01>------", 0},
        {u"1,1,0,2,1,ﾔﾏﾀﾞ", u"'------<ﾔﾏﾀﾞ 'H111201 09:05:07>------", 0},   {u"1,1,1,1,1,", u"'------< '99.12.01 09:05:07>------", 0},
    };
    for (const Case& c : cases) {
        const FormatModel model = WithEditStamp(c.settings);
        const StampContext context{model, kNow, Cp932()};
        const std::u16string opening = BuildEditMarker(0, context);
        EXPECT_EQ(opening, c.opening) << Utf16ToUtf8(c.settings);
        const std::size_t width = Cp932().ByteLength(opening);
        if (c.bytes != 0) {
            EXPECT_EQ(width, c.bytes);
        }
        EXPECT_EQ(BuildEditMarker(1, context), u"'" + std::u16string(width - 1, u'-')) << Utf16ToUtf8(c.settings);
    }
}

TEST(PreviewEditMarker, JoinsBothLinesWithTwoCarriageReturns) {
    const FormatModel model = WithEditStamp(u"1,1,1,1,1,名前");
    EXPECT_EQ(PreviewEditMarker({model, kNow, Cp932()}), u"'------<名前 '99.12.01 09:05:07>------\r\r'" + std::u16string(37, u'-'));
}

TEST(BlockIndent, TheLeastIndentedLineWins) {
    struct Case {
        const char16_t* block;
        std::size_t indent;
    };
    const Case cases[] = {
        {u"        a\r\n    b\r\n            c", 4},
        {u"    a\r\n\r\n    b", 0},    // an empty line
        {u"    a\r\n\tb", 0},          // a tab
        {u"    a\r\n  \r\n    b", 2},  // a line of blanks is measured like any other
        {u"    a\r\n  ", 4},           // ... unless it is the last line
        {u"x", 0},
        {u"", 0},
        {u"   ", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(BlockIndent(c.block), c.indent) << Utf16ToUtf8(c.block);
}

class EditStampCommand : public ::testing::Test {
protected:
    EditStampCommand() {
        std::vector<std::u16string> lines;
        for (int i = 1; i <= 30; ++i) lines.push_back(u"        line" + DecimalText(i));
        lines[10] = u"    line11";
        module_ = std::make_unique<ide::TextCodeModule>(lines);
        pane_ = std::make_unique<ide::TextCodePane>(*module_);
    }
    void Mark(ide::Selection selection) {
        pane_->SetSelection(selection);
        RunEditStamp(*pane_, StampContext{model_, kNow, Cp932()});
    }
    std::u16string Line(int n) { return module_->Lines(n, 1); }

    FormatModel model_ = WithEditStamp(u"1,1,1,1,1,名前");
    std::unique_ptr<ide::TextCodeModule> module_;
    std::unique_ptr<ide::TextCodePane> pane_;
};

TEST_F(EditStampCommand, ACaretMarksItsLine) {
    Mark({20, 5, 20, 5});
    EXPECT_EQ(Line(20), u"        '------<名前 '99.12.01 09:05:07>------");
    EXPECT_EQ(Line(21), u"        line20");
    EXPECT_EQ(Line(22), u"        '" + std::u16string(37, u'-'));
    EXPECT_EQ(pane_->GetSelection(), (ide::Selection{21, 5, 21, 5}));
}

TEST_F(EditStampCommand, ASelectionEndingInColumnOneLeavesThatLineOut) {
    Mark({10, 1, 13, 1});
    EXPECT_EQ(Line(10).substr(0, 12), u"    '------<");  // line11 is the least indented
    EXPECT_EQ(Line(11), u"        line10");
    EXPECT_EQ(Line(13), u"        line12");
    EXPECT_EQ(Line(14).substr(0, 6), u"    '-");
    EXPECT_EQ(Line(15), u"        line13");
    EXPECT_EQ(pane_->GetSelection(), (ide::Selection{11, 1, 14, 1}));
}

TEST(EditStampSelection, WhichLinesTheBlockHolds) {
    struct Case {
        ide::Selection selection;
        int closingLine;  // where the closing marker lands
    };
    const Case cases[] = {
        {{10, 3, 12, 1}, 13},                        // lines 10 and 11
        {{10, 3, 12, 2}, 14},                        // lines 10 to 12
        {{5, 1, 5, 1}, 7},                           // a caret in column 1 stands for its line
        {{1, 1, 1, 9}, 3},    {{29, 4, 30, 4}, 32},  // the last line: the closing marker is appended
    };
    const FormatModel model = WithEditStamp(u"0,1,1,1,1,担当");
    for (const Case& c : cases) {
        std::vector<std::u16string> lines;
        for (int i = 1; i <= 30; ++i) lines.push_back(u"  line" + DecimalText(i));
        ide::TextCodeModule module(lines);
        ide::TextCodePane pane(module);
        pane.SetSelection(c.selection);
        RunEditStamp(pane, StampContext{model, kNow, Cp932()});
        const std::string where = std::to_string(c.selection.startLine) + "-" + std::to_string(c.selection.endLine);
        EXPECT_EQ(module.Lines(c.selection.startLine, 1), u"  '------<担当>------") << where;
        EXPECT_EQ(module.Lines(c.closingLine, 1), u"  '" + std::u16string(18, u'-')) << where;
        EXPECT_EQ(module.Lines(c.closingLine - 1, 1), u"  line" + DecimalText(c.closingLine - 2)) << where;
        EXPECT_EQ(module.CountOfLines(), 32) << where;
    }
}

TEST_F(EditStampCommand, AReadOnlyModuleStillMovesTheSelection) {
    module_->SetReadOnly(true);
    Mark({3, 2, 4, 6});
    EXPECT_EQ(module_->CountOfLines(), 30);
    EXPECT_EQ(pane_->GetSelection(), (ide::Selection{4, 2, 5, 6}));
}

}  // namespace
}  // namespace qm::test
