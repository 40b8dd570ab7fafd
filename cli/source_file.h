#pragma once
// A VB6 source file (.bas, .cls, .frm, .ctl) as the code window sees it: the hidden header and the
// attribute lines inside procedures are kept aside, and every byte outside inserted lines is kept.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/diff.h"
#include "platform/codepage.h"
#include "platform/sim/text_code_module.h"

namespace qm::cli {

enum class Encoding { Cp932, Utf8 };

class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SourceFile {
public:
    // Throws SourceError naming the line of the first byte sequence that the encoding does not allow.
    SourceFile(std::string_view bytes, Encoding encoding, const Codepage& codepage);

    std::size_t FileLineCount() const { return entries_.size(); }
    // The module line a file line shows as; nothing for a line of the hidden header. A hidden
    // attribute line inside a procedure counts as the visible line in front of it.
    std::optional<std::int32_t> ModuleLineOf(std::size_t fileLine) const;
    std::vector<std::u16string> TakeModuleLines() { return std::move(moduleLines_); }
    const std::vector<std::u16string>& ModuleLines() const { return moduleLines_; }
    // The file line (1-based) that shows module line `line`.
    std::size_t FileLineOf(std::int32_t line) const;
    // Puts lines in the place of `count` module lines from `line` on; each replaced line keeps its
    // line end.
    void Replace(std::int32_t line, std::int32_t count, const std::vector<std::u16string>& lines);
    // Places inserted module lines into the file: in front of module line `line`, directly after
    // the visible line before it (or after the hidden header for line 1).
    void Insert(std::int32_t line, const std::vector<std::u16string>& lines);
    // Several insertions at once, each in front of a module line as the file stands now.
    struct Insertion {
        std::int32_t line;
        std::vector<std::u16string> lines;
    };
    void InsertAll(const std::vector<Insertion>& insertions);
    std::string Render() const;
    Encoding FileEncoding() const { return encoding_; }
    // Bytes of the file's encoding in UTF-8, for showing differences.
    void AppendUtf8(std::string_view bytes, std::string& out) const;
    // Each line of the file as Render writes it, and the line it was when the file was read.
    std::vector<LineAfter> LinesAfter() const;

private:
    enum class Eol { None, Lf, CrLf };
    struct Entry {
        std::string raw;
        Eol eol = Eol::None;
        bool hidden = false;
        std::size_t origin = kNewLine;  // the line it was when read; kNewLine when put in or changed
    };
    void Index();
    std::string Encode(const std::u16string& text) const;

    Encoding encoding_;
    const Codepage& codepage_;
    std::vector<Entry> entries_;
    std::size_t headerLines_ = 0;
    Eol fileEol_ = Eol::CrLf;
    std::vector<std::size_t> visible_;  // entry of each module line
    std::vector<std::u16string> moduleLines_;
};

// A code module over a source file that records every insertion in the file.
class SourceCodeModule final : public ide::TextCodeModule {
public:
    SourceCodeModule(SourceFile& file, std::u16string path) : ide::TextCodeModule(file.TakeModuleLines(), std::move(path)), file_(file) {}
    void InsertLines(std::int32_t line, const std::u16string& text) override {
        ide::TextCodeModule::InsertLines(line, text);
        std::vector<std::u16string> lines = SplitText(text);
        if (lines.empty()) lines.emplace_back();
        file_.Insert(line, lines);
    }

private:
    SourceFile& file_;
};

}  // namespace qm::cli
