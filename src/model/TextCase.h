#pragma once
#include <string>
#include <string_view>

namespace tx {

// ASCII-only case folding: style keys, file names and settings names are
// compared this way, so no locale can change what matches.
inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

inline std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

}  // namespace tx
