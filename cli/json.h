#pragma once
// A small JSON value with its reader and writer, for the language server's messages. The reader takes
// only valid UTF-8 and bounded nesting, so that no message can make it crash or use unbounded memory.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::cli {

class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool value) : type_(Type::Bool), bool_(value) {}
    Json(int value) : Json(static_cast<std::int64_t>(value)) {}
    Json(std::int64_t value) : type_(Type::Number), number_(static_cast<double>(value)), integer_(value), isInteger_(true) {}
    Json(double value);
    Json(std::string value) : type_(Type::String), text_(std::move(value)) {}
    Json(const char* value) : type_(Type::String), text_(value) {}
    static Json Array() {
        Json j;
        j.type_ = Type::Array;
        return j;
    }
    static Json Object() {
        Json j;
        j.type_ = Type::Object;
        return j;
    }

    Type Kind() const { return type_; }
    bool IsNull() const { return type_ == Type::Null; }
    bool IsString() const { return type_ == Type::String; }
    bool IsObject() const { return type_ == Type::Object; }
    bool IsArray() const { return type_ == Type::Array; }
    bool IsNumber() const { return type_ == Type::Number; }
    bool IsBool() const { return type_ == Type::Bool; }

    bool AsBool() const { return type_ == Type::Bool && bool_; }
    const std::string& AsString() const { return text_; }
    double AsDouble() const { return number_; }
    // A whole number within the range; nothing for anything else.
    std::optional<std::int64_t> AsInteger() const {
        return type_ == Type::Number && isInteger_ ? std::optional<std::int64_t>(integer_) : std::nullopt;
    }
    const std::vector<Json>& Items() const { return items_; }
    const std::vector<std::pair<std::string, Json>>& Members() const { return members_; }

    // The member of an object; a null value when there is none or this is no object.
    const Json& operator[](std::string_view key) const;
    bool Has(std::string_view key) const;
    // Sets a member of an object (replacing one of the same key), or appends to an array.
    // On a temporary they give it back to be moved on, so that a message is built without copies.
    Json& Set(std::string key, Json value) &;
    Json&& Set(std::string key, Json value) && { return std::move(Set(std::move(key), std::move(value))); }
    // Appends a member whose key the caller knows the object does not have yet.
    Json& AddNew(std::string key, Json value) &;
    Json& Push(Json value) &;
    Json&& Push(Json value) && { return std::move(Push(std::move(value))); }

    std::string Write() const;

private:
    void WriteTo(std::string& out) const;

    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::int64_t integer_ = 0;
    bool isInteger_ = false;
    std::string text_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

// How deep arrays and objects may nest in a message, and how many values it may hold (each takes
// about a hundred bytes, whatever its text).
inline constexpr int kMaxJsonDepth = 128;
inline constexpr std::size_t kMaxJsonValues = std::size_t{1} << 20;

struct JsonError {
    std::string message;
};

// The one JSON value of a text (white space around it allowed). Throws JsonError saying what is
// wrong and at which byte.
Json ParseJson(std::string_view text);

}  // namespace qm::cli
