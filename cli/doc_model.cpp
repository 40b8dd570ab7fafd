#include "cli/doc_model.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <unordered_map>

#include "addin/stamps/declaration.h"
#include "cli/output.h"
#include "cli/sources.h"
#include "cli/stamp_blocks.h"
#include "cli/paths.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli::doc {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ModuleKind(const std::string& file) {
    const std::string e = Lower(Utf8Of(PathOf(file).extension()));
    if (e == ".bas") return "標準モジュール";
    if (e == ".cls") return "クラス モジュール";
    if (e == ".frm") return "フォーム";
    if (e == ".ctl") return "ユーザー コントロール";
    if (e == ".pag") return "プロパティ ページ";
    if (e == ".dob") return "ユーザー ドキュメント";
    return "デザイナ";
}

std::u16string Decode(std::string_view bytes, Encoding encoding, const Codepage& codepage) {
    return encoding == Encoding::Utf8 ? Utf8ToUtf16(bytes) : codepage.FromAnsi(bytes);
}

// The quoted value of a "KEY = "VALUE"" line of a file's hidden header or of a project.
std::u16string QuotedValue(const std::string& bytes, std::string_view key, Encoding encoding, const Codepage& codepage) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string_view line(bytes.data() + start, end - start);
        start = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key) continue;
        const auto open = line.find('"', key.size());
        const auto close = open == std::string_view::npos ? open : line.find('"', open + 1);
        if (close == std::string_view::npos) continue;
        // Names only: a control character would break a line of the page.
        std::u16string value = Decode(line.substr(open + 1, close - open - 1), encoding, codepage);
        std::erase_if(value, [](char16_t c) { return c < 0x20 || c == 0x7f; });
        return value;
    }
    return {};
}

std::string ScopeOf(std::u16string_view declaration) {
    declaration = TrimBlanks(declaration);
    for (const char* scope : {"Public", "Private", "Friend"}) {
        const std::u16string word = Utf8ToUtf16(scope);
        if (declaration.size() > word.size() && EqualsIgnoreCase(declaration.substr(0, word.size()), word) &&
            (declaration[word.size()] == u' ' || declaration[word.size()] == u'\t')) {
            return scope;
        }
    }
    return {};
}

std::string AnchorOf(const std::u16string& name, ProcedureKind kind) {
    std::string anchor = Utf16ToUtf8(name);
    if (kind == ProcedureKind::PropertyGet) anchor += "-get";
    if (kind == ProcedureKind::PropertyLet) anchor += "-let";
    if (kind == ProcedureKind::PropertySet) anchor += "-set";
    return anchor;
}

bool IsWordChar(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

// The names a procedure declares for itself (its arguments, Dim, Static, ReDim and Const), which hide
// procedures of the same name inside it.
std::vector<std::u16string> LocalNames(TextLines lines, std::int32_t first, std::int32_t last, const std::u16string& declaration) {
    std::vector<std::u16string> names;
    for (std::u16string name : ParseDeclaration(declaration).argumentNames) {
        if (name.size() >= 2 && name.substr(name.size() - 2) == u"()") name.resize(name.size() - 2);
        names.push_back(FoldAscii(name));
    }
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string held = lines[static_cast<std::size_t>(l - 1)];
        const std::u16string_view line = TrimBlanks(held);
        std::size_t at = std::u16string::npos;
        for (const std::u16string_view keyword : {u"dim ", u"static ", u"redim ", u"const "}) {
            if (line.size() > keyword.size() && EqualsIgnoreCase(line.substr(0, keyword.size()), keyword)) at = keyword.size();
        }
        if (at == std::u16string::npos) continue;
        const std::u16string folded = FoldAscii(line);
        // Each declared name: the first word of every part between commas (outside parentheses).
        int depth = 0;
        bool expectName = true;
        for (std::size_t i = at; i < folded.size(); ++i) {
            const char16_t c = folded[i];
            if (c == u'\'' || c == u'"') break;
            if (c == u'(') ++depth;
            if (c == u')') --depth;
            if (c == u',' && depth == 0) expectName = true;
            if (!expectName || !IsWordChar(c) || (c >= u'0' && c <= u'9')) continue;
            std::size_t end = i;
            while (end < folded.size() && IsWordChar(folded[end])) ++end;
            const std::u16string word = folded.substr(i, end - i);
            i = end - 1;
            if (word == u"preserve" || word == u"withevents") continue;
            names.push_back(word);
            expectName = false;
        }
    }
    return names;
}

