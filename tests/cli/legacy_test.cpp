// quillmark on a team's existing code: stamps that claim no dates or authors, files that are no VB6
// source left alone, review by diff and by patch, stamps kept true to their declarations, and a
// command line that answers a mistake with what was meant.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::Result;

// Items 関数名, 引数 (names, なし when none), 戻り値 (なし when none), 作成日, 作成者.
const std::string kStore =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n"
    "\"FixedFormList\"=\"0,2,3,4,5\"\r\n"
    "\"SelectDatas\"=\"[0,0,0,0,0,][1,0,1,0,0,][2,1,0,0,0,][3,1,1,1,1,][4,0,0,0,0,Sato]\"\r\n";

const std::string kModule =
    "Attribute VB_Name = \"Tax\"\r\n"                                                // 1
    "Option Explicit\r\n"                                                            // 2
    "\r\n"                                                                           // 3
    "Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long\r\n"  // 4
    "    AddTax = price * (1 + rate)\r\n"                                            // 5
    "End Function\r\n";                                                              // 6

class Legacy : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("adoption");
        store_ = Put("settings.reg", kStore);
    }
    Result Run(const std::string& args) {
        const auto space = args.find(' ');
        return Quillmark(args.substr(0, space) + " --settings '" + store_ + "'" + args.substr(space));
    }
    std::string store_;
};

TEST_F(Legacy, UndatedStampsLeaveTheDateAndTheAuthorEmpty) {
    const std::string path = Put("Tax.bas", kModule);
    const Result dated = Run("stamp Tax.bas --all --now '1999-12-01 09:05:07'");
    ASSERT_EQ(dated.status, 0) << dated.err;
    EXPECT_NE(dated.out.find(": Sato\r\n"), std::string::npos) << dated.out;
    EXPECT_NE(dated.out.find(": '99.12.01"), std::string::npos) << dated.out;

    const Result undated = Run("stamp Tax.bas --all --undated --now '1999-12-01 09:05:07'");
    ASSERT_EQ(undated.status, 0) << undated.err;
    EXPECT_EQ(undated.out.find("Sato"), std::string::npos);
    EXPECT_EQ(undated.out.find("99"), std::string::npos);
    // The same lines, the two values cut off after ": ".
    EXPECT_EQ(std::count(undated.out.begin(), undated.out.end(), '\n'), std::count(dated.out.begin(), dated.out.end(), '\n'));
    EXPECT_NE(undated.out.find("\x8d\xec\x90\xac\x8e\xd2\x81\x40: \r\n"), std::string::npos);  // 作成者　:
    EXPECT_EQ(qm::ReadWholeFile(path), kModule);
    // The button's own stamp through --line takes it too.
    const Result line = Run("stamp Tax.bas --line 5 --undated --now '1999-12-01 09:05:07'");
    EXPECT_EQ(line.out, undated.out);
}

