#include "platform/sim/regfile.h"

#include <optional>

#include "platform/bytes.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm {
namespace {

constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";

std::string Narrow(std::u16string_view text) { return Utf16ToUtf8(text); }

// One entry of the file, before anything is applied.
struct Entry {
    enum Kind { Key, DeleteKey, Value, DeleteValue } kind;
    Hive hive = Hive::CurrentUser;
    std::u16string path;
    std::u16string name;
    std::uint32_t type = regtype::None;
    std::string data;
};

std::optional<Hive> ParseHive(std::u16string_view name) {
    const std::u16string folded = FoldAscii(name);
    if (folded == u"hkey_current_user" || folded == u"hkcu") return Hive::CurrentUser;
    if (folded == u"hkey_local_machine" || folded == u"hklm") return Hive::LocalMachine;
    if (folded == u"hkey_classes_root" || folded == u"hkcr") return Hive::ClassesRoot;
    if (folded == u"hkey_users" || folded == u"hku") return Hive::Users;
    return std::nullopt;
}

std::u16string_view TrimSpace(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
    return s;
}

class Parser {
public:
    Parser(std::vector<std::u16string> lines, bool unicode, const Codepage& codepage)
        : lines_(std::move(lines)), unicode_(unicode), codepage_(codepage) {}

    std::vector<Entry> Run() {
        std::vector<Entry> entries;
        bool haveKey = false;
        Hive hive = Hive::CurrentUser;
        std::u16string path;
        std::size_t i = header_ + 1;
        while (i < lines_.size()) {
            const int lineNo = static_cast<int>(i) + 1;
            std::u16string_view line = TrimSpace(lines_[i]);
            ++i;
            if (line.empty() || line.front() == u';') continue;
            if (line.front() == u'[') {
                const auto close = line.rfind(u']');
                if (close == std::u16string_view::npos) throw RegFileError(lineNo, "key line without \"]\"");
                std::u16string_view full = line.substr(1, close - 1);
                const bool remove = !full.empty() && full.front() == u'-';
                if (remove) full.remove_prefix(1);
                const auto slash = full.find(u'\\');
                const auto parsedHive = ParseHive(full.substr(0, slash));
                if (!parsedHive) throw RegFileError(lineNo, "unknown root key \"" + Narrow(full.substr(0, slash)) + "\"");
                hive = *parsedHive;
                path = slash == std::u16string_view::npos ? std::u16string() : std::u16string(full.substr(slash + 1));
                haveKey = !remove;
                entries.push_back({remove ? Entry::DeleteKey : Entry::Key, hive, path, {}, regtype::None, {}});
                continue;
            }
            if (line.front() != u'"' && line.front() != u'@') {
                throw RegFileError(lineNo, "expected a key in [ ] or a value, found \"" + Narrow(line.substr(0, 20)) + "\"");
            }
            if (!haveKey) throw RegFileError(lineNo, "value outside of a key");
            std::size_t pos = 0;
            std::u16string name;
            if (line.front() == u'@') {
                pos = 1;
            } else {
                name = ReadQuoted(line, pos, lineNo);
            }
            while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t')) ++pos;
            if (pos >= line.size() || line[pos] != u'=') throw RegFileError(lineNo, "expected \"=\" after the value name");
            std::u16string_view data = TrimSpace(line.substr(pos + 1));
            Entry entry{Entry::Value, hive, path, name, regtype::None, {}};
            if (data == u"-") {
                entry.kind = Entry::DeleteValue;
            } else if (!data.empty() && data.front() == u'"') {
                std::size_t p = 0;
                const std::u16string text = ReadQuoted(data, p, lineNo);
                const std::u16string_view rest = TrimSpace(data.substr(p));
                if (!rest.empty() && rest.front() != u';') throw RegFileError(lineNo, "text after the closing quote");
                entry.type = regtype::Sz;
                entry.data = codepage_.ToAnsi(text);
            } else if (FoldAscii(data.substr(0, 6)) == u"dword:") {
                const std::u16string_view digits = TrimSpace(data.substr(6));
                std::uint32_t number = 0;
                if (digits.empty() || digits.size() > 8) throw RegFileError(lineNo, "a dword needs 1 to 8 hex digits");
                for (const char16_t c : digits) {
                    const int d = HexValue(c);
                    if (d < 0) throw RegFileError(lineNo, "a dword needs 1 to 8 hex digits");
                    number = number * 16 + static_cast<std::uint32_t>(d);
                }
                entry.type = regtype::Dword;
                for (int b = 0; b < 4; ++b) entry.data.push_back(static_cast<char>((number >> (8 * b)) & 0xFF));
            } else if (FoldAscii(data.substr(0, 3)) == u"hex") {
                std::u16string joined(data);
                // Hex data may run over several lines, each but the last ending in "\". The pieces are
                // trimmed as they come, so the whole value is joined in time linear in its length.
                while (!joined.empty() && joined.back() == u'\\') {
                    joined.pop_back();
                    if (i >= lines_.size()) throw RegFileError(lineNo, "hex data end with \"\\\" on the last line");
                    joined += TrimSpace(lines_[i++]);
                }
                ParseHex(joined, entry, lineNo);
            } else {
                throw RegFileError(lineNo, "unknown value data \"" + Narrow(data.substr(0, 20)) + "\"");
            }
            entries.push_back(std::move(entry));
        }
        return entries;
    }

