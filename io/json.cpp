// A strict recursive-descent JSON reader (RFC 8259 and nothing looser) and a writer.
// The reader stops at the first error and reports its byte offset; it never throws and
// never recurses deeper than the nesting limit, so hostile input cannot exhaust the stack.
#include "io/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

namespace korvan::io {

JsonValue JsonValue::make_bool(bool value) {
    JsonValue v;
    v.type_ = JsonType::kBool;
    v.boolean_ = value;
    return v;
}

JsonValue JsonValue::make_number(double value) {
    JsonValue v;
    v.type_ = JsonType::kNumber;
    v.number_ = value;
    return v;
}

JsonValue JsonValue::make_string(std::string text) {
    JsonValue v;
    v.type_ = JsonType::kString;
    v.text_ = std::move(text);
    return v;
}

JsonValue JsonValue::make_array() { return make_array(std::vector<JsonValue>{}); }

JsonValue JsonValue::make_object() { return make_object(std::vector<JsonMember>{}); }

JsonValue JsonValue::make_array(std::vector<JsonValue> items) {
    JsonValue v;
    v.type_ = JsonType::kArray;
    v.items_ = std::move(items);
    return v;
}

JsonValue JsonValue::make_object(std::vector<JsonMember> members) {
    // A stable sort keeps equal names in input order, so the last of each run is the later one.
    std::stable_sort(members.begin(), members.end(),
                     [](const JsonMember& a, const JsonMember& b) { return a.name < b.name; });
    std::vector<JsonMember> unique;
    unique.reserve(members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i + 1 < members.size() && members[i + 1].name == members[i].name) continue;
        unique.push_back(std::move(members[i]));
    }
    JsonValue v;
    v.type_ = JsonType::kObject;
    v.members_ = std::move(unique);
    return v;
}

void JsonValue::push_back(JsonValue item) {
    if (type_ == JsonType::kArray) items_.push_back(std::move(item));
}

void JsonValue::set(std::string name, JsonValue value) {
    if (type_ != JsonType::kObject) return;
    auto it =
        std::lower_bound(members_.begin(), members_.end(), name,
                         [](const JsonMember& m, const std::string& n) { return m.name < n; });
    if (it != members_.end() && it->name == name) {
        it->value = std::move(value);
    } else {
        members_.insert(it, JsonMember{std::move(name), std::move(value)});
    }
}

const JsonValue* JsonValue::find(std::string_view name) const {
    if (type_ != JsonType::kObject) return nullptr;
    auto it = std::lower_bound(members_.begin(), members_.end(), name,
                               [](const JsonMember& m, std::string_view n) { return m.name < n; });
    return it != members_.end() && it->name == name ? &it->value : nullptr;
}

double JsonValue::get_number(std::string_view name, double fallback) const {
    const JsonValue* v = find(name);
    return v && v->is_number() ? v->number_ : fallback;
}

std::int64_t JsonValue::get_int(std::string_view name, std::int64_t fallback) const {
    const JsonValue* v = find(name);
    if (!v || !v->is_number() || !std::isfinite(v->number_)) return fallback;
    const double rounded = std::round(v->number_);
    // 2^63 itself does not fit; every double below it in magnitude does.
    constexpr double kLimit = 9223372036854775808.0;
    if (rounded >= kLimit || rounded < -kLimit) return fallback;
    return static_cast<std::int64_t>(rounded);
}

std::string_view JsonValue::get_string(std::string_view name, std::string_view fallback) const {
    const JsonValue* v = find(name);
    return v && v->is_string() ? std::string_view(v->text_) : fallback;
}

