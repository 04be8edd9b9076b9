#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

// Line and field scanning for the .korv reader. Numbers are parsed straight from the file
// buffer with std::from_chars; nothing is copied except text fields.

namespace korvan {
class Mesh;
}

namespace korvan::io::korv {

inline bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Whitespace-separated numbers of one field (or of a whole line without text fields).
class Fields {
  public:
    Fields() = default;
    explicit Fields(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    // Each read skips blanks and takes one number; false (value unchanged) when the next
    // token is missing, not a number of that type, or out of range.
    template <class T>
    bool read(T& value) {
        skip_blanks();
        const auto [ptr, ec] = std::from_chars(p_, end_, value);
        if (ec != std::errc{} || (ptr < end_ && !is_blank(*ptr))) return false;
        p_ = ptr;
        return true;
    }
    // A boolean is written 0 or 1.
    bool read_bool(bool& value) {
        std::uint32_t v = 0;
        if (!read(v) || v > 1) return false;
        value = v != 0;
        return true;
    }
    bool read_vec(float& x, float& y, float& z) { return read(x) && read(y) && read(z); }
    // The next blank-delimited word; empty when only blanks remain.
    std::string_view word() {
        skip_blanks();
        const char* start = p_;
        while (p_ < end_ && !is_blank(*p_)) ++p_;
        return {start, static_cast<std::size_t>(p_ - start)};
    }
    // True when only blanks remain.
    bool done() {
        skip_blanks();
        return p_ == end_;
    }
    std::string_view rest() const { return {p_, static_cast<std::size_t>(end_ - p_)}; }

  private:
    void skip_blanks() {
        while (p_ < end_ && is_blank(*p_)) ++p_;
    }

    const char* p_ = nullptr;
    const char* end_ = nullptr;
};

// Splits a line at tabs: each call returns the next field; false when none is left.
class TabFields {
  public:
    explicit TabFields(std::string_view line) : rest_(line), more_(true) {}
    bool next(std::string_view& field) {
        if (!more_) return false;
        const std::size_t tab = rest_.find('\t');
        if (tab == std::string_view::npos) {
            field = rest_;
            more_ = false;
        } else {
            field = rest_.substr(0, tab);
            rest_.remove_prefix(tab + 1);
        }
        return true;
    }
    bool has_more() const { return more_; }

  private:
    std::string_view rest_;
    bool more_;
};

// The first word of a line (up to a blank).
inline std::string_view keyword_of(std::string_view line) {
    std::size_t n = 0;
    while (n < line.size() && !is_blank(line[n])) ++n;
    return line.substr(0, n);
}

// One load: the text, the read position and the first failure message.
class Parser {
  public:
    explicit Parser(std::string_view text)
        : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

    bool at_end() const { return p_ == end_; }
    std::size_t bytes_left() const { return static_cast<std::size_t>(end_ - p_); }
    std::size_t total_bytes() const { return static_cast<std::size_t>(end_ - begin_); }

    // The next line without its line feed; false at the end of the text. `terminated` tells
    // whether a line feed followed it (only the end line of a whole file may lack one).
    bool next_line(std::string_view& line, bool* terminated = nullptr) {
        if (p_ == end_) return false;
        const void* nl = std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_));
        const char* stop = nl ? static_cast<const char*>(nl) : end_;
        line = std::string_view(p_, static_cast<std::size_t>(stop - p_));
        if (terminated) *terminated = nl != nullptr;
        p_ = nl ? stop + 1 : end_;
        return true;
    }
    // The text not read yet.
    std::string_view remaining() const { return {p_, static_cast<std::size_t>(end_ - p_)}; }
    // The next record of a counted block. At the end of the text, or on a last line cut off
    // before its line feed, records the truncation message for the block and returns false.
    bool record_line(std::string_view keyword, std::string_view& line) {
        bool terminated = false;
        if (!next_line(line, &terminated) || !terminated) return truncated_inside(keyword);
        return true;
    }

    // Checks a declared count against the bytes that follow, so a corrupt count cannot make
    // the reader allocate for entries that are not there.
    bool check_count(std::string_view keyword, std::uint64_t count);

    // Keeps the first message of the load; always returns false.
    bool fail(std::string_view message);
    // The catch-all failure: the message is filled in at the end if nothing else was set.
    bool fail() { return false; }
    bool truncated_inside(std::string_view keyword);
    bool has_message() const { return !message_.empty(); }
    const std::string& message() const { return message_; }

  private:
    const char* begin_;
    const char* p_;
    const char* end_;
    std::string message_;
};

// Parses the count that follows a block keyword ("VERTICES 12").
inline bool parse_count(std::string_view line, std::uint64_t& count) {
    Fields f(line.substr(keyword_of(line).size()));
    return f.read(count) && f.done();
}

// Reads one mesh block into mesh after its MESH line has been consumed. Stops after the
// line that begins with "ENDM", or before the file's end line (left for the caller). False
// on failure; a text that ends first is reported by the caller, which knows the enclosing
// block.
enum class MeshEnd { kEndMesh, kEndFile, kEndText, kFailed };
MeshEnd read_mesh_block(Parser& parser, Mesh& mesh);

bool is_end_line(std::string_view line);

}  // namespace korvan::io::korv