    // Finds the header line; throws when the file does not start with one.
    void ReadHeader() {
        for (header_ = 0; header_ < lines_.size(); ++header_) {
            if (!TrimSpace(lines_[header_]).empty()) break;
        }
        const std::u16string_view first = header_ < lines_.size() ? TrimSpace(lines_[header_]) : std::u16string_view();
        if (first != kHeader4 && first != kHeader5) {
            throw RegFileError(header_ < lines_.size() ? static_cast<int>(header_) + 1 : 1,
                               "not a registry file (expected \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\")");
        }
    }

private:
    static std::u16string ReadQuoted(std::u16string_view s, std::size_t& pos, int lineNo) {
        std::u16string out;
        std::size_t p = pos + 1;
        while (true) {
            if (p >= s.size()) throw RegFileError(lineNo, "missing closing quote");
            const char16_t c = s[p];
            if (c == u'"') break;
            if (c == u'\\' && p + 1 < s.size() && (s[p + 1] == u'\\' || s[p + 1] == u'"')) {
                out.push_back(s[p + 1]);
                p += 2;
                continue;
            }
            out.push_back(c);
            ++p;
        }
        pos = p + 1;
        return out;
    }

    void ParseHex(std::u16string_view data, Entry& entry, int lineNo) const {
        std::size_t p = 3;
        std::uint32_t type = regtype::Binary;
        if (p < data.size() && data[p] == u'(') {
            const auto close = data.find(u')', p);
            if (close == std::u16string_view::npos || close == p + 1) throw RegFileError(lineNo, "bad hex type");
            type = 0;
            for (std::size_t k = p + 1; k < close; ++k) {
                const int d = HexValue(data[k]);
                if (d < 0) throw RegFileError(lineNo, "bad hex type");
                type = type * 16 + static_cast<std::uint32_t>(d);
            }
            p = close + 1;
        }
        if (p >= data.size() || data[p] != u':') throw RegFileError(lineNo, "expected \":\" after hex");
        ++p;
        std::string bytes;
        std::u16string_view rest = TrimSpace(data.substr(p));
        while (!rest.empty()) {
            const auto comma = rest.find(u',');
            const std::u16string_view item = TrimSpace(rest.substr(0, comma));
            if (item.size() != 2 || HexValue(item[0]) < 0 || HexValue(item[1]) < 0) {
                throw RegFileError(lineNo, "bad hex byte \"" + Narrow(item) + "\"");
            }
            bytes.push_back(static_cast<char>(HexValue(item[0]) * 16 + HexValue(item[1])));
            if (comma == std::u16string_view::npos) break;
            rest = rest.substr(comma + 1);
            if (TrimSpace(rest).empty()) throw RegFileError(lineNo, "hex data end with \",\"");
        }
        entry.type = type;
        if (unicode_ && (type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz)) {
            // The Unicode form holds these as UTF-16LE; the ANSI view holds them in the code page.
            std::u16string wide;
            for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
                wide.push_back(
                    static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) | (static_cast<unsigned char>(bytes[k + 1]) << 8)));
            }
            entry.data = codepage_.ToAnsi(wide);
        } else {
            entry.data = bytes;
        }
    }

    std::vector<std::u16string> lines_;
    bool unicode_;
    const Codepage& codepage_;
    std::size_t header_ = 0;
};

std::vector<std::u16string> SplitLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find(u'\n', start);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

std::u16string Quote(std::u16string_view text) {
    std::u16string out = u"\"";
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'"') out.push_back(u'\\');
        out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

