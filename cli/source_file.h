#pragma once
// A VB6 source file (.bas, .cls, .frm, .ctl) as the code window sees it: the hidden header and the
// attribute lines inside procedures are kept aside, and every byte outside inserted lines is kept.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/diff.h"
#include "platform/codepage.h"
#include "platform/sim/text_code_module.h"
#include "platform/text_lines.h"

namespace qm::cli {

enum class Encoding { Cp932, Utf8 };

class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The module's lines are read from the file's own bytes, each made into text when it is read: a large
// file is held once, with a few bytes a line besides.
class SourceFile final : public LineSource {
public:
    // Throws SourceError naming the line of the first byte sequence that the encoding does not allow,
    // or saying that the file is too large. Keeps a copy of the bytes.
    SourceFile(std::string_view bytes, Encoding encoding, const Codepage& codepage);
    // The same over bytes that the caller keeps, unchanged, for as long as the file lives: the lines
    // are read from them where they are, so that a large file is held once.
    static SourceFile Over(const std::string& bytes, Encoding encoding, const Codepage& codepage);

    std::size_t FileLineCount() const { return entries_.size(); }
    // The module line a file line shows as; nothing for a line of the hidden header. A hidden
    // attribute line inside a procedure counts as the visible line in front of it.
    std::optional<std::int32_t> ModuleLineOf(std::size_t fileLine) const;
    // The module's lines as they stand; the view holds while the file is neither moved nor changed.
    TextLines ModuleLines() const { return *this; }
    std::size_t LineCount() const override { return entries_.size() - hidden_.size(); }
    // A line of the module that has bytes the encoding does not allow shows them as U+FFFD (UTF-8) or
    // U+30FB (code page 932); a file read has none.
    std::u16string Line(std::size_t i) const override { return TextOf(EntryOf(i)); }
    // Insert in front of module line at + 1.
    void InsertLines(std::size_t at, const std::vector<std::u16string>& lines) override;
    // The file line (1-based) that shows module line `line`; 0 for a line the module does not have.
    std::size_t FileLineOf(std::int32_t line) const;
    // Puts lines in the place of `count` module lines from `line` on; each replaced line keeps its
    // line end.
    void Replace(std::int32_t line, std::int32_t count, const std::vector<std::u16string>& lines);
    // Several replacements of one or more lines each, over the module lines as they stand now, made in
    // one pass: many of them cost what one does. They must not share a line (SourceError otherwise).
    struct Replacement {
        std::int32_t line;
        std::int32_t count;
        std::vector<std::u16string> lines;
    };
    void ReplaceAll(std::vector<Replacement> replacements);
    // Places inserted module lines into the file: in front of module line `line`, directly after
    // the visible line before it (or after the hidden header for line 1).
    void Insert(std::int32_t line, const std::vector<std::u16string>& lines);
    // Several insertions at once, each in front of a module line as the file stands now.
    struct Insertion {
        std::int32_t line;
        std::vector<std::u16string> lines;
    };
    void InsertAll(const std::vector<Insertion>& insertions);
    // The same one insertion at a time: the lines are encoded at once, so that a whole module's
    // stamps are never held as text besides; InsertStaged puts them all in.
    void Stage(std::int32_t line, const std::vector<std::u16string>& lines);
    void InsertStaged();
    std::string Render() const;
    // The bytes Render gives, handed to put a line (and its line end) at a time.
    void RenderTo(const std::function<void(std::string_view)>& put) const;
    // Whether Render would give these bytes, found without making them.
    bool RendersAs(std::string_view bytes) const;
    // Every line is the line it was when read, in its place: Render would give the bytes read.
    bool Unchanged() const;
    Encoding FileEncoding() const { return encoding_; }
    // Bytes of the file's encoding in UTF-8, for showing differences.
    void AppendUtf8(std::string_view bytes, std::string& out) const;
    // Each line of the file as Render writes it, and the line it was when the file was read.
    std::vector<LineAfter> LinesAfter() const;

private:
    // A line of the file is a span of the bytes read or of the bytes put in since: a file of a
    // million short lines costs a few bytes a line besides its text.
    enum class Eol : std::uint8_t { None, Lf, CrLf };
    static constexpr std::uint32_t kNoOrigin = 0xFFFFFFFF;
    // Twelve bytes where the compiler packs bit-fields of several types (GCC and Clang on POSIX
    // systems): a line is shorter than 256 MB.
    static constexpr std::size_t kLineLimit = std::size_t{1} << 28;
    struct Entry {
        std::uint32_t start = 0;           // in the bytes read, or in added_ when added
        std::uint32_t origin = kNoOrigin;  // the line it was when read; kNoOrigin when put in or changed
        std::uint32_t size : 28 = 0;       // without the line end
        Eol eol : 2 = Eol::None;
        bool hidden : 1 = false;
        bool added : 1 = false;
    };
    SourceFile(const std::string* borrowed, std::string_view bytes, Encoding encoding, const Codepage& codepage);
    void Read();
    void Index();
    std::string_view Bytes() const { return borrowed_ != nullptr ? std::string_view(*borrowed_) : std::string_view(owned_); }
    std::string_view Raw(const Entry& entry) const;
    // The entry of module line `line` (0-based), which the module has.
    std::size_t EntryOf(std::size_t line) const;
    // The text of file line `entry` (0-based), without the byte order mark of a UTF-8 file.
    std::u16string TextOf(std::size_t entry, bool* valid = nullptr) const;
    // The text encoded (or the bytes) at the end of added_, as an entry of its own.
    Entry Add(const std::u16string& text);
    Entry AddBytes(std::string_view bytes);
    struct Staged {
        std::int32_t line;
        std::uint32_t first;  // in stagedLines_
        std::uint32_t count;
    };

    Encoding encoding_;
    const Codepage& codepage_;
    std::string owned_;
    const std::string* borrowed_ = nullptr;
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::vector<std::string> added_;  // the bytes of the lines put in, in blocks
    std::vector<Entry> entries_;
    std::size_t linesRead_ = 0;  // how many lines the file had when it was read
    std::vector<Staged> staged_;
    // A staged line: its place and size in added_; the rest of its entry is that of every line put in.
    struct StagedLine {
        std::uint32_t start;
        std::uint32_t size;
    };
    std::deque<StagedLine> stagedLines_;  // grows without moving what it holds
    std::size_t headerLines_ = 0;
    Eol fileEol_ = Eol::CrLf;
    // The hidden lines, in order: they are few (the header, an attribute here and there), so that the
    // places of the visible ones cost nothing a line.
    std::vector<std::uint32_t> hidden_;
};

// A code module over a source file: it reads the file's lines, and every insertion goes into the file.
class SourceCodeModule final : public ide::TextCodeModule {
public:
    SourceCodeModule(SourceFile& file, std::u16string path) : ide::TextCodeModule(static_cast<LineSource&>(file), std::move(path)) {}
};

}  // namespace qm::cli