// Names compared as the language compares them: ASCII letters without case.
struct FoldedName {
    std::size_t operator()(std::u16string_view w) const {
        std::uint64_t h = 1469598103934665603ULL;
        for (const char16_t c : w) h = (h ^ FoldAscii(c)) * 1099511628211ULL;
        return static_cast<std::size_t>(h);
    }
    bool operator()(std::u16string_view a, std::u16string_view b) const { return EqualsIgnoreCase(a, b); }
};

// The words of a module's lines that may name a procedure, each with the last procedure it was
// taken for, so that a procedure takes each word once. The map holds its words: a line is read as a
// string of its own, gone once it is read.
using WordsSeen = std::unordered_map<std::u16string, std::size_t, FoldedName, FoldedName>;

// The words of a procedure's lines outside strings and comments, folded, once each, in order, that
// are neither its own name nor one it declares. `procedure` tells this procedure's words apart in seen.
std::vector<std::u16string> BodyWords(TextLines lines, std::int32_t first, std::int32_t last, const std::u16string& name,
                                      const std::u16string& declaration, WordsSeen& seen, std::size_t procedure) {
    std::vector<std::u16string> hidden = LocalNames(lines, first, last, declaration);
    hidden.push_back(FoldAscii(name));
    std::sort(hidden.begin(), hidden.end());
    std::vector<std::u16string> words;
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string held = lines[static_cast<std::size_t>(l - 1)];
        const std::u16string_view line = held;
        bool inString = false;
        for (std::size_t i = 0; i < line.size();) {
            const char16_t c = line[i];
            if (c == u'"') inString = !inString;
            if (inString || c == u'"') {
                ++i;
                continue;
            }
            if (c == u'\'') break;
            if (!IsWordChar(c) || (c >= u'0' && c <= u'9')) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < line.size() && IsWordChar(line[end])) ++end;
            const std::u16string_view word = line.substr(i, end - i);
            i = end;
            if (EqualsIgnoreCase(word, u"rem")) break;
            const auto [at, added] = seen.try_emplace(std::u16string(word), procedure);
            if (!added) {
                if (at->second == procedure) continue;
                at->second = procedure;
            }
            std::u16string folded = FoldAscii(word);
            if (!std::binary_search(hidden.begin(), hidden.end(), folded)) words.push_back(std::move(folded));
        }
    }
    return words;
}

