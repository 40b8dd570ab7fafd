// check's findings for machines: JSON and SARIF that any reader takes, whatever the names hold, and
// the status that tells "found something" from "could not look".
#include "cli/findings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace {

using qm::cli::Finding;
using qm::test::Result;

// What python3's json module makes of the text ("" when it refuses it): the checks run in a reader
// that is not ours.
std::string ReadBack(const std::string& json, const std::string& expression) {
    const std::string path = testing::TempDir() + "qm-findings-" + std::to_string(getpid()) + ".json";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(json.data(), 1, json.size(), f);
    std::fclose(f);
    const std::string command = "python3 -c 'import json,sys; d=json.load(open(sys.argv[1], encoding=\"utf-8\")); print(" + expression +
                                ", end=\"\")' '" + path + "' 2>/dev/null";
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

TEST(Findings, JsonHoldsAnyTextAndReadsBackAsIt) {
    struct Case {
        std::string text;
        std::string readBack;  // as Python prints it with ascii()
    };
    const Case cases[] = {
        {"plain", "'plain'"},
        {"quote \" and backslash \\", "'quote \" and backslash \\\\'"},
        {"line\r\nbreak\ttab", "'line\\r\\nbreak\\ttab'"},
        {"esc\x1b[2J del\x7f nul" + std::string(1, '\0'), "'esc\\x1b[2J del\\x7f nul\\x00'"},
        {"税計算.bas", "'\\u7a0e\\u8a08\\u7b97.bas'"},
        {"cp932 \x90\xc5 bytes", "'cp932 \\ufffd\\ufffd bytes'"},  // not UTF-8: each byte a replacement
        {"half \xe7\xa8", "'half \\ufffd\\ufffd'"},                // a character cut short
        {"sep\xe2\x80\xa8", "'sep\\u2028'"},
        {"astral \xf0\xa0\x80\x8b", "'astral \\U0002000b'"},
    };
    for (const Case& c : cases) {
        const std::vector<Finding> findings = {{c.text, 3, c.text, "no-stamp", c.text}};
        EXPECT_EQ(ReadBack(qm::cli::FindingsJson(findings), "ascii(d[0][\"file\"])"), c.readBack);
        EXPECT_EQ(ReadBack(qm::cli::FindingsSarif(findings, "1.0"), "ascii(d[\"runs\"][0][\"results\"][0][\"message\"][\"text\"])"),
                  c.readBack.substr(0, c.readBack.size() - 1) + ": " + c.readBack.substr(1));
    }
    EXPECT_EQ(ReadBack(qm::cli::FindingsJson({}), "len(d)"), "0");
    EXPECT_EQ(ReadBack(qm::cli::FindingsSarif({}, "1.0"), "len(d[\"runs\"][0][\"results\"])"), "0");
}

TEST(Findings, JsonStringsEscapeWhatWouldEndAScriptLine) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"line\r\n\t", "\"line\\r\\n\\t\""},
        {"\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
        {"sep\xe2\x80\xa8para\xe2\x80\xa9", "\"sep\\u2028para\\u2029\""},
        {"<&'税", "\"<&'税\""},
        {"\xff", "\"\\ufffd\""},
    };
    for (const auto& c : cases) EXPECT_EQ(qm::cli::JsonString(c.text), c.json) << c.json;
}

TEST(Findings, PathsBecomeUriReferences) {
    EXPECT_EQ(qm::cli::PathUri("src/Module1.bas"), "src/Module1.bas");
    EXPECT_EQ(qm::cli::PathUri("src\\My Module.bas"), "src/My%20Module.bas");
    EXPECT_EQ(qm::cli::PathUri("税.bas"), "%E7%A8%8E.bas");
    EXPECT_EQ(qm::cli::PathUri("C:\\a#b?.bas"), "C%3A/a%23b%3F.bas");
}

class CheckForMachines : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("check");
        Put(".quillmark.reg", "REGEDIT4\r\n\r\n");
    }
};

TEST_F(CheckForMachines, StatusAndFormats) {
    const std::string module = "Attribute VB_Name = \"M\"\r\nPublic Sub A()\r\nEnd Sub\r\n";
    Put("税 計算.bas", module);
    Put("Stamped.bas", "Attribute VB_Name = \"S\"\r\n' @(h) S.bas\r\n'\r\n' @(f)\r\n' Note: A\r\nPublic Sub A()\r\nEnd Sub\r\n");
    struct Case {
        const char* arguments;
        int status;
    };
    const Case cases[] = {
        {"check Stamped.bas", 0},
        {"check '税 計算.bas'", 1},
        {"check Stamped.bas Missing.bas", 2},
        {"check '税 計算.bas' Missing.bas", 2},  // could not look wins over found
        {"check Stamped.bas --format xml", 2},
        {"check Stamped.bas --settings nowhere.reg", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(Quillmark(c.arguments).status, c.status) << c.arguments;

    const Result json = Quillmark("check '税 計算.bas' Stamped.bas --module-header --format json");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(ReadBack(json.out, "[(x[\"file\"], x[\"line\"], x[\"procedure\"], x[\"rule\"]) for x in d]"),
              "[('税 計算.bas', 2, '(module)', 'no-module-header'), ('税 計算.bas', 2, 'A', 'no-stamp')]");
    const Result sarif = Quillmark("check '税 計算.bas' --format sarif");
    EXPECT_EQ(ReadBack(sarif.out,
                       "(d[\"version\"], d[\"runs\"][0][\"tool\"][\"driver\"][\"name\"], "
                       "[r[\"id\"] for r in d[\"runs\"][0][\"tool\"][\"driver\"][\"rules\"]], "
                       "[(r[\"ruleId\"], r[\"level\"], r[\"locations\"][0][\"physicalLocation\"][\"artifactLocation\"][\"uri\"], "
                       "r[\"locations\"][0][\"physicalLocation\"][\"region\"][\"startLine\"]) for r in d[\"runs\"][0][\"results\"]])"),
              "('2.1.0', 'quillmark', ['no-stamp', 'stamp-names-other', 'arguments-differ', 'no-module-header', 'return-value-differs'], "
              "[('no-stamp', 'warning', '%E7%A8%8E%20%E8%A8%88%E7%AE%97.bas', 2)])");
}

}  // namespace
