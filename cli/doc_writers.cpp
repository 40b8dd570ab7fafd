#include "cli/doc_writers.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "cli/doc_assets.h"
#include "cli/findings.h"
#include "platform/text.h"

namespace qm::cli::doc {
namespace {

constexpr const char* kProduct = "Wek Quillmark for VB6 Ver1.0";

std::string U(std::u16string_view text) { return Utf16ToUtf8(text); }

// Calls ascii(c) for each character below 0x80 and other(cp) for each other code point, a lone
// surrogate read as U+FFFD: the pages are made without a UTF-8 copy of every text first.
template <typename Ascii, typename Other>
void EachCodePoint(std::u16string_view text, Ascii ascii, Other other) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            ascii(static_cast<char>(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        other(cp);
    }
}

void PutHtmlChar(std::string& out, char c) {
    if (const char* entity = HtmlEntityOf(c)) {
        out += entity;
    } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
        out += "\xEF\xBF\xBD";  // U+FFFD
    } else {
        out += c;
    }
}

void PutHtml(std::string& out, std::string_view utf8) {
    for (const char c : utf8) PutHtmlChar(out, c);
}
void PutHtml(std::string& out, std::u16string_view text) {
    EachCodePoint(
        text, [&](char c) { PutHtmlChar(out, c); }, [&](char32_t cp) { AppendUtf8(out, cp); });
}

// What a string of a script escapes beyond JSON, so that it stays one string wherever a page might
// take it in: no "<", "&" or "'" as they are. False for every other character.
bool PutScriptOnly(std::string& out, char32_t c) {
    switch (c) {
        case U'<':
            out += "\\u003c";
            return true;
        case U'&':
            out += "\\u0026";
            return true;
        case U'\'':
            out += "\\u0027";
            return true;
        default:
            return false;
    }
}
void PutScriptChars(std::string& out, std::u16string_view text) {
    const auto put = [&](char32_t cp) {
        if (!PutScriptOnly(out, cp)) AppendJsonChar(out, cp);
    };
    EachCodePoint(
        text, [&](char c) { put(static_cast<unsigned char>(c)); }, put);
}

// A JSON string that stays one wherever a page might take it in.
std::string ScriptString(std::string_view utf8) {
    std::string out;
    for (const char c : JsonString(utf8)) {
        if (!PutScriptOnly(out, static_cast<unsigned char>(c))) out += c;
    }
    return out;
}

bool IsWordChar(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           (c >= 0x80 && c != 0x3000 && !(c >= 0x3000 && c <= 0x303f) && !(c >= 0xff00 && c <= 0xff0f));
}
bool IsAsciiWordChar(char16_t c) { return c < 0x80 && IsWordChar(c); }

// Every byte outside the unreserved characters percent-encoded: a fragment any name can make.
std::string Fragment(std::string_view utf8) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 && u < 0x80) {
            out += c;
        } else if (c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

// All the text of a stamp, for the search, as the characters of a script string.
void PutStampSearchText(std::string& out, const ReadStamp& stamp) {
    for (const ReadItem& item : stamp.items) {
        PutScriptChars(out, item.name);
        out += ' ';
        for (std::size_t i = 0; i < item.values.size(); ++i) {
            if (i > 0) out += ' ';
            PutScriptChars(out, item.values[i]);
        }
        out += "\\n";
        for (const auto& a : item.arguments) {
            PutScriptChars(out, a.name);
            out += ' ';
            PutScriptChars(out, a.description);
            out += "\\n";
        }
    }
    for (const StampText& t : stamp.text) {
        PutScriptChars(out, t.text);
        out += "\\n";
    }
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

// Where the names of a project's procedures lead.
class Names {
public:
    explicit Names(const Project& project) : project_(project) {
        std::size_t count = 0;
        for (const Module& module : project.modules) count += module.procedures.size();
        byName_.reserve(count);
        for (std::size_t m = 0; m < project.modules.size(); ++m) {
            for (std::size_t p = 0; p < project.modules[m].procedures.size(); ++p) {
                byName_[project.modules[m].procedures[p].name].push_back({m, p});
            }
        }
    }
    // The procedure a name in module m's text means: its own first, then a Public one elsewhere.
    const ProcedureRef* Find(std::u16string_view name, std::size_t m) const {
        const auto found = byName_.find(name);
        if (found == byName_.end()) return nullptr;
        for (const ProcedureRef& r : found->second) {
            if (r.module == m) return &r;
        }
        for (const ProcedureRef& r : found->second) {
            if (project_.modules[r.module].procedures[r.procedure].scope != "Private") return &r;
        }
        return nullptr;
    }

private:
    const Project& project_;
    // The views point into the procedures' names, which outlive this.
    std::unordered_map<std::u16string_view, std::vector<ProcedureRef>, FoldedName, FoldedName> byName_;
};

std::string ModuleHref(const Module& module, const std::string& root) { return root + "modules/" + PathUri(module.page) + ".html"; }

std::string ProcedureHref(const Project& project, const ProcedureRef& r, std::size_t fromModule, const std::string& root) {
    const Module& module = project.modules[r.module];
    const std::string fragment = "#" + Fragment(module.procedures[r.procedure].anchor);
    return r.module == fromModule ? fragment : ModuleHref(module, root) + fragment;
}

void PutProcedureLink(std::string& out, const Project& project, const ProcedureRef& r, std::size_t fromModule, const std::string& root) {
    const Module& module = project.modules[r.module];
    const Procedure& p = module.procedures[r.procedure];
    out += "<a href=\"";
    PutHtml(out, ProcedureHref(project, r, fromModule, root));
    out += "\">";
    if (r.module != fromModule) {
        PutHtml(out, module.name);
        out += '.';
    }
    PutHtml(out, p.name);
    if (p.kind.rfind("Property ", 0) == 0) {
        out += " [";
        PutHtml(out, std::string_view(p.kind).substr(9));
        out += ']';
    }
    out += "</a>";
}

// The text with every name of a procedure of the project made a link to it.
void PutLinkedText(std::string& out, std::u16string_view text, const Project& project, const Names& names, std::size_t m,
                   const std::string& root) {
    const auto link = [&](std::u16string_view word) {
        if (const ProcedureRef* r = names.Find(word, m); r != nullptr) {
            out += "<a href=\"";
            PutHtml(out, ProcedureHref(project, *r, m, root));
            out += "\">";
            PutHtml(out, word);
            out += "</a>";
            return true;
        }
        return false;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        if (!IsWordChar(text[i])) {
            std::size_t end = i;
            while (end < text.size() && !IsWordChar(text[end])) ++end;
            PutHtml(out, text.substr(i, end - i));
            i = end;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && IsWordChar(text[end])) ++end;
        const std::u16string_view word = text.substr(i, end - i);
        if (!link(word)) {
            // A name written against Japanese text: the ASCII words inside.
            for (std::size_t k = 0; k < word.size();) {
                std::size_t e = k;
                const bool ascii = IsAsciiWordChar(word[k]);
                while (e < word.size() && IsAsciiWordChar(word[e]) == ascii) ++e;
                if (!ascii || !link(word.substr(k, e - k))) PutHtml(out, word.substr(k, e - k));
                k = e;
            }
        }
        i = end;
    }
}

// The page around a body.
std::string Page(const std::string& title, const std::string& root, const std::string& body, const std::string& date) {
    std::string page;
    page.reserve(body.size() + 1024);
    page +=
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"color-scheme\" content=\"light dark\">\n"
        "<meta name=\"generator\" content=\"";
    page += kProduct;
    page += "\">\n<title>";
    PutHtml(page, title);
    page += "</title>\n<link rel=\"icon\" href=\"" + root + "assets/icon.svg\" type=\"image/svg+xml\">\n<link rel=\"stylesheet\" href=\"" +
            root + "assets/quillmark.css\">\n<script src=\"" + root + "assets/search-index.js\" defer></script>\n<script src=\"" + root +
            "assets/search.js\" defer></script>\n</head>\n<body data-root=\"" + root +
            "\">\n<header class=\"top\"><a class=\"home\" href=\"" + root +
            "index.html\">VB6 リファレンス</a>\n"
            "<div class=\"search\" role=\"search\"><input type=\"search\" id=\"qm-search\" placeholder=\"名前・説明で検索\" "
            "aria-label=\"検索\" autocomplete=\"off\"><ol id=\"qm-results\" hidden></ol></div></header>\n<main>\n";
    page += body;
    page += "</main>\n<footer>";
    page += kProduct;
    page += " · ";
    PutHtml(page, date);
    page += " 作成</footer>\n</body>\n</html>\n";
    return page;
}

int Stamped(const Module& module) {
    int n = 0;
    for (const Procedure& p : module.procedures) n += p.hasStamp ? 1 : 0;
    return n;
}

std::string HeaderLine(const Module& module) {
    if (!module.header.found) return {};
    for (const StampText& t : module.header.body.text) return U(t.text);
    return U(module.header.title);
}

std::string ModulesTable(const Project& project, const std::string& root) {
    std::string out =
        "<div class=\"table\"><table>\n<thead><tr><th>モジュール</th><th>種類</th><th>ヘッダー</th>"
        "<th>スタンプあり</th><th>なし</th></tr></thead>\n<tbody>\n";
    for (const Module& module : project.modules) {
        if (!module.problem.empty()) {
            out += "<tr><td>";
            PutHtml(out, module.name);
            out += "</td><td>";
            PutHtml(out, module.kind);
            out += "</td><td colspan=\"3\" class=\"unreadable\">読めません: ";
            PutHtml(out, module.problem);
            out += "</td></tr>\n";
            continue;
        }
        const int stamped = Stamped(module);
        out += "<tr><td><a href=\"";
        PutHtml(out, ModuleHref(module, root));
        out += "\">";
        PutHtml(out, module.name);
        out += "</a></td><td>";
        PutHtml(out, module.kind);
        out += "</td><td>";
        PutHtml(out, HeaderLine(module));
        out += "</td><td class=\"num\">" + std::to_string(stamped) + "</td><td class=\"num\">" +
               std::to_string(static_cast<int>(module.procedures.size()) - stamped) + "</td></tr>\n";
    }
    out += "</tbody></table></div>\n";
    for (const std::string& problem : project.problems) {
        out += "<p class=\"unreadable\">読めません: ";
        PutHtml(out, problem);
        out += "</p>\n";
    }
    return out;
}

void PutItems(std::string& out, const ReadStamp& stamp, const Project& project, const Names& names, std::size_t m,
              const std::string& root) {
    if (!stamp.items.empty()) {
        out += "<dl class=\"items\">\n";
        for (const ReadItem& item : stamp.items) {
            out += "<dt>";
            PutHtml(out, item.name);
            out += "</dt><dd>";
            if (item.listsArguments && !item.arguments.empty()) {
                out += "<table class=\"args\"><tbody>";
                for (const StampArgument& a : item.arguments) {
                    out += "<tr><td><code>";
                    PutHtml(out, a.name);
                    out += "</code></td><td>";
                    PutLinkedText(out, a.description, project, names, m, root);
                    out += "</td></tr>";
                }
                out += "</tbody></table>";
            } else {
                for (std::size_t i = 0; i < item.values.size(); ++i) {
                    if (i > 0) out += '\n';
                    PutLinkedText(out, item.values[i], project, names, m, root);
                }
            }
            out += "</dd>\n";
        }
        out += "</dl>\n";
    }
    if (!stamp.text.empty()) {
        out += "<pre class=\"note\">";
        for (std::size_t i = 0; i < stamp.text.size(); ++i) {
            if (i > 0) out += '\n';
            PutLinkedText(out, stamp.text[i].text, project, names, m, root);
        }
        out += "</pre>\n";
    }
}

// The links to the procedures refs name, each once, after those already in links.
void AddLinks(std::vector<std::string>& links, const std::vector<ProcedureRef>& refs, const Project& project, std::size_t m,
              const std::string& root) {
    for (const ProcedureRef& r : refs) {
        std::string link;
        PutProcedureLink(link, project, r, m, root);
        if (std::find(links.begin(), links.end(), link) == links.end()) links.push_back(std::move(link));
    }
}

void PutRefs(std::string& out, const char* label, const std::vector<std::string>& links) {
    if (links.empty()) return;
    out += "<p class=\"refs\">";
    out += label;
    out += ": ";
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (i > 0) out += ' ';
        out += links[i];
    }
    out += "</p>\n";
}

std::string ModulePage(const DocSet& set, const Project& project, std::size_t m, const Names& names, const std::string& date) {
    const Module& module = project.modules[m];
    const std::string root = "../";
    std::string body = "<p class=\"crumbs\"><a href=\"../index.html\">目次</a> › <a href=\"../projects/";
    PutHtml(body, PathUri(project.page));
    body += ".html\">";
    PutHtml(body, project.name);
    body += "</a></p>\n<h1>";
    PutHtml(body, module.name);
    body += "</h1>\n<p class=\"meta\">";
    PutHtml(body, module.kind);
    body += " · <code>";
    PutHtml(body, module.shown);
    body += "</code> · 手続き " + std::to_string(module.procedures.size()) + "</p>\n";
    if (module.header.found) {
        const auto& h = module.header;
        body += "<h2 id=\"module-header\">モジュール ヘッダー</h2>\n<dl class=\"items\">\n";
        const auto row = [&](const char* name, const std::u16string& value) {
            if (value.empty()) return;
            body += "<dt>";
            body += name;
            body += "</dt><dd>";
            PutHtml(body, value);
            body += "</dd>\n";
        };
        if (h.file.empty() && h.version.empty()) row("@(h)", h.title);
        row("ファイル", h.file);
        row("版", h.version);
        row("日付", h.date);
        row("作成者", h.author);
        body += "</dl>\n";
        PutItems(body, h.body, project, names, m, root);
    }
    if (!module.edits.empty()) {
        body +=
            "<h2 id=\"qm-edits\">編集記録</h2>\n<div "
            "class=\"table\"><table>\n<thead><tr><th>編集者</th><th>日付</th><th>行</th></tr></thead>\n<tbody>\n";
        for (const Edit& e : module.edits) {
            body += "<tr><td>";
            PutHtml(body, e.editor);
            body += "</td><td>";
            PutHtml(body, e.date);
            body += "</td><td class=\"num\">" + std::to_string(e.firstLine) +
                    (e.lastLine == 0            ? " – (閉じていません)"
                     : e.lastLine > e.firstLine ? "–" + std::to_string(e.lastLine)
                                                : "") +
                    "</td></tr>\n";
        }
        body += "</tbody></table></div>\n";
    }
    if (!module.procedures.empty()) {
        body += "<h2 id=\"qm-procedures\">手続き</h2>\n<ul class=\"toc\">\n";
        for (std::size_t p = 0; p < module.procedures.size(); ++p) {
            body += "<li>";
            PutProcedureLink(body, project, {m, p}, m, root);
            body += "</li>\n";
        }
        body += "</ul>\n";
    }
    for (std::size_t p = 0; p < module.procedures.size(); ++p) {
        const Procedure& proc = module.procedures[p];
        body += "<section class=\"proc\" id=\"";
        PutHtml(body, proc.anchor);
        body += "\">\n<h2><a href=\"#";
        PutHtml(body, Fragment(proc.anchor));
        body += "\">";
        PutHtml(body, proc.name);
        body += "</a><span class=\"badge\">";
        PutHtml(body, proc.kind);
        body += "</span>";
        if (!proc.scope.empty())
            body += "<span class=\"badge" + std::string(proc.scope == "Private" ? " private" : "") + "\">" + proc.scope + "</span>";
        if (!proc.hasStamp) body += "<span class=\"badge missing\">スタンプなし</span>";
        body += "<span class=\"line\">";
        PutHtml(body, module.shown);
        body += " 行 " + std::to_string(proc.line) + "</span></h2>\n<pre class=\"decl\"><code>";
        PutHtml(body, proc.declaration);
        body += "</code></pre>\n";
        if (proc.hasStamp) PutItems(body, proc.stamp.Unpack(), project, names, m, root);
        // The calls and callers in every project that lists the file.
        std::vector<std::string> calls;
        std::vector<std::string> callers;
        AddLinks(calls, proc.calls, project, m, root);
        AddLinks(callers, proc.calledBy, project, m, root);
        for (const Listing& other : module.alsoIn) {
            const Project& there = set.projects[other.project];
            const Module& same = there.modules[other.module];
            if (p >= same.procedures.size() || same.procedures[p].anchor != proc.anchor) continue;  // the file changed between readings
            AddLinks(calls, same.procedures[p].calls, there, other.module, root);
            AddLinks(callers, same.procedures[p].calledBy, there, other.module, root);
        }
        PutRefs(body, "呼び出し先", calls);
        PutRefs(body, "呼び出し元", callers);
        body += "</section>\n";
    }
    return Page(U(module.name) + " – " + U(project.name), root, body, date);
}

std::string ProjectPage(const Project& project, const std::string& date) {
    std::string body = "<p class=\"crumbs\"><a href=\"../index.html\">目次</a></p>\n<h1>";
    PutHtml(body, project.name);
    body += "</h1>\n";
    if (!project.file.empty()) {
        body += "<p class=\"meta\"><code>";
        PutHtml(body, project.file);
        body += "</code></p>\n";
    }
    body += ModulesTable(project, "../");
    for (std::size_t m = 0; m < project.modules.size(); ++m) {
        const Module& module = project.modules[m];
        if (!module.problem.empty() || module.procedures.empty()) continue;
        body += "<h2><a href=\"";
        PutHtml(body, ModuleHref(module, "../"));
        body += "\">";
        PutHtml(body, module.name);
        body += "</a></h2>\n<ul class=\"toc\">\n";
        for (std::size_t p = 0; p < module.procedures.size(); ++p) {
            body += "<li>";
            PutProcedureLink(body, project, {m, p}, SIZE_MAX, "../");
            body += "</li>\n";
        }
        body += "</ul>\n";
    }
    return Page(U(project.name), "../", body, date);
}

std::string IndexPage(const DocSet& set) {
    int procedures = 0;
    int stamped = 0;
    for (const Project& project : set.projects) {
        for (const Module& module : project.modules) {
            procedures += static_cast<int>(module.procedures.size());
            stamped += Stamped(module);
        }
    }
    std::string body = "<h1>VB6 リファレンス</h1>\n<p class=\"meta\">手続き " + std::to_string(procedures) + " · スタンプあり " +
                       std::to_string(stamped) + " · なし " + std::to_string(procedures - stamped) +
                       (set.publicOnly ? " · Public のみ" : "") + "</p>\n";
    for (const Project& project : set.projects) {
        body += "<h2><a href=\"projects/";
        PutHtml(body, PathUri(project.page));
        body += ".html\">";
        PutHtml(body, project.name);
        body += "</a></h2>\n";
        if (!project.file.empty()) {
            body += "<p class=\"meta\"><code>";
            PutHtml(body, project.file);
            body += "</code></p>\n";
        }
        body += ModulesTable(project, "");
    }
    return Page("VB6 リファレンス", "", body, set.date);
}

std::string SearchIndex(const DocSet& set) {
    std::string out = "window.QM_SEARCH = [\n";
    const auto entry = [&](std::u16string_view name, const std::string& kind, std::u16string_view where, const std::string& url,
                           const auto& text) {
        out += "{\"n\":\"";
        PutScriptChars(out, name);
        out += "\",\"k\":" + ScriptString(kind) + ",\"m\":\"";
        PutScriptChars(out, where);
        out += "\",\"u\":" + ScriptString(url) + ",\"t\":\"";
        text();
        out += "\"},\n";
    };
    for (const Project& project : set.projects) {
        for (const Module& module : project.modules) {
            if (!module.problem.empty() || module.listedBefore) continue;
            const std::string url = "modules/" + PathUri(module.page) + ".html";
            entry(module.name, module.kind, project.name, url, [&] {
                PutScriptChars(out, module.header.title);
                out += "\\n";
                PutStampSearchText(out, module.header.body);
            });
            for (const Procedure& p : module.procedures) {
                entry(p.name, p.kind, module.name, url + "#" + Fragment(p.anchor), [&] {
                    if (p.hasStamp) PutStampSearchText(out, p.stamp.Unpack());
                });
            }
        }
    }
    out += "];\n";
    return out;
}

std::string JsonLines(const std::vector<std::u16string>& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) joined += (i > 0 ? "\n" : "") + U(lines[i]);
    return JsonString(joined);
}

