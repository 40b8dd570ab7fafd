// quillmark doc as a user runs it: what the site, the JSON and the Markdown pages hold, that no text
// of the code can run in a page, and that the output folder is replaced whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "cli/doc_model.h"
#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::Result;

// UTF-8 files, so that the tests read as they are written.
const std::string kTax =
    "Attribute VB_Name = \"Tax\"\r\n"                                // hidden
    "' @(h) Tax.bas  ver 1.0 ( '24.04.01 山田 )\r\n"                 // 1
    "' @(s)\r\n"                                                     // 2
    "' 消費税の計算\r\n"                                             // 3
    "Option Explicit\r\n"                                            // 4
    "\r\n"                                                           // 5
    "' @(f)\r\n"                                                     // 6
    "' 関数名　: AddTax\r\n"                                         // 7
    "' 機能　　: 消費税を加えた金額を返す。端数は RoundDown で\r\n"  // 8
    "' 引数　　: price - 税抜きの金額\r\n"                           // 9
    "' 　　　　  rate  - 税率\r\n"                                   // 10
    "Public Function AddTax(ByVal price As Long, _\r\n"              // 11
    "                       ByVal rate As Double) As Long\r\n"       // 12
    "'------<山田 '24.06.10>------\r\n"                              // 13
    "    AddTax = RoundDown(price * (1 + rate))\r\n"                 // 14
    "'----------------------------\r\n"                              // 15
    "End Function\r\n"                                               // 16
    "\r\n"                                                           // 17
    "Private Function RoundDown(ByVal value As Double) As Long\r\n"  // 18
    "    RoundDown = Fix(value) ' not AddTax\r\n"                    // 19
    "End Function\r\n"                                               // 20
    "\r\n"                                                           // 21
    "Public Property Get Rate() As Double\r\n"                       // 22
    "    Rate = 0.1\r\n"                                             // 23
    "End Property\r\n";                                              // 24

const std::string kHelpers =
    "Attribute VB_Name = \"Helpers\"\r\n"
    "Private Sub Hidden()\r\n"
    "    Debug.Print \"AddTax\"\r\n"
    "End Sub\r\n";

class Doc : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("doc");
        settings_ = Put("settings.reg", "REGEDIT4\r\n\r\n");
    }
    Result Run(const std::string& args) {
        return Quillmark("doc --settings '" + settings_ + "' --now '2026-12-08 10:00:00' --encoding utf-8 " + args);
    }
    std::string Project(const std::string& extra = "") {
        Put("p/Tax.bas", kTax);
        Put("p/Helpers.bas", kHelpers);
        return Put("p/Demo.vbp", "Type=Exe\r\nModule=Tax; Tax.bas\r\nModule=Helpers; Helpers.bas\r\n" + extra + "Name=\"Demo\"\r\n");
    }
    // Every file the command wrote, one after the other.
    std::string All(const std::string& folder) {
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(dir_ / folder)) {
            if (entry.is_regular_file()) all += qm::ReadWholeFile(entry.path().string());
        }
        return all;
    }
    std::string settings_;
};

