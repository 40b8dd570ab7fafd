#include "cli/findings.h"

#include <cstdint>
#include <sstream>

#include "cli/common.h"
#include "platform/text.h"

namespace qm::cli {

const std::vector<CheckRule>& CheckRules() {
    static const std::vector<CheckRule> rules = {
        {"no-stamp", "The procedure has no function-description stamp."},
        {"stamp-names-other", "The function-name item of the stamp names another procedure."},
        {"arguments-differ", "The argument item of the stamp lists other arguments than the declaration."},
        {"no-module-header", "The module has no module header."},
        {"return-value-differs", "The return-value item of the stamp contradicts the declaration."},
    };
    return rules;
}

void AppendQuotedByte(std::string& out, char c, ControlEscape controls) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\r':
            if (controls == ControlEscape::Json) {
                out += "\\r";
                return;
            }
            break;
        default:
            break;
    }
    if (b >= 0x20 && b != 0x7f) {
        out.push_back(c);
    } else if (controls == ControlEscape::Json) {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\u00";
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    } else {
        out.push_back('\\');
        out.push_back(static_cast<char>('0' + (b >> 6)));
        out.push_back(static_cast<char>('0' + ((b >> 3) & 7)));
        out.push_back(static_cast<char>('0' + (b & 7)));
    }
}

void AppendJsonChar(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        AppendQuotedByte(out, static_cast<char>(cp), ControlEscape::Json);
    } else if (cp == 0x2028) {
        out += "\\u2028";
    } else if (cp == 0x2029) {
        out += "\\u2029";
    } else {
        AppendUtf8(out, cp);
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    out.push_back('"');
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Character c = DecodeUtf8(text, i);
        if (c.length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        AppendJsonChar(out, c.code);
        i += c.length;
    }
    out.push_back('"');
}

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

std::string PathUri(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : path) {
        const auto b = static_cast<unsigned char>(ch);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
                                b == '_' || b == '~' || b == '/';
        if (b == '\\') {
            out.push_back('/');
        } else if (unreserved) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

std::optional<FindingsFormat> FindingsFormatNamed(std::string_view name) {
    if (name == "text") return FindingsFormat::Text;
    if (name == "json") return FindingsFormat::Json;
    if (name == "sarif") return FindingsFormat::Sarif;
    return std::nullopt;
}

FindingsWriter::FindingsWriter(std::ostream& out, FindingsFormat format, std::string_view version)
    : out_(out), format_(format), version_(version) {}

void FindingsWriter::Put() {
    out_.write(piece_.data(), static_cast<std::streamsize>(piece_.size()));
    piece_.clear();
}

void FindingsWriter::Begin() {
    if (format_ == FindingsFormat::Json) {
        piece_ += "[";
    } else if (format_ == FindingsFormat::Sarif) {
        piece_ +=
            "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n  \"version\": \"2.1.0\",\n  \"runs\": [\n    {\n"
            "      \"tool\": {\n        \"driver\": {\n          \"name\": \"quillmark\",\n          \"version\": ";
        AppendJsonString(piece_, version_);
        piece_ += ",\n          \"rules\": [";
        const auto& rules = CheckRules();
        for (std::size_t i = 0; i < rules.size(); ++i) {
            piece_ += i == 0 ? "\n            {\"id\": " : ",\n            {\"id\": ";
            AppendJsonString(piece_, rules[i].id);
            piece_ += ", \"shortDescription\": {\"text\": ";
            AppendJsonString(piece_, rules[i].description);
            piece_ += "}}";
        }
        piece_ += "\n          ]\n        }\n      },\n      \"results\": [";
    }
    Put();
}

void FindingsWriter::Add(const Finding& f) {
    const bool first = count_++ == 0;
    switch (format_) {
        case FindingsFormat::Text:
            piece_ += Printable(f.file);
            piece_ += ':';
            piece_ += std::to_string(f.line);
            piece_ += ": ";
            piece_ += Printable(f.procedure + ": " + f.message);
            piece_ += '\n';
            break;
        case FindingsFormat::Json:
            piece_ += first ? "\n  {\"file\": " : ",\n  {\"file\": ";
            AppendJsonString(piece_, f.file);
            piece_ += ", \"line\": ";
            piece_ += std::to_string(f.line);
            piece_ += ", \"procedure\": ";
            AppendJsonString(piece_, f.procedure);
            piece_ += ", \"rule\": ";
            AppendJsonString(piece_, f.rule);
            piece_ += ", \"message\": ";
            AppendJsonString(piece_, f.message);
            piece_ += '}';
            break;
        case FindingsFormat::Sarif: {
            const auto& rules = CheckRules();
            std::size_t index = 0;
            while (index < rules.size() && f.rule != rules[index].id) ++index;
            piece_ += first ? "\n        {\"ruleId\": " : ",\n        {\"ruleId\": ";
            AppendJsonString(piece_, f.rule);
            piece_ += ", \"ruleIndex\": ";
            piece_ += std::to_string(index);
            piece_ += ", \"level\": \"warning\", \"message\": {\"text\": ";
            AppendJsonString(piece_, f.procedure + ": " + f.message);
            piece_ += "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": ";
            AppendJsonString(piece_, PathUri(f.file));
            piece_ += "}, \"region\": {\"startLine\": ";
            piece_ += std::to_string(f.line < 1 ? 1 : f.line);
            piece_ += "}}}]}";
            break;
        }
    }
    Put();
}

void FindingsWriter::End() {
    const bool none = count_ == 0;
    if (format_ == FindingsFormat::Json) {
        piece_ += none ? "]\n" : "\n]\n";
    } else if (format_ == FindingsFormat::Sarif) {
        piece_ += none ? "]\n    }\n  ]\n}\n" : "\n      ]\n    }\n  ]\n}\n";
    }
    Put();
}

namespace {

std::string Whole(const std::vector<Finding>& findings, FindingsFormat format, std::string_view version) {
    std::ostringstream out;
    FindingsWriter writer(out, format, version);
    writer.Begin();
    for (const Finding& f : findings) writer.Add(f);
    writer.End();
    return std::move(out).str();
}

}  // namespace

std::string FindingsText(const std::vector<Finding>& findings) { return Whole(findings, FindingsFormat::Text, {}); }

std::string FindingsJson(const std::vector<Finding>& findings) { return Whole(findings, FindingsFormat::Json, {}); }

std::string FindingsSarif(const std::vector<Finding>& findings, std::string_view version) {
    return Whole(findings, FindingsFormat::Sarif, version);
}

}  // namespace qm::cli