std::string StampJson(const ReadStamp& stamp, const std::string& indent) {
    std::string out = "{\n" + indent + "  \"items\": [";
    for (std::size_t i = 0; i < stamp.items.size(); ++i) {
        const ReadItem& item = stamp.items[i];
        out += (i > 0 ? "," : "") + std::string("\n") + indent + "    {\"name\": " + JsonString(U(item.name)) +
               ", \"value\": " + JsonLines(item.values) + ", \"arguments\": [";
        for (std::size_t a = 0; a < item.arguments.size(); ++a) {
            out += (a > 0 ? ", " : "") + std::string("{\"name\": ") + JsonString(U(item.arguments[a].name)) +
                   ", \"description\": " + JsonString(U(item.arguments[a].description)) + "}";
        }
        out += "]}";
    }
    out += (stamp.items.empty() ? "]" : "\n" + indent + "  ]") + std::string(",\n") + indent + "  \"text\": [";
    for (std::size_t i = 0; i < stamp.text.size(); ++i) out += (i > 0 ? ", " : "") + JsonString(U(stamp.text[i].text));
    return out + "]\n" + indent + "}";
}

std::string RefsJson(const Project& project, const std::vector<ProcedureRef>& refs) {
    std::string out = "[";
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const Module& module = project.modules[refs[i].module];
        const Procedure& p = module.procedures[refs[i].procedure];
        out += (i > 0 ? ", " : "") + std::string("{\"module\": ") + JsonString(U(module.name)) + ", \"name\": " + JsonString(U(p.name)) +
               ", \"kind\": " + JsonString(p.kind) + "}";
    }
    return out + "]";
}