TEST_F(Doc, TheSiteHasAnIndexAPagePerProjectAndModuleAndEverythingItNeeds) {
    const Result r = Run("'" + Project() + "' --output site");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file : {"index.html", "projects/Demo.vbp.html", "modules/Tax.bas.html", "modules/Helpers.bas.html",
                             "assets/quillmark.css", "assets/search.js", "assets/search-index.js"}) {
        EXPECT_TRUE(fs::is_regular_file(dir_ / "site" / file)) << file;
    }
    const std::string index = Read("site/index.html");
    EXPECT_NE(index.find("Demo"), std::string::npos);
    EXPECT_NE(index.find("消費税の計算"), std::string::npos);  // the header's line
    EXPECT_NE(index.find("Wek Quillmark for VB6 Ver1.0 · 2026-12-08 10:00"), std::string::npos);

    const std::string page = Read("site/modules/Tax.bas.html");
    // Stable anchors, declarations joined, the file's own lines.
    EXPECT_NE(page.find("id=\"AddTax\""), std::string::npos);
    EXPECT_NE(page.find("id=\"Rate-get\""), std::string::npos);
    EXPECT_NE(page.find("Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long"), std::string::npos);
    EXPECT_NE(page.find("行 12<"), std::string::npos);
    // Items, arguments, a name in the text linked, the edit record with its lines.
    EXPECT_NE(page.find("<td><code>price</code></td><td>税抜きの金額</td>"), std::string::npos);
    EXPECT_NE(page.find("端数は <a href=\"#RoundDown\">RoundDown</a> で"), std::string::npos);
    EXPECT_NE(page.find("<td>山田</td><td>&#39;24.06.10</td><td class=\"num\">15</td>"), std::string::npos);
    EXPECT_NE(page.find("スタンプなし"), std::string::npos);
    // Calls found in the code, not in strings or comments.
    EXPECT_NE(page.find("呼び出し先: <a href=\"#RoundDown\">RoundDown</a>"), std::string::npos);
    EXPECT_NE(page.find("呼び出し元: <a href=\"#AddTax\">AddTax</a>"), std::string::npos);
    EXPECT_EQ(Read("site/modules/Helpers.bas.html").find("呼び出し先"), std::string::npos);
    // Nothing comes from outside the folder.
    const std::string all = All("site");
    EXPECT_EQ(all.find("http://"), all.find("http://www.w3.org/2000/svg"));
    EXPECT_EQ(all.find("https://"), std::string::npos);
    EXPECT_NE(Read("site/assets/search-index.js").find("消費税を加えた金額を返す"), std::string::npos);
}

TEST_F(Doc, NoTextOfTheCodeRunsInAPage) {
    const std::string hostile =
        "Attribute VB_Name = \"<script>alert(1)</script>\"\r\n"
        "' @(h) x.bas ver 1.0 ( '99.12.01 \" onmouseover=\"alert(2) )\r\n"
        "' @(s)\r\n"
        "' <img src=x onerror=alert(3)>\r\n"
        "Option Explicit\r\n"
        "' @(f)\r\n"
        "' 機能 : <script>alert(4)</script>\r\n"
        "' \" onmouseover=\"alert(5) : x\r\n"
        "' 引数 : a - ' onfocus='alert(6)\r\n"
        "Public Sub Run(ByVal a As String)\r\n"
        "'------<</script><script>alert(7)</script> '99.12.01>------\r\n"
        "    a = \"</script>\"\r\n"
        "'--------------------------------------------------\r\n"
        "End Sub\r\n";
    const std::string file = Put("h/x.bas", hostile);
    // JSON carries the texts as data; the site and the pages show them as text.
    for (const char* format : {"html", "markdown"}) {
        SCOPED_TRACE(format);
        const std::string out = std::string("out-") + format;
        const Result r = Run("'" + file + "' --format " + format + " --output " + out);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string all = All(out);
        EXPECT_EQ(all.find("<script>alert"), std::string::npos);
        EXPECT_EQ(all.find("<img"), std::string::npos);
        EXPECT_EQ(all.find("\" onmouseover=\""), std::string::npos);
        EXPECT_EQ(all.find("' onfocus='"), std::string::npos);
    }
    EXPECT_NE(Read("out-html/modules/x.bas.html").find("&lt;script&gt;alert(4)&lt;/script&gt;"), std::string::npos);
    ASSERT_EQ(Run("'" + file + "' --format json --output out-json").status, 0);
    EXPECT_NE(Read("out-json/quillmark-doc.json").find("\"value\": \"<script>alert(4)</script>\""), std::string::npos);
}

