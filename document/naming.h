#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

// The naming rules for new entries of the document's lists. `taken(name)` answers whether
// a name is already in use.

namespace korvan {

inline void append_count(std::string& out, std::size_t n) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, end);
}

// "Scene 3" for the third scene: prefix followed by the number.
inline std::string numbered_name(std::string_view prefix, std::size_t number) {
    std::string name(prefix);
    append_count(name, number);
    return name;
}

// name itself when free, else name + "_2", name + "_3", ... until free.
template <class Taken>
std::string unique_with_underscore(const std::string& name, Taken&& taken) {
    if (!taken(name)) return name;
    for (std::size_t n = 2;; ++n) {
        std::string candidate = name + "_";
        append_count(candidate, n);
        if (!taken(candidate)) return candidate;
    }
}

// base + suffix when free, else base + suffix + "2", "3", ... until free ("Door copy",
// "Door copy2"; "door_copy", "door_copy2").
template <class Taken>
std::string copy_name(std::string_view base, std::string_view suffix, Taken&& taken) {
    std::string first(base);
    first += suffix;
    if (!taken(first)) return first;
    for (std::size_t n = 2;; ++n) {
        std::string candidate = first;
        append_count(candidate, n);
        if (!taken(candidate)) return candidate;
    }
}

}  // namespace korvan
