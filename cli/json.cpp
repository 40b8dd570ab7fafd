#include "cli/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "cli/findings.h"
#include "platform/text.h"

namespace qm::cli {

Json::Json(double value) : type_(Type::Number), number_(value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.0e15) {
        integer_ = static_cast<std::int64_t>(value);
        isInteger_ = true;
    }
}

const Json& Json::operator[](std::string_view key) const {
    static const Json null;
    if (type_ != Type::Object) return null;
    for (const auto& [name, value] : members_) {
        if (name == key) return value;
    }
    return null;
}

bool Json::Has(std::string_view key) const {
    if (type_ != Type::Object) return false;
    for (const auto& member : members_) {
        if (member.first == key) return true;
    }
    return false;
}

Json& Json::Set(std::string key, Json value) & {
    type_ = Type::Object;
    for (auto& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return *this;
        }
    }
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Json& Json::AddNew(std::string key, Json value) & {
    type_ = Type::Object;
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Json& Json::Push(Json value) & {
    type_ = Type::Array;
    items_.push_back(std::move(value));
    return *this;
}

std::string Json::Write() const {
    std::string out;
    WriteTo(out);
    return out;
}

void Json::WriteTo(std::string& out) const {
    switch (type_) {
        case Type::Null:
            out += "null";
            break;
        case Type::Bool:
            out += bool_ ? "true" : "false";
            break;
        case Type::Number:
            if (isInteger_) {
                out += std::to_string(integer_);
            } else if (!std::isfinite(number_)) {
                out += "null";
            } else {
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%.17g", number_);
                out += buffer;
            }
            break;
        case Type::String:
            out += JsonString(text_);
            break;
        case Type::Array:
            out += '[';
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (i > 0) out += ',';
                items_[i].WriteTo(out);
            }
            out += ']';
            break;
        case Type::Object:
            out += '{';
            for (std::size_t i = 0; i < members_.size(); ++i) {
                if (i > 0) out += ',';
                out += JsonString(members_[i].first);
                out += ':';
                members_[i].second.WriteTo(out);
            }
            out += '}';
            break;
    }
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    Json Document() {
        Json value = Value(0);
        Blanks();
        if (at_ != text_.size()) Fail("more after the value");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw JsonError{what + " at byte " + std::to_string(at_)}; }

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) ++at_;
    }

    bool Take(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    Json Value(int depth) {
        if (++values_ > kMaxJsonValues) Fail("it holds too many values");
        Blanks();
        if (at_ >= text_.size()) Fail("a value is missing");
        const char c = text_[at_];
        if (c == '{') return ObjectValue(depth + 1);
        if (c == '[') return ArrayValue(depth + 1);
        if (c == '"') return Json(String());
        if (Take("true")) return Json(true);
        if (Take("false")) return Json(false);
        if (Take("null")) return Json(nullptr);
        if (c == '-' || (c >= '0' && c <= '9')) return Number();
        Fail("unexpected character");
    }

    Json ObjectValue(int depth) {
        if (depth > kMaxJsonDepth) Fail("nested too deeply");
        ++at_;
        Json object = Json::Object();
        std::unordered_set<std::string> names;
        Blanks();
        if (at_ < text_.size() && text_[at_] == '}') {
            ++at_;
            return object;
        }
        for (;;) {
            Blanks();
            if (at_ >= text_.size() || text_[at_] != '"') Fail("a member name is missing");
            std::string key = String();
            Blanks();
            if (at_ >= text_.size() || text_[at_] != ':') Fail("\":\" is missing");
            ++at_;
            if (!names.insert(key).second) Fail("a member name is given twice");
            object.AddNew(std::move(key), Value(depth));
            Blanks();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') {
                ++at_;
                return object;
            }
            Fail("\",\" or \"}\" is missing");
        }
    }

    Json ArrayValue(int depth) {
        if (depth > kMaxJsonDepth) Fail("nested too deeply");
        ++at_;
        Json array = Json::Array();
        Blanks();
        if (at_ < text_.size() && text_[at_] == ']') {
            ++at_;
            return array;
        }
        for (;;) {
            array.Push(Value(depth));
            Blanks();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') {
                ++at_;
                return array;
            }
            Fail("\",\" or \"]\" is missing");
        }
    }

    Json Number() {
        const std::size_t start = at_;
        if (text_[at_] == '-') ++at_;
        const auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return at_ - from;
        };
        const std::size_t whole = at_;
        if (digits() == 0) Fail("a digit is missing");
        if (text_[whole] == '0' && at_ - whole > 1) Fail("a number starts with 0");
        bool integral = true;
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            integral = false;
            if (digits() == 0) Fail("a digit is missing");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            integral = false;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (digits() == 0) Fail("a digit is missing");
        }
        const std::string number(text_.substr(start, at_ - start));
        if (integral && number.size() <= 16) return Json(static_cast<std::int64_t>(std::strtoll(number.c_str(), nullptr, 10)));
        return Json(std::strtod(number.c_str(), nullptr));
    }

    unsigned Hex4() {
        if (text_.size() - at_ < 4) Fail("a \\u escape is cut short");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                Fail("a \\u escape needs four hex digits");
            }
        }
        return value;
    }

    static void Append(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // One UTF-8 character taken as it stands; anything that is not one is refused.
    void Character(std::string& out) {
        const Utf8Character character = DecodeUtf8(text_, at_);
        if (character.length == 0) Fail("not UTF-8");
        out.append(text_.substr(at_, character.length));
        at_ += character.length;
    }

    std::string String() {
        ++at_;
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) Fail("a string is not closed");
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a string");
            if (static_cast<unsigned char>(c) >= 0x80) {
                Character(out);
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("an escape is cut short");
            const char e = text_[at_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned code = Hex4();
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        // A high surrogate counts only with its low one; alone it becomes U+FFFD.
                        if (text_.substr(at_, 2) == "\\u") {
                            const std::size_t back = at_;
                            at_ += 2;
                            const unsigned low = Hex4();
                            if (low >= 0xDC00 && low <= 0xDFFF) {
                                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                            } else {
                                at_ = back;
                                code = 0xFFFD;
                            }
                        } else {
                            code = 0xFFFD;
                        }
                    } else if (code >= 0xDC00 && code <= 0xDFFF) {
                        code = 0xFFFD;
                    }
                    Append(out, code);
                    break;
                }
                default:
                    Fail("an unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t values_ = 0;
};

}  // namespace

Json ParseJson(std::string_view text) { return Reader(text).Document(); }

}  // namespace qm::cli