TEST_F(Doc, APageHoldsEachIdOnceWhateverItsProceduresAreNamed) {
    // Procedures named like the parts of a page, under a header and with an edit record, so that every
    // part is there.
    const std::string file = Put("ids/Parts.bas",
                                 "Attribute VB_Name = \"Parts\"\r\n"
                                 "' @(h) Parts.bas ver 1.0 ( '24.04.01 山田 )\r\n"
                                 "' @(s)\r\n"
                                 "' 部品\r\n"
                                 "Option Explicit\r\n"
                                 "Public Sub q()\r\n"
                                 "'------<山田 '24.06.10>------\r\n"
                                 "    results\r\n"
                                 "'----------------------------\r\n"
                                 "End Sub\r\n"
                                 "Public Sub results()\r\nEnd Sub\r\n"
                                 "Public Sub edits()\r\nEnd Sub\r\n"
                                 "Public Sub procedures()\r\nEnd Sub\r\n"
                                 "Public Sub search()\r\nEnd Sub\r\n");
    const Result r = Run("'" + file + "' --output site");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = Read("site/modules/Parts.bas.html");
    std::set<std::string> ids;
    for (std::size_t at = page.find(" id=\""); at != std::string::npos; at = page.find(" id=\"", at + 1)) {
        const std::size_t from = at + 5;
        const std::string id = page.substr(from, page.find('"', from) - from);
        EXPECT_TRUE(ids.insert(id).second) << "twice: " << id;
    }
    for (const char* name : {"q", "results", "edits", "procedures", "search"}) {
        EXPECT_EQ(ids.count(name), 1U) << name;
        EXPECT_NE(page.find(std::string("<li><a href=\"#") + name + "\">"), std::string::npos) << name;
    }
    EXPECT_NE(page.find("呼び出し先: <a href=\"#results\">results</a>"), std::string::npos);
    EXPECT_NE(Read("site/assets/search-index.js").find("Parts.bas.html#q\""), std::string::npos);
}

TEST_F(Doc, TheJsonHoldsWhatTheSiteShows) {
    const Result r = Run("'" + Project() + "' --format json --output json");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string json = Read("json/quillmark-doc.json");
    for (const char* expected : {
             "\"name\": \"Demo\"",
             "\"header\": {\"title\": \"Tax.bas  ver 1.0 ( '24.04.01 山田 )\", \"file\": \"Tax.bas\", \"version\": \"1.0\", \"date\": "
             "\"'24.04.01\", \"author\": \"山田\"",
             "\"edits\": [{\"editor\": \"山田\", \"date\": \"'24.06.10\", \"firstLine\": 15, \"lastLine\": 15}]",
             "\"name\": \"AddTax\",\n              \"kind\": \"Function\",\n              \"scope\": \"Public\",\n              \"line\": "
             "12,",
             "{\"name\": \"引数\", \"value\": \"price - 税抜きの金額\\nrate  - 税率\", \"arguments\": [{\"name\": \"price\", "
             "\"description\": "
             "\"税抜きの金額\"}, {\"name\": \"rate\", \"description\": \"税率\"}]}",
             "\"calls\": [{\"module\": \"Tax\", \"name\": \"RoundDown\", \"kind\": \"Function\"}]",
             "\"anchor\": \"Rate-get\"",
             "\"stamp\": null",
         }) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected;
    }
}

TEST_F(Doc, PublicOnlyLeavesOutPrivateProceduresAndModulesWithNothingElse) {
    const Result r = Run("'" + Project() + "' --public-only --format json --output json");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string json = Read("json/quillmark-doc.json");
    EXPECT_EQ(json.find("RoundDown\","), std::string::npos);  // the procedure, and every call to it
    EXPECT_EQ(json.find("Helpers"), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"AddTax\""), std::string::npos);
    EXPECT_NE(json.find("\"publicOnly\": true"), std::string::npos);
}

TEST_F(Doc, MarkdownHasAPagePerModule) {
    const Result r = Run("'" + Project() + "' --format markdown --output md");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string index = Read("md/README.md");
    EXPECT_NE(index.find("[Tax](Tax.bas.md)"), std::string::npos);
    const std::string page = Read("md/Tax.bas.md");
    EXPECT_NE(page.find("### AddTax \\(Function\\)"), std::string::npos);
    EXPECT_NE(page.find("```vb\nPublic Function AddTax("), std::string::npos);
    EXPECT_NE(page.find("  - price — 税抜きの金額"), std::string::npos);
    EXPECT_NE(page.find("呼び出し先: [RoundDown](#rounddown-function)"), std::string::npos);
}

TEST_F(Doc, UnreadableMembersAreListedAndTheRestIsDocumented) {
    Put("p/Broken.bas", "Attribute VB_Name = \"Broken\"\r\nSub A()\xff\xfe\r\nEnd Sub\r\n");
    const Result r = Run("'" + Project("Module=Missing; Missing.bas\r\nModule=Broken; Broken.bas\r\n") + "' --output site");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Missing.bas"), std::string::npos);
    EXPECT_NE(r.err.find("Broken.bas"), std::string::npos);
    const std::string index = Read("site/index.html");
    EXPECT_NE(index.find("読めません"), std::string::npos);
    EXPECT_NE(index.find("Missing.bas"), std::string::npos);
    EXPECT_NE(index.find("Broken"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "site/modules/Tax.bas.html"));
}

