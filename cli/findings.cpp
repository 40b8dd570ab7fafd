#include "cli/findings.h"

#include <cstdint>

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

std::string FindingsText(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += Printable(f.file) + ":" + std::to_string(f.line) + ": " + Printable(f.procedure + ": " + f.message) + "\n";
    }
    return out;
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

std::string JsonString(std::string_view text) {
    std::string out = "\"";
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
    return out + "\"";
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

std::string FindingsJson(const std::vector<Finding>& findings) {
    std::string out = "[";
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        out += std::string(i == 0 ? "\n" : ",\n") + "  {\"file\": " + JsonString(f.file) + ", \"line\": " + std::to_string(f.line) +
               ", \"procedure\": " + JsonString(f.procedure) + ", \"rule\": " + JsonString(f.rule) +
               ", \"message\": " + JsonString(f.message) + "}";
    }
    return out + (findings.empty() ? "]\n" : "\n]\n");
}

std::string FindingsSarif(const std::vector<Finding>& findings, std::string_view version) {
    std::string out =
        "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n  \"version\": \"2.1.0\",\n  \"runs\": [\n    {\n"
        "      \"tool\": {\n        \"driver\": {\n          \"name\": \"quillmark\",\n          \"version\": " +
        JsonString(version) + ",\n          \"rules\": [";
    const auto& rules = CheckRules();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        out += std::string(i == 0 ? "\n" : ",\n") + "            {\"id\": " + JsonString(rules[i].id) +
               ", \"shortDescription\": {\"text\": " + JsonString(rules[i].description) + "}}";
    }
    out += "\n          ]\n        }\n      },\n      \"results\": [";
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        std::size_t index = 0;
        while (index < rules.size() && f.rule != rules[index].id) ++index;
        out += std::string(i == 0 ? "\n" : ",\n") + "        {\"ruleId\": " + JsonString(f.rule) +
               ", \"ruleIndex\": " + std::to_string(index) +
               ", \"level\": \"warning\", \"message\": {\"text\": " + JsonString(f.procedure + ": " + f.message) +
               "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " + JsonString(PathUri(f.file)) +
               "}, \"region\": {\"startLine\": " + std::to_string(f.line < 1 ? 1 : f.line) + "}}}]}";
    }
    out += findings.empty() ? "]\n    }\n  ]\n}\n" : "\n      ]\n    }\n  ]\n}\n";
    return out;
}

}  // namespace qm::cli
