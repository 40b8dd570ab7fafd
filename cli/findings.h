#pragma once
// What check finds, and the three ways it is written: lines for people, JSON and SARIF for machines.
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

// The rules of check, by their stable ids.
struct CheckRule {
    const char* id;
    const char* description;
};
const std::vector<CheckRule>& CheckRules();

struct Finding {
    std::string file;       // as given or found through a project
    int line = 0;           // the file's own line number
    std::string procedure;  // "(module)" for the module itself
    std::string rule;       // a CheckRule id
    std::string message;    // as the text form says it
};

// The three ways findings are written:
//   text:  "FILE:LINE: PROCEDURE: MESSAGE", one line each, control characters shown as escapes;
//   json:  one array of objects with file, line, procedure, rule and message;
//   sarif: a SARIF 2.1.0 log with one run of the tool "quillmark".
enum class FindingsFormat { Text, Json, Sarif };
// The format named "text", "json" or "sarif"; nothing for any other name.
std::optional<FindingsFormat> FindingsFormatNamed(std::string_view name);

// Writes findings as they are found, so that no run has to hold them all: Begin writes the opening,
// Add one finding with what parts it from the one before, End the closing (a JSON or SARIF document
// is whole only then). Each piece goes to the stream as soon as it is composed.
class FindingsWriter {
public:
    // version: the tool's version that a SARIF log names.
    FindingsWriter(std::ostream& out, FindingsFormat format, std::string_view version);
    void Begin();
    void Add(const Finding& finding);
    void End();
    // The findings added so far.
    std::size_t Count() const { return count_; }

private:
    void Put();

    std::ostream& out_;
    FindingsFormat format_;
    std::string version_;
    std::size_t count_ = 0;
    std::string piece_;  // the piece being composed, kept to spare an allocation a finding
};

// The findings written whole, as the writer writes them.
std::string FindingsText(const std::vector<Finding>& findings);
std::string FindingsJson(const std::vector<Finding>& findings);
std::string FindingsSarif(const std::vector<Finding>& findings, std::string_view version);

// How a quoted string writes a control character that has no letter escape of its own: JSON's
// \u00XX, or C's octal \ooo, which git and patch read in a file name.
enum class ControlEscape { Json, Octal };
// Appends one byte to a quoted string: \" \\ \n \t, \r in JSON, any other control character as
// `controls` says, every other byte as it is.
void AppendQuotedByte(std::string& out, char c, ControlEscape controls);
// Appends one code point to a JSON string. The line separators U+2028 and U+2029 are escaped too:
// they would end a line of a script that takes the string in.
void AppendJsonChar(std::string& out, char32_t cp);

// A JSON string, quotes included: valid UTF-8 whatever the bytes were (a byte that is not part of a
// UTF-8 character becomes U+FFFD), every control character escaped.
std::string JsonString(std::string_view utf8);
// The same string appended to out.
void AppendJsonString(std::string& out, std::string_view utf8);
// A relative URI reference for a path: "/" between folders, every byte outside the unreserved
// characters percent-encoded (a drive's ":" too, so that it never reads as a scheme).
std::string PathUri(std::string_view path);

}  // namespace qm::cli
