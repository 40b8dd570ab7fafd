// quillmark for a team: whole files and projects stamped once, checked, refreshed; a shared format
// file; a command line that says what it does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::Result;

class Team : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("team");
        std::filesystem::create_directories(dir_ / "project" / "src");
        Put(".quillmark.reg", "REGEDIT4\r\n\r\n");
    }

    // Runs in the project's folder, below the team file, with the user's own store elsewhere.
    Result Run(const std::string& args, const std::string& env = "") { return Quillmark(args, "project", env); }
};

const std::string kModule =
    "Attribute VB_Name = \"Module1\"\r\n"
    "Option Explicit\r\n"
    "\r\n"
    "Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long\r\n"
    "    AddTax = price\r\n"
    "End Function\r\n"
    "Private Sub Helper()\r\n"
    "End Sub\r\n";

TEST_F(Team, StampAllStampsWhatHasNoStampOnce) {
    Put("project/src/Module1.bas", kModule);
    const Result first = Run("stamp src/Module1.bas --all --module-header --write --now '2026-12-08 10:00:00'");
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string once = Read("project/src/Module1.bas");
    EXPECT_NE(once.find("' @(h) Module1.bas"), std::string::npos);
    EXPECT_NE(once.find("@(f)"), once.rfind("@(f)"));  // both procedures
    // The second run changes nothing.
    ASSERT_EQ(Run("stamp src/Module1.bas --all --module-header --write --now '2030-01-01 00:00:00'").status, 0);
    EXPECT_EQ(Read("project/src/Module1.bas"), once);
    const Result diff = Run("stamp src/Module1.bas --all --module-header --diff");
    EXPECT_EQ(diff.status, 0);
    EXPECT_EQ(diff.out, "");
    // The team file was read, never written.
    EXPECT_EQ(Read(".quillmark.reg"), "REGEDIT4\r\n\r\n");
}

TEST_F(Team, CheckListsWhatIsMissingOrStale) {
    Put("project/src/Module1.bas", kModule);
    Result r = Run("check src/Module1.bas --module-header");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "src/Module1.bas:2: (module): no module header\n"
              "src/Module1.bas:4: AddTax: no stamp\n"
              "src/Module1.bas:7: Helper: no stamp\n");
    EXPECT_EQ(Run("check src/Module1.bas --public-only").out, "src/Module1.bas:4: AddTax: no stamp\n");
    ASSERT_EQ(Run("stamp src/Module1.bas --all --write").status, 0);
    r = Run("check src/Module1.bas");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    // The procedure is renamed and an argument replaced: the stamp no longer fits.
    std::string text = Read("project/src/Module1.bas");
    text.replace(text.find("Public Function AddTax(ByVal price As Long, ByVal rate"), 54,
                 "Public Function AddVat(ByVal price As Long, ByVal tax ");
    Put("project/src/Module1.bas", text);
    r = Run("check src/Module1.bas");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(": AddVat: stamp names AddTax\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": AddVat: arguments differ: stamp price, rate; declaration price, tax\n"), std::string::npos) << r.out;
    EXPECT_EQ(Read("project/src/Module1.bas"), text);  // check writes nothing
}

