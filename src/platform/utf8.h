#pragma once

#include <cstdint>
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

// UTF-16, as Windows' W functions take text: one unit a character, two (a
// surrogate pair) past U+FFFF. A byte that starts no well-formed sequence
// becomes U+FFFD, as it does in NextCodePoint.
template <typename Unit = char16_t> std::basic_string<Unit> Utf16(std::string_view utf8) {
    static_assert(sizeof(Unit) == 2);
    std::basic_string<Unit> out;
    out.reserve(utf8.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        NextCodePoint(utf8, &i, &cp);
        if (cp >= 0x10000) {
            out += static_cast<Unit>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<Unit>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<Unit>(cp);
        }
    }
    return out;
}

// And back. A surrogate without its other half, which Windows lets a name or
// a value hold, becomes U+FFFD.
template <typename Unit> std::string Utf8FromUtf16(std::basic_string_view<Unit> utf16) {
    static_assert(sizeof(Unit) == 2);
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto unit = static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i]));
        const auto next = i + 1 < utf16.size()
                              ? static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i + 1]))
                              : char32_t{0};
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? char32_t{0xFFFD} : unit);
        }
    }
    return out;
}

// The longest start of the text that ends with no character cut short: what
// can be handed on as characters while the rest is still to come.
inline std::size_t WholeCharacters(std::string_view utf8) {
    for (std::size_t back = 1; back <= 3 && back <= utf8.size(); ++back) {
        const auto c = static_cast<unsigned char>(utf8[utf8.size() - back]);
        if ((c & 0xC0) == 0x80) {
            continue;
        }
        const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return len > back ? utf8.size() - back : utf8.size();
    }
    return utf8.size();
}

} // namespace platform