std::u16string HexData(std::u16string head, const std::string& bytes) {
    std::size_t column = head.size();
    std::u16string out = std::move(head);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(HexDigit(b >> 4));
        out.push_back(HexDigit(b));
        column += 2;
        if (i + 1 < bytes.size()) {
            out.push_back(u',');
            ++column;
            if (column > 75) {
                out += u"\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

}  // namespace

void ImportRegFile(std::string_view bytes, const Codepage& codepage, MemoryRegistry& into) {
    std::u16string text;
    bool unicode = false;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        unicode = true;
        if (bytes.size() % 2 != 0) throw RegFileError(1, "UTF-16 file with an odd number of bytes");
        for (std::size_t k = 2; k + 1 < bytes.size(); k += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) | (static_cast<unsigned char>(bytes[k + 1]) << 8)));
        }
    } else {
        // Decode line by line so that a bad byte is reported with its line.
        std::size_t start = 0;
        int lineNo = 1;
        while (start <= bytes.size()) {
            auto end = bytes.find('\n', start);
            const bool last = end == std::string_view::npos;
            if (last) end = bytes.size();
            bool valid = true;
            text += codepage.FromAnsi(bytes.substr(start, end - start), &valid);
            if (!valid) throw RegFileError(lineNo, "bytes that are not valid in code page 932");
            if (last) break;
            text.push_back(u'\n');
            start = end + 1;
            ++lineNo;
        }
    }
    Parser parser(SplitLines(text), unicode, codepage);
    parser.ReadHeader();
    const std::vector<Entry> entries = parser.Run();
    for (const Entry& entry : entries) {
        RegKey key = 0;
        switch (entry.kind) {
            case Entry::Key:
                if (into.CreateKey(entry.hive, entry.path, &key) == RegStatus::Success) into.CloseKey(key);
                break;
            case Entry::DeleteKey:
                into.DeleteTree(entry.hive, entry.path);
                break;
            case Entry::Value:
            case Entry::DeleteValue:
                if (into.CreateKey(entry.hive, entry.path, &key) != RegStatus::Success) break;
                if (entry.kind == Entry::Value) {
                    into.SetValue(key, entry.name, entry.type, reinterpret_cast<const std::uint8_t*>(entry.data.data()),
                                  static_cast<std::uint32_t>(entry.data.size()));
                } else {
                    into.DeleteValue(key, entry.name);
                }
                into.CloseKey(key);
                break;
        }
    }
}

std::string ExportRegFile(const std::vector<RegKeyContent>& keys, const Codepage& codepage) {
    std::u16string out = std::u16string(kHeader4) + u"\r\n\r\n";
    for (const RegKeyContent& key : keys) {
        out += u"[";
        out += HiveName(key.hive);
        if (!key.path.empty()) out += u"\\" + key.path;
        out += u"]\r\n";
        for (const RegValue& value : key.values) {
            std::u16string line = value.name.empty() ? u"@" : Quote(value.name);
            line += u"=";
            bool valid = true;
            const std::u16string text = codepage.FromAnsi(value.data, &valid);
            const bool plainText = value.type == regtype::Sz && valid &&
                                   value.data.find_first_of(std::string("\0\r\n", 3)) == std::string::npos &&
                                   codepage.ToAnsi(text) == value.data;
            if (plainText) {
                line += Quote(text);
            } else if (value.type == regtype::Dword && value.data.size() == 4) {
                const std::uint32_t number = UnpackLe32(value.data);
                line += u"dword:";
                for (int shift = 28; shift >= 0; shift -= 4) line.push_back(HexDigit(number >> shift));
            } else if (value.type == regtype::Binary) {
                line = HexData(line + u"hex:", value.data);
            } else {
                std::u16string type;
                for (std::uint32_t t = value.type; t > 0 || type.empty(); t /= 16) type.insert(type.begin(), HexDigit(t % 16));
                line = HexData(line + u"hex(" + type + u"):", value.data);
            }
            out += line + u"\r\n";
        }
        out += u"\r\n";
    }
    return codepage.ToAnsi(out);
}

RegFileRegistry::RegFileRegistry(std::string path, const Codepage& codepage, bool readOnly)
    : path_(std::move(path)), codepage_(codepage), readOnly_(readOnly) {
    if (!readOnly_) lock_ = std::make_unique<FileLock>(path_);
    if (!FileExists(path_)) return;
    const std::string bytes = ReadWholeFile(path_);
    // A file just made empty (touch .quillmark.reg) holds nothing yet.
    if (bytes.empty()) return;
    // Nothing is written back while the file is read; a file that cannot be read leaves nothing applied.
    loading_ = true;
    ImportRegFile(bytes, codepage_, *this);
    loading_ = false;
}

RegStatus RegFileRegistry::Write(const std::vector<RegKeyContent>& keys) {
    if (readOnly_) return RegStatus::Success;
    try {
        WriteFileAtomically(path_, ExportRegFile(keys, codepage_));
        writeError_.clear();
        return RegStatus::Success;
    } catch (const PlatformError& e) {
        writeError_ = e.what();
        return RegStatus::Failure;
    }
}

RegStatus RegFileRegistry::Changed() {
    if (readOnly_ || loading_) return RegStatus::Success;
    return Write(Keys());
}

RegStatus RegFileRegistry::ReplaceAll(const std::vector<RegKeyContent>& keys) {
    const RegStatus status = Write(keys);
    if (status == RegStatus::Success) Assign(keys);
    return status;
}

}  // namespace qm