Module ReadModule(const Source& source, const CommonOptions& options, const Codepage& codepage,
                  const std::vector<std::u16string>& argumentItems) {
    Module module;
    module.file = source.path;
    module.kind = ModuleKind(source.path);
    module.name = Utf8ToUtf16(Utf8Of(PathOf(source.path).stem()));
    std::string bytes;
    SourceFile file = LoadSource(source.path, options, codepage, &bytes);
    if (std::u16string name = QuotedValue(bytes, "Attribute VB_Name", FileEncoding(options), codepage); !name.empty()) {
        module.name = std::move(name);
    }
    ide::TextCodeModule code(file);
    const TextLines lines = code.AllLines();
    const auto fileLine = [&](std::int32_t moduleLine) { return static_cast<int>(file.FileLineOf(moduleLine)); };
    module.header = ReadModuleHeader(lines);
    for (const EditRecord& r : ReadEditRecords(lines)) {
        module.edits.push_back({r.editor, r.date, fileLine(r.openLine + 1), r.closeLine == 0 ? 0 : fileLine(r.closeLine - 1)});
    }
    const std::vector<StampedProcedure> found = FindProcedures(code);
    module.procedures.reserve(found.size());
    WordsSeen seen;
    for (const StampedProcedure& p : found) {
        Procedure procedure;
        const ProcedureInfo info = InfoOf(p);
        procedure.name = p.region.name;
        // A declaration the reader cannot classify is listed as a Sub.
        procedure.kind = KindWord(info.Kind == ProcedureKind::Unknown ? ProcedureKind::Sub : info.Kind);
        procedure.scope = ScopeOf(p.declaration);
        procedure.line = fileLine(p.region.bodyLine);
        procedure.declaration = p.declaration;
        procedure.anchor = AnchorOf(p.region.name, info.Kind);
        procedure.hasStamp = p.hasStamp;
        if (p.hasStamp) procedure.stamp = PackedStamp(ReadStampLayout(lines, p.blockFirst, p.blockLast, argumentItems));
        procedure.words =
            BodyWords(lines, p.region.bodyLine, p.region.endLine, procedure.name, p.declaration, seen, module.procedures.size());
        module.procedures.push_back(std::move(procedure));
    }
    return module;
}


// Leaves out Private procedures and the modules with nothing else, and what refers to them.
void KeepPublic(Project& project) {
    std::vector<std::vector<std::ptrdiff_t>> index(project.modules.size());
    std::vector<Module> kept;
    for (std::size_t m = 0; m < project.modules.size(); ++m) {
        Module& module = project.modules[m];
        std::vector<Procedure> procedures;
        for (Procedure& p : module.procedures) {
            if (p.scope == "Private") {
                index[m].push_back(-1);
                continue;
            }
            index[m].push_back(static_cast<std::ptrdiff_t>(procedures.size()));
            procedures.push_back(std::move(p));
        }
        const bool keep = !procedures.empty() || !module.problem.empty();
        const std::ptrdiff_t keptModule = keep ? static_cast<std::ptrdiff_t>(kept.size()) : -1;
        index[m].push_back(keptModule);  // the module's own new place, last
        if (keptModule >= 0) {
            module.procedures = std::move(procedures);
            kept.push_back(std::move(module));
        }
    }
    const auto remap = [&](std::vector<ProcedureRef>& refs) {
        std::vector<ProcedureRef> out;
        for (const ProcedureRef& r : refs) {
            const std::ptrdiff_t p = index[r.module][r.procedure];
            const std::ptrdiff_t m = index[r.module].back();
            if (p >= 0 && m >= 0) out.push_back({static_cast<std::size_t>(m), static_cast<std::size_t>(p)});
        }
        refs = std::move(out);
    };
    for (Module& module : kept) {
        for (Procedure& p : module.procedures) {
            remap(p.calls);
            remap(p.calledBy);
        }
    }
    project.modules = std::move(kept);
}