// A GitHub-style heading anchor: lower case, blanks to "-", punctuation left out.
std::string MarkdownSlug(const std::string& heading) {
    std::string out;
    for (const char c : heading) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || std::isalnum(u) != 0 || c == '_' || c == '-') {
            out += static_cast<char>(std::tolower(u));
        } else if (c == ' ') {
            out += '-';
        }
    }
    return out;
}

std::string Fence(const std::string& code) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const char c : code) {
        run = c == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return std::string(std::max<std::size_t>(3, longest + 1), '`');
}

std::string MarkdownLines(const std::vector<std::u16string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i > 0 ? "<br>" : "") + MarkdownText(U(lines[i]));
    return out;
}

std::string MarkdownItems(const ReadStamp& stamp) {
    std::string out;
    for (const ReadItem& item : stamp.items) {
        out += "- **" + MarkdownText(U(item.name)) + "**: ";
        if (item.listsArguments && !item.arguments.empty()) {
            out += "\n";
            for (const StampArgument& a : item.arguments) {
                out += "  - " + MarkdownText(U(a.name)) + " — " + MarkdownText(U(a.description)) + "\n";
            }
        } else {
            out += MarkdownLines(item.values) + "\n";
        }
    }
    for (const StampText& t : stamp.text) out += "\n> " + MarkdownText(U(t.text)) + "\n";
    return out;
}

}  // namespace