TEST_F(Team, RefreshRemakesNameAndArgumentsAndKeepsWhatWasWritten) {
    Put("project/src/Module1.bas", kModule);
    ASSERT_EQ(Run("stamp src/Module1.bas --all --write").status, 0);
    std::string text = Read("project/src/Module1.bas");
    // What the user wrote: a purpose, and the meaning of both arguments.
    const auto put = [&](const std::string& from, const std::string& to) {
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    put("price -\r\n", "price - net\r\n");
    put("rate  -\r\n", "rate  - percent\r\n");
    put("Public Function AddTax(ByVal price As Long, ByVal rate As Double)",
        "Public Function AddVat(ByVal price As Long, ByVal tax As Double, ByVal rate As Double)");
    Put("project/src/Module1.bas", text);
    ASSERT_EQ(Run("refresh src/Module1.bas --write").status, 0);
    const std::string refreshed = Read("project/src/Module1.bas");
    EXPECT_NE(refreshed.find(": AddVat\r\n"), std::string::npos);
    EXPECT_NE(refreshed.find(": price - net\r\n"), std::string::npos);
    EXPECT_NE(refreshed.find("tax   -\r\n"), std::string::npos);
    EXPECT_NE(refreshed.find("rate  - percent\r\n"), std::string::npos);
    EXPECT_EQ(Run("check src/Module1.bas").status, 0);
    // A stamp that is current is left byte for byte.
    ASSERT_EQ(Run("refresh src/Module1.bas --write").status, 0);
    EXPECT_EQ(Read("project/src/Module1.bas"), refreshed);
}

TEST_F(Team, ProjectsNameTheirModulesAndOnlySourceFilesAreWritten) {
    Put("project/src/Module1.bas", kModule);
    Put("project/App.vbp", "Type=Exe\r\nModule=Module1; src\\Module1.bas\r\nClass=Gone; src\\Gone.cls\r\nStartup=\"Sub Main\"\r\n");
    const Result r = Run("check App.vbp");
    EXPECT_EQ(r.status, 2);  // a member that is missing wins over the finding
    EXPECT_NE(r.out.find("src/Module1.bas:4: AddTax: no stamp"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("App.vbp: names src/Gone.cls, which does not exist"), std::string::npos) << r.err;
    const Result project = Run("stamp App.vbp --line 1 --write");
    EXPECT_EQ(project.status, 1);  // the missing member is reported, the module stamped
    EXPECT_NE(Read("project/src/Module1.bas").find("@(h)"), std::string::npos);
    EXPECT_EQ(Read("project/App.vbp").find("@(h)"), std::string::npos);
    const Result notes = Run("stamp ../.quillmark.reg --all --write");
    EXPECT_EQ(notes.status, 1);
    EXPECT_NE(notes.err.find("not a VB6 source file"), std::string::npos);
    EXPECT_EQ(Run("check -").status, 2);
    // A module that two projects share is checked once.
    Put("project/Tool.vbp", "Module=Module1; src/Module1.bas\r\n");
    const Result shared = Run("check App.vbp Tool.vbp src/Module1.bas --public-only");
    EXPECT_EQ(std::count(shared.out.begin(), shared.out.end(), '\n'), 1) << shared.out;
}

TEST_F(Team, TheTeamFileIsFoundAboveAndPersonalNamesComeFirst) {
    Put("project/src/Module1.bas", kModule);
    ASSERT_EQ(Run("settings set SelectDatas '[0,0,0,0,0,][1,0,0,0,0,][2,0,1,0,0,][3,1,0,0,0,]'").status, 0);
    ASSERT_EQ(Run("settings set FixedFormList 0,1,2,3,5").status, 0);
    ASSERT_EQ(Run("settings set SelectDatas '[0,0,0,0,0,][4,0,0,0,0,チーム]'").status, 0);
    EXPECT_NE(Read(".quillmark.reg").find("FixedFormList"), std::string::npos);
    EXPECT_NE(Run("stamp src/Module1.bas --line 5").out.find("\x83\x60\x81\x5B\x83\x80"), std::string::npos);        // チーム
    EXPECT_NE(Run("stamp src/Module1.bas --line 5 --author 山田").out.find("\x8E\x52\x93\x63"), std::string::npos);  // 山田
    EXPECT_NE(Run("stamp src/Module1.bas --line 5", "QUILLMARK_AUTHOR=山田").out.find("\x8E\x52\x93\x63"), std::string::npos);
    EXPECT_NE(Run("mark src/Module1.bas --from 5 --editor 鈴木").out.find("\x97\xE9\x96\xD8"), std::string::npos);  // 鈴木
    // A named file that does not exist is an error, never created.
    const Result missing = Run("check src/Module1.bas --settings nowhere.reg");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("no such settings file"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "project" / "nowhere.reg"));
}

TEST_F(Team, SettingsAreCheckedAsTheWizardChecksThem) {
    struct Case {
        std::string name, value, message;
    };
    const Case cases[] = {
        {"ExtendValue", "40,1,78,-", "30以上の数値は入力できません。"},
        {"ExtendValue", "1,1,5000,-", "1000文字以上の結果になる数値は入力できません。"},
        {"SelectDatas", "garbage", "not in the stored form"},
        {"SelectDatas", "[9,0,0,0,0,]", "names a row the items do not have"},
        {"SelectDatas", "[0,0,0,0,0,]x", "not in the stored form"},
        {"CustomFormList", "[ABC,5]", "全角以外の文字は使用できません。"},
    };
    for (const Case& c : cases) {
        const Result r = Run("settings set " + c.name + " '" + c.value + "'");
        EXPECT_EQ(r.status, 1) << c.value;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.value << ": " << r.err;
    }
    EXPECT_EQ(Run("settings set --force ExtendValue 40,1,78,-").status, 0);
    EXPECT_EQ(Run("settings get ExtendValue").out, "40,1,78,-\n");
    const Result show = Run("settings show");
    EXPECT_EQ(show.status, 0);
    EXPECT_NE(show.out.find("indent 40"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("@(f)"), std::string::npos);
}

TEST_F(Team, TheCommandLineSaysWhatItDoes) {
    struct Case {
        std::string args;
        int status;
        std::string out;  // found on standard output
        std::string err;  // found on standard error
    };
    const Case cases[] = {
        {"--help", 0, "Subcommands:", ""},
        {"help stamp", 0, "--all", ""},
        {"stamp --help", 0, "--module-header", ""},
        {"--version", 0, "quillmark 1.0", ""},
        {"check src/x.bas --write", 2, "", "quillmark check: an option that does not apply here: --write"},
        {"preview --line 3", 2, "", "quillmark preview:"},
        {"stamp", 2, "", "Run \"quillmark help stamp\""},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args << ": " << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
        if (c.status == 2) {
            EXPECT_LT(std::count(r.err.begin(), r.err.end(), '\n'), 3) << c.args << ": " << r.err;  // no usage block
        }
    }
}

}  // namespace
