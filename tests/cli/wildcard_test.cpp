// "*" and "?" in FILE arguments, as the command expands them on Windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/sources.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

TEST(Wildcard, MatchesAsWindowsNamesDo) {
    struct Case {
        const char16_t* pattern;
        const char16_t* name;
        bool matches;
    };
    const Case cases[] = {
        {u"*.bas", u"Module1.bas", true},
        {u"*.bas", u"Module1.BAS", true},
        {u"*.BAS", u"税計算.bas", true},
        {u"*.bas", u"Module1.basx", false},
        {u"*.bas", u".bas", true},
        {u"税*", u"税計算.bas", true},
        {u"?計算.bas", u"税計算.bas", true},
        {u"?.bas", u"ab.bas", false},
        {u"?.bas", u"\U0001F600.bas", true},  // one character, two UTF-16 units
        {u"m*1*.b?s", u"MODULE10.BAS", true},
        {u"*a*a*a*b", u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {u"ＡＢ*", u"ａｂｃ.bas", true},  // full-width letters, in either case
        {u"**", u"", true},
        {u"?", u"", false},
        {u"Tax.bas", u"tax.bas", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << Utf16ToUtf8(c.pattern) << " " << Utf16ToUtf8(c.name);
    }
}

TEST(Wildcard, ExpandsFilesAndFoldersInTheFormOfThePattern) {
    const fs::path root = fs::temp_directory_path() / ("qm-wildcard-" + std::to_string(getpid()));
    fs::remove_all(root);
    for (const char* file : {"給与/Tax.BAS", "給与/sub/a.bas", "給与/b.bas", "給与/c.cls", "経理/d.bas"}) {
        const fs::path path = root / fs::path(std::u8string(reinterpret_cast<const char8_t*>(file)));
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    fs::create_directories(root / "給与" / "folder.bas");
    const std::string base = root.string();
    struct Case {
        std::string pattern;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {base + "/給与/*.bas", {base + "/給与/b.bas", base + "/給与/Tax.BAS"}},  // files only, in the order of their names
        {base + "/*/?.bas", {base + "/経理/d.bas", base + "/給与/b.bas"}},       // 経 U+7D4C before 給 U+7D66
        {base + "/給与/*/*.BAS", {base + "/給与/sub/a.bas"}},
        {base + "/給与/*.frm", {}},
        {base + "/なし/*.bas", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandWildcards(c.pattern), c.found) << c.pattern;
    const fs::path here = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ(ExpandWildcards("給与/T*"), std::vector<std::string>{"給与/Tax.BAS"});  // relative stays relative
    fs::current_path(here);
    fs::remove_all(root);
}

}  // namespace
}  // namespace qm::cli
