// check's findings for machines: JSON and SARIF that any reader takes, whatever the names hold, and
// the status that tells "found something" from "could not look".
#include "cli/findings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace {

using qm::cli::Finding;
using qm::cli::FindingsFormat;
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

// The opening of every SARIF log of version "1.0": the tool and its rules.
const std::string kSarifOpening =
    "{\n"
    "  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n"
    "  \"version\": \"2.1.0\",\n"
    "  \"runs\": [\n"
    "    {\n"
    "      \"tool\": {\n"
    "        \"driver\": {\n"
    "          \"name\": \"quillmark\",\n"
    "          \"version\": \"1.0\",\n"
    "          \"rules\": [\n"
    "            {\"id\": \"no-stamp\", \"shortDescription\": {\"text\": \"The procedure has no function-description stamp.\"}},\n"
    "            {\"id\": \"stamp-names-other\", \"shortDescription\": {\"text\": \"The function-name item of the stamp names another "
    "procedure.\"}},\n"
    "            {\"id\": \"arguments-differ\", \"shortDescription\": {\"text\": \"The argument item of the stamp lists other arguments "
    "than the declaration.\"}},\n"
    "            {\"id\": \"no-module-header\", \"shortDescription\": {\"text\": \"The module has no module header.\"}},\n"
    "            {\"id\": \"return-value-differs\", \"shortDescription\": {\"text\": \"The return-value item of the stamp contradicts the "
    "declaration.\"}}\n"
    "          ]\n"
    "        }\n"
    "      },\n"
    "      \"results\": [";