// The packed form: every number as two units, every text as its length and then its units.
void PackNumber(std::u16string& out, std::uint32_t n) {
    out.push_back(static_cast<char16_t>(n >> 16));
    out.push_back(static_cast<char16_t>(n & 0xffff));
}
void PackText(std::u16string& out, const std::u16string& text) {
    PackNumber(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class Unpacker {
public:
    explicit Unpacker(const std::u16string& packed) : packed_(packed) {}
    std::uint32_t Number() {
        const auto n = (static_cast<std::uint32_t>(packed_[at_]) << 16) | packed_[at_ + 1];
        at_ += 2;
        return n;
    }
    std::u16string Text() {
        const std::size_t size = Number();
        std::u16string text = packed_.substr(at_, size);
        at_ += size;
        return text;
    }

private:
    const std::u16string& packed_;
    std::size_t at_ = 0;
};

}  // namespace

PackedStamp::PackedStamp(const ReadStamp& stamp) {
    PackNumber(packed_, static_cast<std::uint32_t>(stamp.items.size()));
    for (const ReadItem& item : stamp.items) {
        PackText(packed_, item.name);
        PackNumber(packed_, static_cast<std::uint32_t>(item.values.size()));
        for (const std::u16string& value : item.values) PackText(packed_, value);
        PackNumber(packed_, static_cast<std::uint32_t>(item.arguments.size()));
        for (const StampArgument& a : item.arguments) {
            PackText(packed_, a.name);
            PackText(packed_, a.description);
        }
        PackNumber(packed_, item.listsArguments ? 1 : 0);
        PackNumber(packed_, static_cast<std::uint32_t>(item.firstLine));
        PackNumber(packed_, static_cast<std::uint32_t>(item.lastLine));
    }
    PackNumber(packed_, static_cast<std::uint32_t>(stamp.text.size()));
    for (const StampText& t : stamp.text) {
        PackNumber(packed_, static_cast<std::uint32_t>(t.line));
        PackText(packed_, t.text);
    }
    packed_.shrink_to_fit();
}

ReadStamp PackedStamp::Unpack() const {
    ReadStamp stamp;
    if (packed_.empty()) return stamp;
    Unpacker in(packed_);
    stamp.items.resize(in.Number());
    for (ReadItem& item : stamp.items) {
        item.name = in.Text();
        item.values.resize(in.Number());
        for (std::u16string& value : item.values) value = in.Text();
        item.arguments.resize(in.Number());
        for (StampArgument& a : item.arguments) {
            a.name = in.Text();
            a.description = in.Text();
        }
        item.listsArguments = in.Number() != 0;
        item.firstLine = static_cast<std::int32_t>(in.Number());
        item.lastLine = static_cast<std::int32_t>(in.Number());
    }
    stamp.text.resize(in.Number());
    for (StampText& t : stamp.text) {
        t.line = static_cast<std::int32_t>(in.Number());
        t.text = in.Text();
    }
    return stamp;
}

std::string PageName(const std::string& file) {
    std::string name;
    for (const char c : file) {
        const auto u = static_cast<unsigned char>(c);
        name += (u >= 0x80 || std::isalnum(u) != 0 || c == '-' || c == '_' || c == '.') ? c : '_';
    }
    while (!name.empty() && name.front() == '.') name.erase(0, 1);
    return name.empty() ? "module" : name;
}

void FindCalls(Project& project) {
    std::size_t count = 0;
    for (const Module& module : project.modules) count += module.procedures.size();
    // The views point into the procedures' names, which stay where they are while this runs.
    std::unordered_map<std::u16string_view, std::vector<ProcedureRef>, FoldedName, FoldedName> byName;
    byName.reserve(count);
    for (std::size_t m = 0; m < project.modules.size(); ++m) {
        for (std::size_t p = 0; p < project.modules[m].procedures.size(); ++p) {
            byName[project.modules[m].procedures[p].name].push_back({m, p});
        }
    }
    for (std::size_t m = 0; m < project.modules.size(); ++m) {
        for (std::size_t p = 0; p < project.modules[m].procedures.size(); ++p) {
            Procedure& caller = project.modules[m].procedures[p];
            std::vector<ProcedureRef> calls;
            for (const std::u16string& word : caller.words) {
                const auto found = byName.find(word);
                if (found == byName.end()) continue;
                // The module's own procedure of that name hides those of the other modules.
                bool own = false;
                for (const ProcedureRef& r : found->second) own = own || r.module == m;
                for (const ProcedureRef& r : found->second) {
                    if (own ? r.module != m : project.modules[r.module].procedures[r.procedure].scope == "Private") continue;
                    if (std::find(calls.begin(), calls.end(), r) == calls.end()) calls.push_back(r);
                }
            }
            caller.words = {};
            for (const ProcedureRef& r : calls) project.modules[r.module].procedures[r.procedure].calledBy.push_back({m, p});
            caller.calls = std::move(calls);
        }
    }
}

DocSet ReadDocSet(const std::vector<std::string>& arguments, const CommonOptions& options, const FormatOfFile& formatOf, bool publicOnly) {
    DocSet set;
    set.publicOnly = publicOnly;
    const LocalDateTime now = Now(options);
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d", now.year % 10000, now.month % 100, now.day % 100, now.hour % 100,
                  now.minute % 100);
    set.date = date;
    Project files;
    files.name = u"ファイル";
    std::set<std::string> used;  // in lower case: a file system may not tell the case apart
    const auto unique = [&](const std::string& name) {
        std::string candidate = name;
        for (int n = 2; used.count(Lower(candidate)) != 0; ++n) candidate = name + "-" + std::to_string(n);
        used.insert(Lower(candidate));
        return candidate;
    };
    const auto read = [&](Project& project, const std::vector<Source>& sources) {
        for (const Source& source : sources) {
            Module module;
            try {
                const FileFormat format = formatOf(source.path);
                module = ReadModule(source, options, *format.codepage, format.argumentItems);
            } catch (const Failure& e) {
                module.file = source.path;
                module.kind = ModuleKind(source.path);
                module.name = Utf8ToUtf16(Utf8Of(PathOf(source.path).stem()));
                module.problem = e.message;
            } catch (const PlatformError& e) {
                module.file = source.path;
                module.kind = ModuleKind(source.path);
                module.name = Utf8ToUtf16(Utf8Of(PathOf(source.path).stem()));
                module.problem = source.path + ": " + e.what();
            }
            module.shown = source.relative.empty() ? source.path : source.relative;
            module.page = unique(PageName(source.relative.empty() ? source.path : source.relative));
            // The same file, whatever way a project names it.
            std::error_code ec;
            const fs::path same = fs::weakly_canonical(fs::absolute(PathOf(source.path), ec), ec);
            module.identity = ec ? Utf8Of(PathOf(source.path).lexically_normal()) : Utf8Of(same);
            project.modules.push_back(std::move(module));
        }
    };
    for (const std::string& argument : arguments) {
        std::vector<std::string> problems;
        const std::vector<Source> sources = ExpandSources({argument}, problems);
        if (Lower(Utf8Of(PathOf(argument).extension())) != ".vbp") {
            files.problems.insert(files.problems.end(), problems.begin(), problems.end());
            read(files, sources);
            continue;
        }
        Project project;
        project.file = argument;
        project.problems = std::move(problems);
        std::string bytes;
        try {
            bytes = ReadWholeFile(argument);
        } catch (const PlatformError&) {
            // Said among the problems already.
        }
        project.name = QuotedValue(bytes, "Name=", Encoding::Cp932, *formatOf(argument).codepage);
        if (project.name.empty()) project.name = Utf8ToUtf16(Utf8Of(PathOf(argument).stem()));
        project.page = unique(PageName(Utf8Of(PathOf(argument).filename())));
        read(project, sources);
        FindCalls(project);
        set.projects.push_back(std::move(project));
    }
    if (!files.modules.empty() || !files.problems.empty()) {
        files.page = unique("files");
        FindCalls(files);
        set.projects.push_back(std::move(files));
    }
    if (publicOnly) {
        for (Project& project : set.projects) KeepPublic(project);
    }
    // A file that several projects list: one page, the first listing's.
    std::map<std::string, Listing> firstListing;
    for (std::size_t p = 0; p < set.projects.size(); ++p) {
        for (std::size_t m = 0; m < set.projects[p].modules.size(); ++m) {
            Module& module = set.projects[p].modules[m];
            if (!module.problem.empty()) continue;
            const auto [first, added] = firstListing.try_emplace(module.identity, Listing{p, m});
            if (added) continue;
            Module& original = set.projects[first->second.project].modules[first->second.module];
            module.listedBefore = true;
            module.page = original.page;
            original.alsoIn.push_back({p, m});
        }
    }
    return set;
}

}  // namespace qm::cli::doc