std::string HtmlText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    PutHtml(out, utf8);
    return out;
}

std::string MarkdownText(std::string_view utf8) {
    std::string out;
    for (const char c : utf8) {
        if (c == '\n' || c == '\r' || c == '\t') {
            out += ' ';
        } else if (const char* entity = HtmlEntityOf(c)) {
            out += entity;
        } else if (std::string_view("\\`*_{}[]()#+-.!|~").find(c) != std::string_view::npos) {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            out += "\xEF\xBF\xBD";
        } else {
            out += c;
        }
    }
    return out;
}

void HtmlSite(const DocSet& set, const FileSink& put) {
    put("index.html", IndexPage(set));
    for (const Project& project : set.projects) {
        const Names names(project);
        put("projects/" + project.page + ".html", ProjectPage(project, set.date));
        for (std::size_t m = 0; m < project.modules.size(); ++m) {
            if (!project.modules[m].problem.empty() || project.modules[m].listedBefore) continue;
            put("modules/" + project.modules[m].page + ".html", ModulePage(set, project, m, names, set.date));
        }
    }
    put("assets/quillmark.css", kStyleSheet);
    put("assets/search.js", kSearchScript);
    put("assets/search-index.js", SearchIndex(set));
    put("assets/icon.svg", kIcon);
}