namespace {

constexpr int kMaxDepth = 64;  // containers open at once
constexpr std::size_t kMaxErrorLength = 127;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The value of a number whose text from_chars found out of range: infinity when its
// decimal magnitude is large, zero when it is tiny, with the text's sign either way.
double out_of_range_value(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::size_t i = negative ? 1 : 0;
    bool seen_digit = false;
    long long int_digits = 0, leading_frac_zeros = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        if (text[i] != '0') seen_digit = true;
        if (seen_digit) ++int_digits;
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && is_digit(text[i]); ++i) {
            if (!seen_digit && text[i] != '0') seen_digit = true;
            if (!seen_digit) ++leading_frac_zeros;
        }
    }
    // Decimal exponent of the first non-zero digit before the exponent part applies.
    const long long magnitude = int_digits > 0 ? int_digits - 1 : -(leading_frac_zeros + 1);
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool exp_negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (exp_negative) exponent = -exponent;
    }
    const double value =
        seen_digit && magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool parse(JsonValue& out) {
        static constexpr std::string_view kBom = "\xEF\xBB\xBF";
        if (text_.substr(0, kBom.size()) == kBom) pos_ = kBom.size();
        if (!parse_value(out, 0)) return false;
        skip_ws();
        if (pos_ != text_.size()) return fail("trailing characters after top-level value");
        return true;
    }

    std::size_t error_offset() const { return error_at_; }
    const char* error_message() const { return message_; }

  private:
    bool fail(const char* message) { return fail_at(pos_, message); }
    bool fail_at(std::size_t at, const char* message) {
        error_at_ = at;
        message_ = message;
        return false;
    }

    bool at_end() const { return pos_ >= text_.size(); }

    void skip_ws() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
            ++pos_;
        }
    }

    bool parse_value(JsonValue& out, int depth) {
        skip_ws();
        if (at_end()) return fail("unexpected end of input");
        switch (text_[pos_]) {
            case '"': {
                std::string text;
                if (!parse_string(text)) return false;
                out = JsonValue::make_string(std::move(text));
                return true;
            }
            case '[':
                return parse_array(out, depth);
            case '{':
                return parse_object(out, depth);
            case 't':
                return parse_literal("true", "expected 'true'", out);
            case 'f':
                return parse_literal("false", "expected 'false'", out);
            case 'n':
                return parse_literal("null", "expected 'null'", out);
            default:
                return parse_number(out);
        }
    }

    bool parse_literal(std::string_view word, const char* message, JsonValue& out) {
        if (text_.substr(pos_, word.size()) != word) return fail(message);
        pos_ += word.size();
        if (word == "null") {
            out = JsonValue();
        } else {
            out = JsonValue::make_bool(word == "true");
        }
        return true;
    }

    void skip_digits() {
        while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
    }

    bool parse_number(JsonValue& out) {
        const std::size_t start = pos_;
        if (text_[pos_] == '-') ++pos_;
        if (at_end() || !is_digit(text_[pos_])) return fail("expected number");
        // A leading zero stands alone: "01" ends the number after the 0.
        if (text_[pos_] == '0') {
            ++pos_;
        } else {
            skip_digits();
        }
        if (!at_end() && text_[pos_] == '.') {
            ++pos_;
            if (at_end() || !is_digit(text_[pos_])) return fail("expected digit after '.'");
            skip_digits();
        }
        if (!at_end() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (!at_end() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (at_end() || !is_digit(text_[pos_])) return fail("expected digit in exponent");
            skip_digits();
        }
        const std::string_view digits = text_.substr(start, pos_ - start);
        double value = 0.0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec == std::errc::result_out_of_range) {
            value = out_of_range_value(digits);
        } else if (ec != std::errc{} || ptr != digits.data() + digits.size()) {
            return fail_at(start, "expected number");
        }
        out = JsonValue::make_number(value);
        return true;
    }

    // Four hex digits at `at`; -1 after recording the error.
    int read_hex4(std::size_t at) {
        if (text_.size() - at < 4) {
            fail_at(text_.size(), "truncated \\u escape");
            return -1;
        }
        int unit = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const int h = hex_value(text_[at + i]);
            if (h < 0) {
                fail_at(at + i, "bad hex digit in \\u escape");
                return -1;
            }
            unit = unit * 16 + h;
        }
        return unit;
    }

    // A lone surrogate is kept as its own three-byte sequence rather than refused: the
    // text round-trips, and callers that care about strict UTF-8 can check themselves.
    bool parse_unicode_escape(std::string& out) {
        // pos_ is on the 'u'.
        const int unit = read_hex4(pos_ + 1);
        if (unit < 0) return false;
        pos_ += 5;
        std::uint32_t cp = static_cast<std::uint32_t>(unit);
        if (cp >= 0xD800 && cp <= 0xDBFF && text_.size() - pos_ >= 6 && text_[pos_] == '\\' &&
            text_[pos_ + 1] == 'u') {
            const int low = read_hex4(pos_ + 2);
            if (low < 0) return false;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
                pos_ += 6;
            }
        }
        append_utf8(out, cp);
        return true;
    }

    bool parse_string(std::string& out) {
        ++pos_;  // opening quote
        while (true) {
            const std::size_t run = pos_;
            while (pos_ < text_.size()) {
                const auto c = static_cast<unsigned char>(text_[pos_]);
                if (c == '"' || c == '\\' || c < 0x20) break;
                ++pos_;
            }
            out.append(text_.substr(run, pos_ - run));
            if (at_end()) return fail("unterminated string");
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c != '\\') return fail("raw control character in string");
            const std::size_t backslash = pos_++;
            if (at_end()) return fail("unterminated escape");
            switch (text_[pos_]) {
                case '"':
                    out.push_back('"');
                    break;
                case '\\':
                    out.push_back('\\');
                    break;
                case '/':
                    out.push_back('/');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u':
                    if (!parse_unicode_escape(out)) return false;
                    continue;
                default:
                    return fail_at(backslash, "unknown escape");
            }
            ++pos_;
        }
    }

    bool parse_array(JsonValue& out, int depth) {
        if (depth >= kMaxDepth) return fail("nesting too deep");
        ++pos_;
        std::vector<JsonValue> items;
        skip_ws();
        if (at_end()) return fail("unterminated array");
        if (text_[pos_] == ']') {
            ++pos_;
            out = JsonValue::make_array();
            return true;
        }
        while (true) {
            // After a comma a value must follow, so "[1,]" fails on the bracket.
            JsonValue item;
            if (!parse_value(item, depth + 1)) return false;
            items.push_back(std::move(item));
            skip_ws();
            if (at_end()) return fail("unterminated array");
            const char c = text_[pos_];
            if (c == ']') break;
            if (c != ',') return fail("expected ',' or ']'");
            ++pos_;
        }
        ++pos_;
        out = JsonValue::make_array(std::move(items));
        return true;
    }

    bool parse_object(JsonValue& out, int depth) {
        if (depth >= kMaxDepth) return fail("nesting too deep");
        ++pos_;
        std::vector<JsonMember> members;
        skip_ws();
        if (at_end()) return fail("unterminated object");
        if (text_[pos_] == '}') {
            ++pos_;
            out = JsonValue::make_object();
            return true;
        }
        while (true) {
            skip_ws();
            if (at_end()) return fail("unterminated object");
            if (text_[pos_] != '"') return fail("expected member name");
            JsonMember member;
            if (!parse_string(member.name)) return false;
            skip_ws();
            if (at_end()) return fail("unterminated object");
            if (text_[pos_] != ':') return fail("expected ':' after member name");
            ++pos_;
            if (!parse_value(member.value, depth + 1)) return false;
            members.push_back(std::move(member));
            skip_ws();
            if (at_end()) return fail("unterminated object");
            const char c = text_[pos_];
            if (c == '}') break;
            if (c != ',') return fail("expected ',' or '}'");
            ++pos_;
        }
        ++pos_;
        out = JsonValue::make_object(std::move(members));
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t error_at_ = 0;
    const char* message_ = "";
};