TEST_F(Doc, AFileOfTwoProjectsIsListedUnderEachWithOnePageThatShowsTheCallersOfBoth) {
    const std::string demo = Project();
    Put("q/Billing.bas",
        "Attribute VB_Name = \"Billing\"\r\n"
        "Public Sub Bill()\r\n"
        "    Debug.Print AddTax(100, 0.1)\r\n"
        "End Sub\r\n");
    // The other project names the same file by another way.
    const std::string other =
        Put("q/Other.vbp", "Type=Exe\r\nModule=Tax; ..\\p\\Tax.bas\r\nModule=Billing; Billing.bas\r\nName=\"Other\"\r\n");
    const Result r = Run("'" + demo + "' '" + other + "' --output site");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "site/modules/Tax.bas.html"));
    int pages = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_ / "site/modules")) ++pages;
    EXPECT_EQ(pages, 3);  // Tax, Helpers, Billing
    for (const char* project : {"site/projects/Demo.vbp.html", "site/projects/Other.vbp.html"}) {
        EXPECT_NE(Read(project).find("href=\"../modules/Tax.bas.html\""), std::string::npos) << project;
    }
    const std::string page = Read("site/modules/Tax.bas.html");
    EXPECT_NE(page.find("呼び出し元: <a href=\"../modules/Billing.bas.html#Bill\">Billing.Bill</a></p>"), std::string::npos);
    // A caller both projects see is shown once.
    const std::string once = "呼び出し元: <a href=\"#AddTax\">AddTax</a></p>";
    EXPECT_NE(page.find(once), std::string::npos);
    EXPECT_EQ(page.find(once), page.rfind(once));
    EXPECT_NE(Read("site/modules/Billing.bas.html").find("呼び出し先: <a href=\"../modules/Tax.bas.html#AddTax\">Tax.AddTax</a>"),
              std::string::npos);
    // Found once by the search, and each project's own calls in the JSON.
    const std::string search = Read("site/assets/search-index.js");
    EXPECT_EQ(search.find("{\"n\":\"AddTax\""), search.rfind("{\"n\":\"AddTax\""));
    ASSERT_EQ(Run("'" + demo + "' '" + other + "' --output json --format json").status, 0);
    const std::string json = Read("json/quillmark-doc.json");
    EXPECT_NE(json.find("\"calledBy\": [{\"module\": \"Billing\", \"name\": \"Bill\", \"kind\": \"Sub\"}]"), std::string::npos);
    ASSERT_EQ(Run("'" + demo + "' '" + other + "' --output md --format markdown").status, 0);
    EXPECT_NE(Read("md/Tax.bas.md").find("呼び出し元: [Billing\\.Bill](Billing.bas.md#bill-sub)\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "md/Tax.bas-2.md"));
}

TEST_F(Doc, EachFileIsReadWithTheFormatOfItsOwnTeamFile) {
    // Folder a's team puts the arguments under a custom item; folder b's team has no such item.
    for (const char* folder : {"a", "b"}) {
        Put(std::string(folder) + "/.quillmark.reg", "REGEDIT4\r\n\r\n");
        Put(std::string(folder) + "/M" + folder + ".bas", std::string("Attribute VB_Name = \"M") + folder +
                                                              "\"\r\n' @(f)\r\n' パラメータ: price - 金額\r\nPublic Function F" + folder +
                                                              "(ByVal price As Long) As Long\r\nEnd Function\r\n");
    }
    for (const char* setting :
         {"CustomFormList '[パラメータ,2]'", "FixedFormList 0,1", "SelectDatas '[0,0,0,0,0,][1,0,0,0,0,][2,0,0,0,0,]'"}) {
        ASSERT_EQ(Quillmark(std::string("settings set --settings a/.quillmark.reg ") + setting).status, 0) << setting;
    }
    const Result r = Quillmark("doc a/Ma.bas b/Mb.bas --encoding utf-8 --output site");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Read("site/modules/Ma.bas.html").find("<dt>パラメータ</dt><dd><table class=\"args\"><tbody><tr><td><code>price</code></td>"),
              std::string::npos);
    EXPECT_NE(Read("site/modules/Mb.bas.html").find("<dt>パラメータ</dt><dd>price - 金額</dd>"), std::string::npos);
}