TEST_F(Legacy, FilesThatAreNoSourceAreRefusedByEveryCommand) {
    struct File {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const File files[] = {
        {"Binary.frm", "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\n" + std::string(64, '\0') + "Sub S()\r\nEnd Sub\r\n",
         "not a VB6 source file: it holds NUL bytes (line 4)"},
        {"Utf8.bas", "Sub S()\r\n    ' \xe5\xa4\x89\xe6\x95\xb0\r\nEnd Sub\r\n",  // 変数 in UTF-8, and valid code page 932
         "--encoding utf-8"},
    };
    for (const File& f : files) {
        const std::string path = Put(f.name, f.bytes);
        for (const std::string& command :
             {"stamp " + std::string(f.name) + " --all --write", "stamp " + std::string(f.name) + " --line 1 --write",
              "mark " + std::string(f.name) + " --from 1 --write", "refresh " + std::string(f.name) + " --write",
              "check " + std::string(f.name)}) {
            const Result r = Run(command);
            EXPECT_EQ(r.status, command.rfind("check", 0) == 0 ? 2 : 1) << command << ": " << r.err;
            EXPECT_NE(r.err.find(f.message), std::string::npos) << command << ": " << r.err;
            EXPECT_EQ(r.out, "") << command;
            EXPECT_EQ(qm::ReadWholeFile(path), f.bytes) << command;
        }
    }
    // Said outright, either encoding is taken.
    const Result confirmed = Run("stamp Utf8.bas --all --encoding cp932");
    EXPECT_EQ(confirmed.status, 0) << confirmed.err;
    EXPECT_EQ(Run("stamp Utf8.bas --all --encoding utf-8 --write").status, 0);
    EXPECT_NE(Read("Utf8.bas").find("@(f)"), std::string::npos);
    Put("Plain.bas", "Sub S()\r\nEnd Sub\r\n");
    EXPECT_EQ(Run("stamp Plain.bas --all --write").status, 0);
    Put("Sjis.bas", "Sub S()\r\n    ' \x90\xc5\r\nEnd Sub\r\n");  // 税
    EXPECT_EQ(Run("stamp Sjis.bas --all --write").status, 0);
}

TEST_F(Legacy, ReturnValueLinesFollowTheDeclaration) {
    Put("Tax.bas", kModule);
    const std::string stamped = Run("stamp Tax.bas --all --undated").out;
    Put("Stale.bas", stamped);
    ASSERT_EQ(Run("stamp Stale.bas --all --undated").out, stamped);
    struct Case {
        const char* what;
        std::string from;  // in the stamped file
        std::string to;
        const char* finding;  // empty: none
        bool mended;          // refresh makes the line again
    };
    const std::string kFunction = "Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long";
    const std::string kSub = "Public Sub AddTax(ByVal price As Long, ByVal rate As Double)";
    const std::string kReturn = "' \x96\xdf\x82\xe8\x92\x6c\x81\x40: ";  // ' 戻り値　:
    const std::string kNone = "\x82\xc8\x82\xb5";                        // なし
    const Case cases[] = {
        {"a Function that says なし", kReturn + "\r\n", kReturn + kNone + "\r\n",
         "return value says \xe3\x81\xaa\xe3\x81\x97, but the Function returns a value", true},
        {"a Sub with nothing where the format writes なし", kFunction, kSub, "return value is empty, but the Sub returns nothing", true},
        {"a Sub with a person's text", kFunction + "\r\n", kSub + "\r\n", "", false},
        {"a Function as stamped", "", "", "", false},
    };
    for (const Case& c : cases) {
        std::string text = stamped;
        if (!c.from.empty()) text.replace(text.find(c.from), c.from.size(), c.to);
        if (std::string(c.what) == "a Sub with a person's text") {
            text.replace(text.find(kReturn + "\r\n"), kReturn.size() + 2, kReturn + "Long - \x8b\xe0\x8a\x7a\r\n");  // 金額
        }
        Put("Stale.bas", text);
        const Result check = Run("check Stale.bas");
        const Result json = Run("check Stale.bas --format json");
        const Result refresh = Run("refresh Stale.bas --write");
        ASSERT_EQ(refresh.status, 0) << c.what << ": " << refresh.err;
        const Result again = Run("check Stale.bas");
        if (std::string(c.what) == "a Sub with a person's text") {
            // Kept, and said so by both.
            EXPECT_EQ(check.status, 1) << c.what;
            EXPECT_NE(check.out.find("but the Sub returns nothing"), std::string::npos) << check.out;
            EXPECT_NE(refresh.err.find("kept as written"), std::string::npos) << refresh.err;
            EXPECT_NE(Read("Stale.bas").find("Long - \x8b\xe0\x8a\x7a"), std::string::npos);
            continue;
        }
        if (std::string(c.finding).empty()) {
            EXPECT_EQ(check.status, 0) << c.what << ": " << check.out;
            EXPECT_EQ(Read("Stale.bas"), text) << c.what;
            continue;
        }
        EXPECT_EQ(check.status, 1) << c.what;
        EXPECT_NE(check.out.find(c.finding), std::string::npos) << c.what << ": " << check.out;
        EXPECT_NE(json.out.find("\"rule\": \"return-value-differs\""), std::string::npos) << json.out;
        EXPECT_EQ(again.status, 0) << c.what << ": " << again.out;
    }
}

TEST_F(Legacy, AnArgumentRenamedInPlaceKeepsItsDescriptionAndTheLinesThatContinueIt) {
    Put("Tax.bas", kModule);
    const std::string stamped = Run("stamp Tax.bas --all --undated").out;
    const std::string kPrice = "price -";
    const std::string kRate = "rate  -";
    struct Case {
        const char* what;
        std::string declaration;
        bool priceKept;  // the note of price (or its place) is still there
        bool rateKept;
    };
    const Case cases[] = {
        {"renamed in place", "(ByVal cost As Long, ByVal rate As Double)", true, true},
        {"both renamed", "(ByVal cost As Long, ByVal ratio As Double)", true, true},
        {"reordered", "(ByVal rate As Double, ByVal price As Long)", true, true},
        {"one more", "(ByVal cost As Long, ByVal rate As Double, ByVal n As Long)", false, true},
        {"one fewer", "(ByVal rate As Double)", false, true},
    };
    for (const Case& c : cases) {
        std::string text = stamped;
        // The description of price goes on over a second line.
        const std::string kMore = " NET\r\n'                   (yen)";
        text.replace(text.find(kPrice), kPrice.size(), kPrice + kMore);
        text.replace(text.find(kRate), kRate.size(), kRate + " RATIO");
        const std::string old = "(ByVal price As Long, ByVal rate As Double)";
        text.replace(text.find(old), old.size(), c.declaration);
        Put("Renamed.bas", text);
        const Result r = Run("refresh Renamed.bas --write");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string after = Read("Renamed.bas");
        EXPECT_EQ(after.find(kMore) != std::string::npos, c.priceKept) << c.what << "\n" << after;
        EXPECT_EQ(after.find("(yen)") != std::string::npos, c.priceKept) << c.what << "\n" << after;
        EXPECT_EQ(after.find(" RATIO") != std::string::npos, c.rateKept) << c.what << "\n" << after;
        EXPECT_EQ(Run("check Renamed.bas").status, 0) << c.what;
        // A second refresh finds nothing left to do.
        EXPECT_EQ(Run("refresh Renamed.bas --write").status, 0);
        EXPECT_EQ(Read("Renamed.bas"), after) << c.what;
    }
}

TEST_F(Legacy, APatchAppliesWithGitAndWithPatch) {
    // A repository with a Japanese folder name holding a blank, a code page 932 module with CR LF and
    // no line end at its end, and an LF one.
    const std::string module = kModule + "Private Sub Helper()\r\nEnd Sub";
    Put("repo/src/\xe7\xa8\x8e \xe8\xa8\x88\xe7\xae\x97/Tax.bas", module);
    Put("repo/src/Lf.bas", "Sub A()\nEnd Sub\n");
    const std::string git =
        "cd '" + (dir_ / "repo").string() + "' && git init -q && git add . && git -c user.name=t -c user.email=t@t commit -qm 0";
    ASSERT_EQ(std::system((git + " >/dev/null 2>&1").c_str()), 0);
    // From a folder below the top, as from the top: the names are the top's.
    const Result patch = Quillmark(
        "stamp --settings '" + store_ +
            "' --now '1999-12-01 09:05:07' --all --module-header --patch \xe7\xa8\x8e\\ \xe8\xa8\x88\xe7\xae\x97/Tax.bas ../src/Lf.bas",
        "repo/src");
    ASSERT_EQ(patch.status, 0) << patch.err;
    EXPECT_NE(patch.out.find("--- a/src/Lf.bas\n+++ b/src/Lf.bas\n"), std::string::npos) << patch.out;
    EXPECT_NE(patch.out.find("--- \"a/src/\xe7\xa8\x8e \xe8\xa8\x88\xe7\xae\x97/Tax.bas\"\n"), std::string::npos) << patch.out;
    EXPECT_NE(patch.out.find("\x8a\xd6\x90\x94\x96\xbc\x81\x40: AddTax\r\n"), std::string::npos);  // 関数名　: in code page 932
    Put("change.patch", patch.out);
    ASSERT_EQ(
        Quillmark("stamp --settings '" + store_ + "' --now '1999-12-01 09:05:07' --all --module-header --write src/*/Tax.bas src/Lf.bas",
                  "repo")
            .status,
        0);
    const std::string wantTax = Read("repo/src/\xe7\xa8\x8e \xe8\xa8\x88\xe7\xae\x97/Tax.bas");
    const std::string wantLf = Read("repo/src/Lf.bas");
    ASSERT_NE(wantTax, module);
    const std::string top = "cd '" + (dir_ / "repo").string() + "' && ";
    for (const char* apply : {"git apply --whitespace=nowarn ../change.patch", "patch -s -p1 < ../change.patch"}) {
        ASSERT_EQ(std::system((top + "git checkout -q . && " + std::string(apply) + " >/dev/null 2>&1").c_str()), 0) << apply;
        EXPECT_EQ(Read("repo/src/\xe7\xa8\x8e \xe8\xa8\x88\xe7\xae\x97/Tax.bas"), wantTax) << apply;
        EXPECT_EQ(Read("repo/src/Lf.bas"), wantLf) << apply;
    }
    // The diff for reading says the same in UTF-8.
    const Result diff = Quillmark("stamp --settings '" + store_ + "' --all --diff src/Lf.bas", "repo");
    EXPECT_EQ(diff.out, "");
}

TEST_F(Legacy, TheCommandLineAnswersAMistakeWithWhatWasMeant) {
    Put("Tax.bas", kModule);
    struct Case {
        std::string args;
        int status;
        const char* err;  // found on standard error
    };
    const Case cases[] = {
        {"chek Tax.bas", 2, "no command \"chek\"; the nearest is \"check\""},
        {"stmap Tax.bas", 2, "the nearest is \"stamp\""},
        {"stamp Tax.bas --al", 2, "no option --al; the nearest is --all"},
        {"check Tax.bas --publc-only", 2, "the nearest is --public-only"},
        {"check Tax.bas --write", 2, "an option that does not apply here: --write"},
        {"help chek", 2, "the nearest is \"check\""},
        {"stamp Tax.bas --all --write --diff", 2, "--write and --diff go one at a time"},
        {"refresh Tax.bas --write --patch", 2, "--write and --patch go one at a time"},
        {"mark Tax.bas --from 5 --diff --patch", 2, "--diff and --patch go one at a time"},
        {"", 2, "Subcommands:"},
    };
    for (const Case& c : cases) {
        const Result r = c.args.empty() ? Quillmark("") : Quillmark(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(Read("Tax.bas"), kModule) << c.args;
    }
    EXPECT_EQ(Quillmark("help").status, 0);
}

TEST_F(Legacy, StampingAProcedureThatHasAStampSaysSo) {
    Put("Tax.bas", kModule);
    const Result first = Run("stamp Tax.bas --line 5 --write --author Sato");
    ASSERT_EQ(first.status, 0);
    EXPECT_EQ(first.err, "quillmark: 1 file changed, 1 stamp added\n");  // nothing about a stamp already there
    const std::string once = Read("Tax.bas");
    const Result second = Run("stamp Tax.bas --line 18 --write");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("Tax.bas: AddTax has a stamp already (line 4); a second one was put below it"), std::string::npos)
        << second.err;
    EXPECT_EQ(Read("Tax.bas").size(), once.size() + (once.size() - kModule.size()));
}

}  // namespace
