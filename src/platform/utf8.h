#pragma once

#include <string>
#include <string_view>

namespace platform {

// Reads the UTF-8 sequence at *i into *cp and moves past it. A byte that
// starts no well-formed sequence (overlong forms, surrogates and anything
// past U+10FFFF included) is consumed alone as U+FFFD, and false is returned:
// decoded leniently, such bytes would pass for other text, "\xE0\x80\x80" for
// a NUL that ends it.
inline bool NextCodePoint(std::string_view s, std::size_t* i, char32_t* cp) {
    const auto c = static_cast<unsigned char>(s[*i]);
    const std::size_t len = c < 0x80    ? 1
                            : c >= 0xF5 ? 0
                            : c >= 0xF0 ? 4
                            : c >= 0xE0 ? 3
                            : c >= 0xC2 ? 2
                                        : 0;
    char32_t value = len == 1 ? c : len == 2 ? c & 0x1Fu : len == 3 ? c & 0x0Fu : c & 0x07u;
    bool valid = len != 0 && *i + len <= s.size();
    for (std::size_t k = 1; valid && k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[*i + k]);
        valid = (cc & 0xC0) == 0x80;
        value = (value << 6) | (cc & 0x3Fu);
    }
    const char32_t shortest = len == 2 ? 0x80 : len == 3 ? 0x800 : len == 4 ? 0x10000 : 0;
    valid = valid && value >= shortest && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    *i += valid ? len : 1;
    *cp = valid ? value : char32_t{0xFFFD};
    return valid;
}

inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace platform