// Written a finding at a time, each piece out as soon as it is added, the output is byte for byte the
// whole of it: none, one, and several whose names hold Japanese, quotes, a backslash, control
// characters, a line separator and bytes that are not UTF-8 (a line before the first is line 1 in SARIF).
TEST(Findings, WrittenAsFoundTheyMakeTheWholeOutput) {
    const std::vector<Finding> none;
    const std::vector<Finding> one = {{"src/Module1.bas", 4, "AddTax", "no-stamp", "no stamp"}};
    const std::vector<Finding> several = {
        {"税 計算.bas", 2, "(module)", "no-module-header", "no module header"},
        {"dir\\it's \"q\".bas", 0, "Tab\tName", "stamp-names-other", "stamp names Esc\x1b[2J"},
        {"cp932 \x90\xc5.bas", 12,
         "A\xe2\x80\xa8"
         "B",
         "return-value-differs", "line\r\nbreak \x7f"},
        {"plain.bas", 7, "Sub", "arguments-differ", "arguments differ: stamp a, b; declaration a"},
    };
    struct Case {
        FindingsFormat format;
        const std::vector<Finding>* findings;
        std::string expected;
    };
    const Case cases[] = {
        {FindingsFormat::Text, &none, ""},
        {FindingsFormat::Text, &one, "src/Module1.bas:4: AddTax: no stamp\n"},
        {FindingsFormat::Text, &several,
         "税 計算.bas:2: (module): no module header\n"
         "dir\\it's \"q\".bas:0: Tab\tName: stamp names Esc\\x1b[2J\n"
         "cp932 \x90\xc5.bas:12: A\\u2028B: line\\r\\nbreak \\x7f\n"
         "plain.bas:7: Sub: arguments differ: stamp a, b; declaration a\n"},
        {FindingsFormat::Json, &none, "[]\n"},
        {FindingsFormat::Json, &one,
         "[\n"
         "  {\"file\": \"src/Module1.bas\", \"line\": 4, \"procedure\": \"AddTax\", \"rule\": \"no-stamp\", \"message\": \"no stamp\"}\n"
         "]\n"},
        {FindingsFormat::Json, &several,
         "[\n"
         "  {\"file\": \"税 計算.bas\", \"line\": 2, \"procedure\": \"(module)\", \"rule\": \"no-module-header\", \"message\": \"no module "
         "header\"},\n"
         "  {\"file\": \"dir\\\\it's \\\"q\\\".bas\", \"line\": 0, \"procedure\": \"Tab\\tName\", \"rule\": \"stamp-names-other\", "
         "\"message\": \"stamp names Esc\\u001b[2J\"},\n"
         "  {\"file\": \"cp932 \\ufffd\\ufffd.bas\", \"line\": 12, \"procedure\": \"A\\u2028B\", \"rule\": \"return-value-differs\", "
         "\"message\": \"line\\r\\nbreak \\u007f\"},\n"
         "  {\"file\": \"plain.bas\", \"line\": 7, \"procedure\": \"Sub\", \"rule\": \"arguments-differ\", \"message\": \"arguments "
         "differ: "
         "stamp a, b; declaration a\"}\n"
         "]\n"},
        {FindingsFormat::Sarif, &none, kSarifOpening + "]\n    }\n  ]\n}\n"},
        {FindingsFormat::Sarif, &one,
         kSarifOpening +
             "\n        {\"ruleId\": \"no-stamp\", \"ruleIndex\": 0, \"level\": \"warning\", \"message\": {\"text\": \"AddTax: no "
             "stamp\"}, "
             "\"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": \"src/Module1.bas\"}, \"region\": {\"startLine\": "
             "4}}}]}\n"
             "      ]\n    }\n  ]\n}\n"},
        {FindingsFormat::Sarif, &several,
         kSarifOpening +
             "\n        {\"ruleId\": \"no-module-header\", \"ruleIndex\": 3, \"level\": \"warning\", \"message\": {\"text\": \"(module): "
             "no "
             "module header\"}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": "
             "\"%E7%A8%8E%20%E8%A8%88%E7%AE%97.bas\"}, \"region\": {\"startLine\": 2}}}]},\n"
             "        {\"ruleId\": \"stamp-names-other\", \"ruleIndex\": 1, \"level\": \"warning\", \"message\": {\"text\": \"Tab\\tName: "
             "stamp names Esc\\u001b[2J\"}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": "
             "\"dir/it%27s%20%22q%22.bas\"}, \"region\": {\"startLine\": 1}}}]},\n"
             "        {\"ruleId\": \"return-value-differs\", \"ruleIndex\": 4, \"level\": \"warning\", \"message\": {\"text\": "
             "\"A\\u2028B: line\\r\\nbreak \\u007f\"}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": "
             "\"cp932%20%90%C5.bas\"}, \"region\": {\"startLine\": 12}}}]},\n"
             "        {\"ruleId\": \"arguments-differ\", \"ruleIndex\": 2, \"level\": \"warning\", \"message\": {\"text\": \"Sub: "
             "arguments "
             "differ: stamp a, b; declaration a\"}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": "
             "\"plain.bas\"}, \"region\": {\"startLine\": 7}}}]}\n"
             "      ]\n    }\n  ]\n}\n"},
    };
    for (const Case& c : cases) {
        const std::string label = std::to_string(static_cast<int>(c.format)) + "/" + std::to_string(c.findings->size());
        std::ostringstream out;
        qm::cli::FindingsWriter writer(out, c.format, "1.0");
        writer.Begin();
        for (const Finding& f : *c.findings) {
            const std::string before = out.str();
            writer.Add(f);
            const std::string after = out.str();
            EXPECT_GT(after.size(), before.size()) << label;  // out at once, not held for the end
            EXPECT_EQ(after.compare(0, before.size(), before), 0) << label;
        }
        writer.End();
        EXPECT_EQ(out.str(), c.expected) << label;
        EXPECT_EQ(writer.Count(), c.findings->size()) << label;
        const std::string whole = c.format == FindingsFormat::Text   ? qm::cli::FindingsText(*c.findings)
                                  : c.format == FindingsFormat::Json ? qm::cli::FindingsJson(*c.findings)
                                                                     : qm::cli::FindingsSarif(*c.findings, "1.0");
        EXPECT_EQ(whole, c.expected) << label;
    }
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


// Each finding is weighed as it is met: the policy's ignored rules first, then the baseline, whose
// entries each accept one finding. A file that cannot be read in the middle makes the status 2 and
// leaves the document whole; --quiet leaves nothing but the status.
TEST_F(CheckForMachines, FindingsWeighedAndWrittenAsTheyAreMet) {
    const std::string one = "Attribute VB_Name = \"A\"\r\nPublic Sub One()\r\nEnd Sub\r\n";
    Put(".quillmark-check", "ignore = no-module-header\n");
    Put("A.bas", one);
    Result r = Quillmark("check A.bas --module-header --write-baseline base");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("1 finding written to base"), std::string::npos) << r.err;
    r = Quillmark("check A.bas --module-header --baseline base --format sarif");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBack(r.out, "len(d[\"runs\"][0][\"results\"])"), "0");

    Put("A.bas", one + "Public Sub Two()\r\nEnd Sub\r\n");
    Put("Bad.bas", "Attribute VB_Name = \"Bad\"\r\n" + std::string(3, '\0') + "\r\n");
    Put("B.bas", "Attribute VB_Name = \"B\"\r\nPublic Sub Three()\r\nEnd Sub\r\n");
    const std::string found = "[('A.bas', 4, 'Two'), ('B.bas', 2, 'Three')]";
    const struct {
        const char* format;
        std::string expression;  // the findings as (file, line, procedure)
    } cases[] = {
        {"json", "[(x[\"file\"], x[\"line\"], x[\"procedure\"]) for x in d]"},
        {"sarif",
         "[(r[\"locations\"][0][\"physicalLocation\"][\"artifactLocation\"][\"uri\"], "
         "r[\"locations\"][0][\"physicalLocation\"][\"region\"][\"startLine\"], r[\"message\"][\"text\"].split(\":\")[0]) "
         "for r in d[\"runs\"][0][\"results\"]]"},
    };
    for (const auto& c : cases) {
        const std::string args = std::string("check A.bas Bad.bas B.bas --module-header --baseline base --format ") + c.format;
        r = Quillmark(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(ReadBack(r.out, c.expression), found) << r.out;
        EXPECT_NE(r.err.find("Bad.bas: not a VB6 source file"), std::string::npos) << r.err;
        EXPECT_EQ(Quillmark(args + " -q").out, "") << args;
        EXPECT_EQ(Quillmark(args + " -q").status, 2) << args;
    }
    r = Quillmark("check A.bas Bad.bas B.bas --module-header --baseline base");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "A.bas:4: Two: no stamp\nB.bas:2: Three: no stamp\n");
    r = Quillmark("check A.bas B.bas --module-header --baseline base --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out + r.err, "");
    // Without the baseline the accepted finding is new again; without the policy the header is missing.
    EXPECT_EQ(Quillmark("check A.bas --module-header").out, "A.bas:2: One: no stamp\nA.bas:4: Two: no stamp\n");
    Put(".quillmark-check", "");
    EXPECT_EQ(Quillmark("check A.bas --module-header --baseline base").out,
              "A.bas:2: (module): no module header\nA.bas:4: Two: no stamp\n");
}

}  // namespace
