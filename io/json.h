#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::io {

enum class JsonType : std::uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };

struct JsonMember;

// One JSON value owning its children. Object members stay sorted by name (a name appears
// once), so lookups are binary searches and writers visit members in name order.
class JsonValue {
  public:
    JsonValue() = default;  // null
    static JsonValue make_bool(bool value);
    static JsonValue make_number(double value);
    static JsonValue make_string(std::string text);
    // Empty containers have their own overloads: a "= {}" default argument would need the
    // member type complete inside this class, which clang refuses.
    static JsonValue make_array();
    static JsonValue make_array(std::vector<JsonValue> items);
    // Sorts the members by name; of two with the same name the later one is kept.
    static JsonValue make_object();
    static JsonValue make_object(std::vector<JsonMember> members);

    JsonType type() const { return type_; }
    bool is_null() const { return type_ == JsonType::kNull; }
    bool is_bool() const { return type_ == JsonType::kBool; }
    bool is_number() const { return type_ == JsonType::kNumber; }
    bool is_string() const { return type_ == JsonType::kString; }
    bool is_array() const { return type_ == JsonType::kArray; }
    bool is_object() const { return type_ == JsonType::kObject; }

    // Payloads; each is false, 0 or empty when the value is of another type.
    bool as_bool() const { return boolean_; }
    double as_number() const { return number_; }
    const std::string& as_string() const { return text_; }
    const std::vector<JsonValue>& items() const { return items_; }
    const std::vector<JsonMember>& members() const { return members_; }

    // Appends to an array; ignored unless this is an array.
    void push_back(JsonValue item);
    // Adds or replaces the member `name` of an object; ignored unless this is an object.
    void set(std::string name, JsonValue value);

    // The member named `name`, or null when this is not an object or has no such member.
    const JsonValue* find(std::string_view name) const;
    // The member's number, else `fallback`.
    double get_number(std::string_view name, double fallback) const;
    // The member's number rounded to nearest when finite and within 64 bits, else `fallback`.
    std::int64_t get_int(std::string_view name, std::int64_t fallback) const;
    // The member's text when it is a string, else `fallback`.
    std::string_view get_string(std::string_view name, std::string_view fallback) const;

  private:
    JsonType type_ = JsonType::kNull;
    bool boolean_ = false;
    double number_ = 0.0;
    std::string text_;
    std::vector<JsonValue> items_;
    std::vector<JsonMember> members_;  // sorted by name, names unique
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// Parses standard JSON, nothing looser. On failure `out` is null and `error`, when given,
// reads "at byte <offset>: <message>" (at most 127 characters), the offset counting bytes
// from the start of `text`. Nesting deeper than 64 arrays or objects is refused. Of two
// members with the same name the later one is kept.
bool parse_json(std::string_view text, JsonValue& out, std::string* error = nullptr);

// The value as JSON text: compact when `indent` is 0, else one element or member per line
// indented by `indent` spaces per level. Non-finite numbers become null.
std::string write_json(const JsonValue& value, int indent = 0);

// `text` between double quotes with JSON escapes for '"', '\\' and bytes below 0x20; all
// other bytes, UTF-8 sequences and '/' included, are copied as they are.
std::string json_quote(std::string_view text);
void append_json_quoted(std::string& out, std::string_view text);

}  // namespace korvan::io