TEST_F(Doc, AFolderOfOtherFilesIsRefusedUnlessForcedAndItsOwnIsReplacedWhole) {
    const std::string project = Project();
    Put("site/mine.txt", "keep me");
    Result r = Run("'" + project + "' --output site");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--force"), std::string::npos);
    EXPECT_EQ(Read("site/mine.txt"), "keep me");
    EXPECT_FALSE(fs::exists(dir_ / "site/index.html"));

    r = Run("'" + project + "' --output site --force");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "site/mine.txt"));
    // Its own output is replaced without --force, and nothing of the old one stays.
    Put("site/modules/Old.bas.html", "old");
    r = Run("'" + project + "' --output site");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "site/modules/Old.bas.html"));
    EXPECT_TRUE(fs::exists(dir_ / "site/index.html"));
    // Nothing is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
    r = Run("'" + project + "' --output site/");
    ASSERT_EQ(r.status, 0) << r.err;
    int after = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++after;
    EXPECT_EQ(after, entries);

    // A file in its place, and wrong usage.
    Put("file", "x");
    EXPECT_EQ(Run("'" + project + "' --output file").status, 1);
    EXPECT_EQ(Read("file"), "x");
    EXPECT_EQ(Run("'" + project + "' --output x --format pdf").status, 2);
    EXPECT_EQ(Run("'" + project + "'").status, 2);
    EXPECT_EQ(Run("'" + project + "' --output .").status, 2);
}

// The model keeps each stamp packed; what comes out must be what went in, to the last unit.
TEST(PackedStamp, GivesBackTheStampAsRead) {
    using qm::ReadItem;
    using qm::ReadStamp;
    const std::u16string longText(70000, u'税');  // longer than 16 bits can count
    std::vector<ReadStamp> stamps(5);
    stamps[1].text = {{3, u""}, {4, u"人が書き足した行"}};
    stamps[2].items = {ReadItem{u"機能", {u"一行目", u"", u"三行目 \U0001F600"}, {}, false, 2, 4}};
    stamps[3].items = {ReadItem{u"引数", {u"a - 金額"}, {{u"a", u"金額\n続き"}, {u"ARG2", u""}}, true, 5, 7},
                       ReadItem{u"", {}, {}, false, 0, 0}};
    stamps[4].items = {ReadItem{u"備考", {longText, std::u16string(1, u'\0')}, {}, false, -1, 2147483647}};
    stamps[4].text = {{-5, longText}};
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        SCOPED_TRACE(i);
        const ReadStamp& in = stamps[i];
        const ReadStamp out = qm::cli::doc::PackedStamp(in).Unpack();
        ASSERT_EQ(out.items.size(), in.items.size());
        for (std::size_t k = 0; k < in.items.size(); ++k) {
            EXPECT_EQ(out.items[k].name, in.items[k].name);
            EXPECT_EQ(out.items[k].values, in.items[k].values);
            ASSERT_EQ(out.items[k].arguments.size(), in.items[k].arguments.size());
            for (std::size_t a = 0; a < in.items[k].arguments.size(); ++a) {
                EXPECT_EQ(out.items[k].arguments[a].name, in.items[k].arguments[a].name);
                EXPECT_EQ(out.items[k].arguments[a].description, in.items[k].arguments[a].description);
            }
            EXPECT_EQ(out.items[k].listsArguments, in.items[k].listsArguments);
            EXPECT_EQ(out.items[k].firstLine, in.items[k].firstLine);
            EXPECT_EQ(out.items[k].lastLine, in.items[k].lastLine);
        }
        ASSERT_EQ(out.text.size(), in.text.size());
        for (std::size_t k = 0; k < in.text.size(); ++k) {
            EXPECT_EQ(out.text[k].line, in.text[k].line);
            EXPECT_EQ(out.text[k].text, in.text[k].text);
        }
    }
    EXPECT_TRUE(qm::cli::doc::PackedStamp().Unpack().items.empty());
}

}  // namespace
