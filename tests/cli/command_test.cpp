// The quillmark command as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::Result;

// The store and the clock go right after the command's name, where every command takes them (the
// clock only where dates are made).
std::string WithOptions(const std::string& args, const std::string& settings) {
    const auto space = args.find(' ');
    const std::string command = args.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : args.substr(space);
    const bool dates = command == "stamp" || command == "mark" || command == "refresh" || command == "preview";
    return command + " --settings '" + settings + "'" + (dates ? " --now '1999-12-01 09:05:07'" : "") + rest;
}

class Command : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("cli");
        // A named store must exist: an empty one reads as the add-in's defaults.
        settings_ = Put("settings.reg", "REGEDIT4\r\n\r\n");
    }
    Result Run(const std::string& args) { return Quillmark(WithOptions(args, settings_)); }

    std::string settings_;
};

const std::string kModule =
    "Attribute VB_Name = \"Module1\"\r\n"                                            // 1
    "Option Explicit\r\n"                                                            // 2
    "\r\n"                                                                           // 3
    "Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long\r\n"  // 4
    "    AddTax = price * (1 + rate)\r\n"                                            // 5
    "End Function\r\n";                                                              // 6

std::string Ruler() { return "'" + std::string(78, '-'); }

TEST_F(Command, StampsAProcedureAndWritesTheFileOnlyWhenAsked) {
    const std::string path = Put("Module1.bas", kModule);
    const Result r = Run("stamp '" + path + "' --line 5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, kModule.find("Public")), kModule.substr(0, kModule.find("Public")));
    EXPECT_NE(r.out.find("\r\n" + Ruler() + "\r\n' @(f)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\r\n'\r\n" + Ruler() + "\r\nPublic Function AddTax"), std::string::npos);
    EXPECT_EQ(qm::ReadWholeFile(path), kModule);

    ASSERT_EQ(Run("stamp '" + path + "' --line 5 --write").status, 0);
    EXPECT_EQ(qm::ReadWholeFile(path), r.out);
}

TEST_F(Command, TheHiddenHeaderCountsAsTheDeclarations) {
    const std::string path = Put("Module1.bas", kModule);
    const Result r = Run("stamp '" + path + "' --line 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 31), "Attribute VB_Name = \"Module1\"\r\n");
    EXPECT_EQ(r.out.substr(31, 81), Ruler() + "\r\n");
    EXPECT_NE(r.out.find("' @(h) Module1.bas" + std::string(17, ' ') + "ver 1.0 ( '99.12.01 USERNAME )\r\n"), std::string::npos);
}

TEST_F(Command, MarksASelection) {
    const std::string path = Put("Module1.bas", kModule);
    const Result r = Run("mark '" + path + "' --from 5:5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n    '------<\x96\xbc\x91\x4f '99.12.01 09:05:07>------\r\n    AddTax = price * (1 + rate)\r\n    '" +
                         std::string(37, '-') + "\r\nEnd Function\r\n"),
              std::string::npos)
        << r.out;
}

// The environment reads an attribute only directly under its declaration: inserted lines never come
// between a declaration and its hidden attribute lines.
TEST_F(Command, InsertedLinesKeepAttributesUnderTheirDeclarations) {
    const std::string cls =
        "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1\r\nEND\r\n"  // 1-4
        "Attribute VB_Name = \"Items\"\r\n"                         // 5
        "Option Explicit\r\n"                                       // 6
        "\r\n"                                                      // 7
        "Private WithEvents m_T As Timer\r\n"                       // 8
        "Attribute m_T.VB_VarHelpID = -1\r\n"                       // 9
        "Public Property Get Item(ByVal i As Long) As Variant\r\n"  // 10
        "Attribute Item.VB_UserMemId = 0\r\n"                       // 11
        "Attribute Item.VB_Description = \"The item\"\r\n"          // 12
        "    Item = i\r\n"                                          // 13
        "End Property\r\n";                                         // 14
    const std::string path = Put("Items.cls", cls);
    // Each line that is no marker or stamp line, with the lines inserted in front of it counted.
    const auto layout = [](const std::string& out) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < out.size()) {
            const auto end = out.find("\r\n", start);
            lines.push_back(out.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    };
    const auto follows = [&](const std::vector<std::string>& lines, const std::string& line, const std::string& next) {
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i] == line) return lines[i + 1] == next;
        }
        return false;
    };
    struct Case {
        std::string args;
        std::vector<std::pair<std::string, std::string>> adjacent;  // lines that must stay together
    };
    const Case cases[] = {
        {"mark '" + path + "' --from 8", {{"Private WithEvents m_T As Timer", "Attribute m_T.VB_VarHelpID = -1"}}},
        {"mark '" + path + "' --from 13:5",
         {{"Public Property Get Item(ByVal i As Long) As Variant", "Attribute Item.VB_UserMemId = 0"},
          {"Attribute Item.VB_UserMemId = 0", "Attribute Item.VB_Description = \"The item\""}}},
        {"stamp '" + path + "' --line 13",
         {{"Private WithEvents m_T As Timer", "Attribute m_T.VB_VarHelpID = -1"},
          {"Public Property Get Item(ByVal i As Long) As Variant", "Attribute Item.VB_UserMemId = 0"}}},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        const auto lines = layout(r.out);
        EXPECT_GT(lines.size(), 14u) << c.args;
        for (const auto& [line, next] : c.adjacent) EXPECT_TRUE(follows(lines, line, next)) << c.args << ": " << line << "\n" << r.out;
    }
    // The marks still wrap what they were asked to: the closing line after the attribute, in front of
    // the next declaration; the opening line after the attributes, in front of the first body line.
    const auto mark8 = layout(Run("mark '" + path + "' --from 8").out);
    for (std::size_t i = 0; i < mark8.size(); ++i) {
        if (mark8[i] == "Attribute m_T.VB_VarHelpID = -1") {
            ASSERT_LT(i + 2, mark8.size());
            EXPECT_EQ(mark8[i + 1].rfind("'---", 0), 0u) << mark8[i + 1];
            EXPECT_EQ(mark8[i + 2], "Public Property Get Item(ByVal i As Long) As Variant");
        }
    }
    const auto mark13 = layout(Run("mark '" + path + "' --from 13:5").out);
    for (std::size_t i = 0; i < mark13.size(); ++i) {
        if (mark13[i] == "    Item = i") {
            ASSERT_GT(i, 1u);
            EXPECT_EQ(mark13[i - 1].rfind("    '---", 0), 0u) << mark13[i - 1];
            EXPECT_EQ(mark13[i - 2], "Attribute Item.VB_Description = \"The item\"");
        }
    }
}

