#include "help/compiler/html_help.h"

#include "platform/text.h"

namespace qm::help {

namespace {

constexpr char kMeta[] = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n";

class Html {
public:
    explicit Html(const Codepage& codepage) : codepage_(codepage) {}

    // Text for an HTML page or attribute value, in Shift_JIS.
    std::string Text(std::u16string_view text) const {
        if (!codepage_.CanEncode(text)) {
            throw HelpSourceError(0, "\"" + Utf16ToUtf8(text) + "\" has a character that code page 932 cannot write");
        }
        std::string out;
        for (char c : codepage_.ToAnsi(text)) {
            if (const char* entity = HtmlEntityOf(c)) {
                out += entity;
            } else {
                out.push_back(c);
            }
        }
        return out;
    }

    std::string Line(const HelpSource& source, const qm::help::Line& line) const {
        std::string out;
        for (const Span& span : line) {
            if (span.target.empty()) {
                out += Text(span.text);
            } else {
                out += "<a href=\"" + PageName(*source.Find(span.target)) + "\">" + Text(span.text) + "</a>";
            }
        }
        return out;
    }

private:
    const Codepage& codepage_;
};

std::string Ascii(std::u16string_view text) { return Utf16ToUtf8(text); }

std::string SitemapEntry(const std::string& name, const std::string& page) {
    std::string out = "<LI><OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" value=\"" + name + "\">\r\n";
    if (!page.empty()) out += "<param name=\"Local\" value=\"" + page + "\">\r\n";
    return out + "</OBJECT>\r\n";
}

std::string Page(const HelpSource& source, const Topic& topic, const Html& html) {
    std::string out = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<html>\r\n<head>\r\n";
    out += kMeta;
    out += "<title>" + html.Text(topic.title) + "</title>\r\n";
    out += "<link rel=\"stylesheet\" type=\"text/css\" href=\"quillmark.css\">\r\n</head>\r\n<body>\r\n";
    out += "<h1>" + html.Text(topic.title) + "</h1>\r\n";
    bool inList = false;
    for (const Paragraph& paragraph : topic.paragraphs) {
        const bool bullet = paragraph.kind == ParagraphKind::Bullet;
        if (bullet && !inList) out += "<ul>\r\n";
        if (!bullet && inList) out += "</ul>\r\n";
        inList = bullet;
        std::string lines;
        for (std::size_t i = 0; i < paragraph.lines.size(); ++i) {
            if (i > 0) lines += "<br>\r\n";
            lines += html.Line(source, paragraph.lines[i]);
        }
        switch (paragraph.kind) {
            case ParagraphKind::Heading:
                out += "<h2>" + lines + "</h2>\r\n";
                break;
            case ParagraphKind::Bullet:
                out += "<li>" + lines + "</li>\r\n";
                break;
            case ParagraphKind::Body:
                out += "<p>" + lines + "</p>\r\n";
                break;
        }
    }
    if (inList) out += "</ul>\r\n";
    return out + "</body>\r\n</html>\r\n";
}

}  // namespace

std::string PageName(const Topic& topic) { return Ascii(FoldAscii(topic.id)) + ".htm"; }

std::map<std::string, std::string> WriteHtmlHelpProject(const HelpSource& source, const Codepage& codepage, std::string_view projectName,
                                                        std::string_view chmName) {
    const Html html(codepage);
    std::map<std::string, std::string> files;
    const std::string name(projectName);
    const std::string first = PageName(source.topics.front());

    std::string contents = "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n<HTML>\r\n<HEAD>\r\n";
    contents += kMeta;
    contents +=
        "</HEAD>\r\n<BODY>\r\n<OBJECT type=\"text/site properties\">\r\n<param name=\"ImageType\" "
        "value=\"Folder\">\r\n</OBJECT>\r\n<UL>\r\n";
    int book = -1;
    for (const Topic& topic : source.topics) {
        if (topic.book != book) {
            if (book >= 0) contents += "</UL>\r\n";
            if (topic.book >= 0) {
                contents += SitemapEntry(html.Text(source.books[static_cast<std::size_t>(topic.book)]), "") + "<UL>\r\n";
            }
            book = topic.book;
        }
        contents += SitemapEntry(html.Text(topic.title), PageName(topic));
    }
    if (book >= 0) contents += "</UL>\r\n";
    contents += "</UL>\r\n</BODY>\r\n</HTML>\r\n";
    files[name + ".hhc"] = contents;

    std::string index = "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n<HTML>\r\n<HEAD>\r\n";
    index += kMeta;
    index += "</HEAD>\r\n<BODY>\r\n<UL>\r\n";
    for (const Topic& topic : source.topics) index += SitemapEntry(html.Text(topic.title), PageName(topic));
    index += "</UL>\r\n</BODY>\r\n</HTML>\r\n";
    files[name + ".hhk"] = index;

    files["quillmark.css"] =
        "body { font-family: \"MS UI Gothic\", sans-serif; font-size: 10pt; margin: 8px 12px; }\r\n"
        "h1 { font-size: 14pt; color: #1f3a70; border-bottom: 1px solid #1f3a70; }\r\n"
        "h2 { font-size: 11pt; color: #1f3a70; margin-top: 12px; }\r\n"
        "p, li { line-height: 140%; }\r\n";

    for (const Topic& topic : source.topics) files[PageName(topic)] = Page(source, topic, html);

    std::string project = "[OPTIONS]\r\nCompatibility=1.1 or later\r\n";
    project += "Compiled file=" + std::string(chmName) + "\r\n";
    project += "Contents file=" + name + ".hhc\r\nIndex file=" + name + ".hhk\r\n";
    project += "Default Window=main\r\nDefault topic=" + first + "\r\n";
    project += "Display compile progress=No\r\nLanguage=0x411 Japanese\r\n";
    project += "Title=" + html.Text(source.title) + "\r\n\r\n";
    project += "[WINDOWS]\r\nmain=\"" + html.Text(source.title) + "\",\"" + name + ".hhc\",\"" + name + ".hhk\",\"" + first + "\",\"" +
               first + "\",,,,,0x63520,,0x387e,,,,,,,,0\r\n\r\n";
    project += "[FILES]\r\nquillmark.css\r\n";
    for (const Topic& topic : source.topics) project += PageName(topic) + "\r\n";
    project += "\r\n[ALIAS]\r\n";
    for (const Topic& topic : source.topics) {
        if (topic.map != 0) project += Ascii(topic.id) + "=" + PageName(topic) + "\r\n";
    }
    project += "\r\n[MAP]\r\n";
    for (const Topic& topic : source.topics) {
        if (topic.map != 0) project += "#define " + Ascii(topic.id) + " " + std::to_string(topic.map) + "\r\n";
    }
    files[name + ".hhp"] = project;
    return files;
}

}  // namespace qm::help