void append_spaces(std::string& out, int count) {
    if (count > 0) out.append(static_cast<std::size_t>(count), ' ');
}

void append_number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buf[32];
    // Whole numbers that a double holds exactly print without a fraction or exponent.
    constexpr double kWholeLimit = 9e15;
    const bool whole = std::fabs(value) < kWholeLimit && std::trunc(value) == value;
    const auto result =
        whole ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 0)
              : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
    out.append(buf, result.ptr);
}

void write_value(std::string& out, const JsonValue& value, int indent, int depth) {
    switch (value.type()) {
        case JsonType::kNull:
            out += "null";
            return;
        case JsonType::kBool:
            out += value.as_bool() ? "true" : "false";
            return;
        case JsonType::kNumber:
            append_number(out, value.as_number());
            return;
        case JsonType::kString:
            append_json_quoted(out, value.as_string());
            return;
        case JsonType::kArray: {
            const auto& items = value.items();
            if (items.empty()) {
                out += "[]";
                return;
            }
            out.push_back('[');
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (i > 0) out.push_back(',');
                if (indent > 0) {
                    out.push_back('\n');
                    append_spaces(out, indent * (depth + 1));
                }
                write_value(out, items[i], indent, depth + 1);
            }
            if (indent > 0) {
                out.push_back('\n');
                append_spaces(out, indent * depth);
            }
            out.push_back(']');
            return;
        }
        case JsonType::kObject: {
            const auto& members = value.members();
            if (members.empty()) {
                out += "{}";
                return;
            }
            out.push_back('{');
            for (std::size_t i = 0; i < members.size(); ++i) {
                if (i > 0) out.push_back(',');
                if (indent > 0) {
                    out.push_back('\n');
                    append_spaces(out, indent * (depth + 1));
                }
                append_json_quoted(out, members[i].name);
                out += indent > 0 ? ": " : ":";
                write_value(out, members[i].value, indent, depth + 1);
            }
            if (indent > 0) {
                out.push_back('\n');
                append_spaces(out, indent * depth);
            }
            out.push_back('}');
            return;
        }
    }
}

}  // namespace

bool parse_json(std::string_view text, JsonValue& out, std::string* error) {
    Parser parser(text);
    JsonValue root;
    if (parser.parse(root)) {
        out = std::move(root);
        if (error) error->clear();
        return true;
    }
    out = JsonValue();
    if (error) {
        char offset[24];
        const auto end = std::to_chars(offset, offset + sizeof offset, parser.error_offset()).ptr;
        *error = "at byte ";
        error->append(offset, end).append(": ").append(parser.error_message());
        if (error->size() > kMaxErrorLength) error->resize(kMaxErrorLength);
    }
    return false;
}

std::string write_json(const JsonValue& value, int indent) {
    std::string out;
    write_value(out, value, indent, 0);
    return out;
}

void append_json_quoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 0xF]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

std::string json_quote(std::string_view text) {
    std::string out;
    append_json_quoted(out, text);
    return out;
}

}  // namespace korvan::io