TEST_F(Command, BadInputGetsAMessageAndLeavesTheFileAlone) {
    const std::string path = Put("Module1.bas", kModule);
    const std::string bad = Put("Bad.bas", "Sub A()\r\n\x82\r\nEnd Sub\r\n");
    struct Case {
        std::string args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"stamp '" + path + "' --line 7", 1, "there is no line 7: the file has lines 1 to 6"},
        {"stamp '" + path + "' --line 0", 1, "there is no line 0: the file has lines 1 to 6"},
        {"stamp '" + path + "'", 2, "give either --line N (one FILE) or --all"},
        {"stamp '" + (dir_ / "missing.bas").string() + "' --line 1", 1, "missing.bas: cannot read"},
        {"stamp '" + bad + "' --line 1 --write", 1, "line 2: bytes that are not valid in code page 932"},
        {"mark '" + path + "' --from 5 --to 4", 2, "--to must not come before --from"},
        {"mark '" + path + "' --from 1", 1, "hidden header"},
        {"mark '" + path + "' --from 5:x", 2, "--from column"},
        {"stamp '" + path + "' --line 2 --encoding latin1", 2, "--encoding must be cp932 or utf-8"},
        {"frobnicate", 2, "frobnicate"},
        {"settings set ToolBarPosition left", 1, "holds a whole number"},
        {"settings set NoSuchThing 1", 1, "is not a setting"},
        {"settings import '" + path + "'", 1, "not a registry file"},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
    EXPECT_EQ(qm::ReadWholeFile(path), kModule);
    EXPECT_EQ(qm::ReadWholeFile(bad), "Sub A()\r\n\x82\r\nEnd Sub\r\n");
}

TEST_F(Command, ABrokenStoreIsReportedAndNeverOverwritten) {
    const std::string broken = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=dword:xyz\r\n";
    Put("settings.reg", broken);
    const std::string path = Put("Module1.bas", kModule);
    const Result r = Run("stamp '" + path + "' --line 5");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("settings.reg:4:"), std::string::npos) << r.err;
    EXPECT_EQ(qm::ReadWholeFile(settings_), broken);
}

TEST_F(Command, SettingsCanBeReadWrittenExportedAndImported) {
    Result r = Run("settings get EditStamp");
    EXPECT_EQ(r.out, "1,1,1,1,1,名前\n");
    ASSERT_EQ(Run("settings set EditStamp '0,0,0,0,0,担当'").status, 0);
    ASSERT_EQ(Run("settings set ToolBarPosition 0").status, 0);
    r = Run("settings list");
    EXPECT_NE(r.out.find("EditStamp\ttext\t0,0,0,0,0,担当\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ToolBarPosition\tnumber\t0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("LoadBehavior\tnumber\t2\n"), std::string::npos) << r.out;
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "0\n");

    const std::string exported = (dir_ / "export.reg").string();
    ASSERT_EQ(Run("settings export '" + exported + "'").status, 0);
    const std::string text = qm::ReadWholeFile(exported);
    EXPECT_EQ(text.substr(0, 12), "REGEDIT4\r\n\r\n");
    EXPECT_NE(text.find("\"EditStamp\"=\"0,0,0,0,0,\x92\x53\x93\x96\"\r\n"), std::string::npos);

    // A named store is a team's format file: reset lays down the format values only, and keeps the
    // file as it was beside it.
    ASSERT_EQ(Run("settings reset").status, 0);
    EXPECT_EQ(Run("settings get EditStamp").out, "1,1,1,1,1,名前\n");
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "0\n");
    EXPECT_NE(qm::ReadWholeFile(settings_ + ".bak").find("\"EditStamp\"=\"0,0,0,0,0,\x92\x53\x93\x96\""), std::string::npos);
    ASSERT_EQ(Run("settings import '" + exported + "'").status, 0);
    EXPECT_EQ(Run("settings get EditStamp").out, "0,0,0,0,0,担当\n");
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "0\n");

    // The next mark uses the stored format.
    const std::string path = Put("Module1.bas", kModule);
    r = Run("mark '" + path + "' --from 5");
    EXPECT_NE(r.out.find("    '------<\x92\x53\x93\x96>------\r\n"), std::string::npos);
}

TEST_F(Command, PreviewShowsBothStamps) {
    const Result r = Run("preview");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("' 関数名\xE3\x80\x80: AddTax\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    '------<名前 '99.12.01 09:05:07>------\n"), std::string::npos) << r.out;
}

TEST_F(Command, TheShippedExampleStampsWithTheDefaultFormat) {
    const Result r = Run(std::string("stamp '") + QUILLMARK_EXAMPLES + "/Module1.bas' --line 7");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("' @(f)"), std::string::npos);
}

}  // namespace