std::string DocJson(const DocSet& set) {
    std::string out = "{\n  \"generator\": " + JsonString(kProduct) + ",\n  \"date\": " + JsonString(set.date) +
                      ",\n  \"publicOnly\": " + (set.publicOnly ? "true" : "false") + ",\n  \"projects\": [";
    for (std::size_t pi = 0; pi < set.projects.size(); ++pi) {
        const Project& project = set.projects[pi];
        out += (pi > 0 ? "," : "") + std::string("\n    {\n      \"name\": ") + JsonString(U(project.name)) +
               ",\n      \"file\": " + (project.file.empty() ? "null" : JsonString(project.file)) + ",\n      \"problems\": [";
        for (std::size_t i = 0; i < project.problems.size(); ++i) out += (i > 0 ? ", " : "") + JsonString(project.problems[i]);
        out += "],\n      \"modules\": [";
        for (std::size_t m = 0; m < project.modules.size(); ++m) {
            const Module& module = project.modules[m];
            out += (m > 0 ? "," : "") + std::string("\n        {\n          \"name\": ") + JsonString(U(module.name)) +
                   ",\n          \"file\": " + JsonString(module.file) + ",\n          \"kind\": " + JsonString(module.kind) +
                   ",\n          \"unreadable\": " + (module.problem.empty() ? "null" : JsonString(module.problem)) +
                   ",\n          \"header\": ";
            const ModuleHeaderRead& h = module.header;
            if (!h.found) {
                out += "null";
            } else {
                out += "{\"title\": " + JsonString(U(h.title)) + ", \"file\": " + JsonString(U(h.file)) +
                       ", \"version\": " + JsonString(U(h.version)) + ", \"date\": " + JsonString(U(h.date)) +
                       ", \"author\": " + JsonString(U(h.author)) + ", \"body\": " + StampJson(h.body, "          ") + "}";
            }
            out += ",\n          \"edits\": [";
            for (std::size_t e = 0; e < module.edits.size(); ++e) {
                const Edit& edit = module.edits[e];
                out += (e > 0 ? ", " : "") + std::string("{\"editor\": ") + JsonString(U(edit.editor)) +
                       ", \"date\": " + JsonString(U(edit.date)) + ", \"firstLine\": " + std::to_string(edit.firstLine) +
                       ", \"lastLine\": " + (edit.lastLine == 0 ? std::string("null") : std::to_string(edit.lastLine)) + "}";
            }
            out += "],\n          \"procedures\": [";
            for (std::size_t p = 0; p < module.procedures.size(); ++p) {
                const Procedure& proc = module.procedures[p];
                const std::string in = "            ";
                out += (p > 0 ? "," : "") + std::string("\n") + in + "{\n" + in + "  \"name\": " + JsonString(U(proc.name)) + ",\n" + in +
                       "  \"kind\": " + JsonString(proc.kind) + ",\n" + in + "  \"scope\": " + JsonString(proc.scope) + ",\n" + in +
                       "  \"line\": " + std::to_string(proc.line) + ",\n" + in + "  \"anchor\": " + JsonString(proc.anchor) + ",\n" + in +
                       "  \"declaration\": " + JsonString(U(proc.declaration)) + ",\n" + in +
                       "  \"stamp\": " + (proc.hasStamp ? StampJson(proc.stamp.Unpack(), in + "  ") : std::string("null")) + ",\n" + in +
                       "  \"calls\": " + RefsJson(project, proc.calls) + ",\n" + in +
                       "  \"calledBy\": " + RefsJson(project, proc.calledBy) + "\n" + in + "}";
            }
            out += module.procedures.empty() ? "]\n        }" : "\n          ]\n        }";
        }
        out += project.modules.empty() ? "]\n    }" : "\n      ]\n    }";
    }
    return out + (set.projects.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void MarkdownPages(const DocSet& set, const FileSink& put) {
    std::string index = "# VB6 リファレンス\n\n";
    for (const Project& project : set.projects) {
        index +=
            "## " + MarkdownText(U(project.name)) + "\n\n| モジュール | 種類 | ヘッダー | スタンプあり | なし |\n|---|---|---|---:|---:|\n";
        for (std::size_t m = 0; m < project.modules.size(); ++m) {
            const Module& module = project.modules[m];
            if (!module.problem.empty()) {
                index += "| " + MarkdownText(U(module.name)) + " | " + module.kind + " | 読めません: " + MarkdownText(module.problem) +
                         " | | |\n";
                continue;
            }
            const int stamped = Stamped(module);
            index += "| [" + MarkdownText(U(module.name)) + "](" + PathUri(module.page) + ".md) | " + module.kind + " | " +
                     MarkdownText(HeaderLine(module)) + " | " + std::to_string(stamped) + " | " +
                     std::to_string(static_cast<int>(module.procedures.size()) - stamped) + " |\n";
            // A file listed before has its page already.
            if (module.listedBefore) continue;

            std::string page = "# " + MarkdownText(U(module.name)) + "\n\n" + module.kind + " · " + MarkdownText(module.shown) + "\n\n";
            if (module.header.found) {
                const auto& h = module.header;
                page += "## モジュール ヘッダー\n\n";
                if (!h.file.empty()) page += "- **ファイル**: " + MarkdownText(U(h.file)) + "\n";
                if (!h.version.empty()) page += "- **版**: " + MarkdownText(U(h.version)) + "\n";
                if (!h.date.empty()) page += "- **日付**: " + MarkdownText(U(h.date)) + "\n";
                if (!h.author.empty()) page += "- **作成者**: " + MarkdownText(U(h.author)) + "\n";
                page += MarkdownItems(h.body) + "\n";
            }
            if (!module.edits.empty()) {
                page += "## 編集記録\n\n| 編集者 | 日付 | 行 |\n|---|---|---|\n";
                for (const Edit& e : module.edits) {
                    page += "| " + MarkdownText(U(e.editor)) + " | " + MarkdownText(U(e.date)) + " | " + std::to_string(e.firstLine) + "–" +
                            (e.lastLine == 0 ? std::string("?") : std::to_string(e.lastLine)) + " |\n";
                }
                page += "\n";
            }
            page += "## 手続き\n\n";
            for (const Procedure& p : module.procedures) {
                const std::string heading = U(p.name) + " (" + p.kind + ")";
                page += "- [" + MarkdownText(heading) + "](#" + Fragment(MarkdownSlug(heading)) + ")\n";
            }
            for (const Procedure& p : module.procedures) {
                const std::string heading = U(p.name) + " (" + p.kind + ")";
                const std::string declaration = U(p.declaration);
                page += "\n### " + MarkdownText(heading) + "\n\n" + (p.scope.empty() ? std::string() : p.scope + " · ") + "行 " +
                        std::to_string(p.line) + (p.hasStamp ? "" : " · **スタンプなし**") + "\n\n";
                const std::string fence = Fence(declaration);
                page += fence + "vb\n" + declaration + "\n" + fence + "\n\n";
                if (p.hasStamp) page += MarkdownItems(p.stamp.Unpack());
                // The calls and callers in every project that lists the file, each once.
                const std::size_t at = static_cast<std::size_t>(&p - module.procedures.data());
                const auto refs = [&](const char* label, std::vector<ProcedureRef> Procedure::*list) {
                    std::vector<std::string> links;
                    const auto add = [&](const Project& there, std::size_t from, const std::vector<ProcedureRef>& found) {
                        for (const ProcedureRef& r : found) {
                            const Module& other = there.modules[r.module];
                            const Procedure& target = other.procedures[r.procedure];
                            const std::string h = U(target.name) + " (" + target.kind + ")";
                            std::string link = " [" + MarkdownText((r.module == from ? "" : U(other.name) + ".") + U(target.name)) + "](" +
                                               (r.module == from ? "" : PathUri(other.page) + ".md") + "#" + Fragment(MarkdownSlug(h)) +
                                               ")";
                            if (std::find(links.begin(), links.end(), link) == links.end()) links.push_back(std::move(link));
                        }
                    };
                    add(project, m, p.*list);
                    for (const Listing& other : module.alsoIn) {
                        const Project& there = set.projects[other.project];
                        const Module& same = there.modules[other.module];
                        if (at < same.procedures.size() && same.procedures[at].anchor == p.anchor)
                            add(there, other.module, same.procedures[at].*list);
                    }
                    if (links.empty()) return;
                    page += "\n" + std::string(label) + ":";
                    for (const std::string& link : links) page += link;
                    page += "\n";
                };
                refs("呼び出し先", &Procedure::calls);
                refs("呼び出し元", &Procedure::calledBy);
            }
            page += "\n---\n" + std::string(kProduct) + " · " + set.date + " 作成\n";
            put(module.page + ".md", page);
        }
        for (const std::string& problem : project.problems) index += "\n読めません: " + MarkdownText(problem) + "\n";
        index += "\n";
    }
    index += "---\n" + std::string(kProduct) + " · " + set.date + " 作成\n";
    put("README.md", index);
}

}  // namespace qm::cli::doc
