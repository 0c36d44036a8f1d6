#pragma once

// What the fuzzers share: a property that does not hold ends the run as a
// crash does, saying which, so libFuzzer keeps the input that broke it.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz_support {

inline void Expect(bool holds, const char* property, const std::string& detail = {}) {
    if (!holds) {
        std::fprintf(stderr, "\nProperty broken: %s\n%s\n", property, detail.c_str());
        std::abort();
    }
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// An input read front to back, in the layout its seeds are written in:
// numbers little-endian, a text after its 16-bit length. Past the end, numbers
// are 0 and texts empty.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    template <typename T> T Number() {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value |= std::uint64_t{Byte()} << (8 * i);
        }
        return static_cast<T>(value);
    }
    std::string Text() {
        const auto length = std::min<std::size_t>(Number<std::uint16_t>(), m_size - m_at);
        std::string text(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return text;
    }
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(m_data + m_at), m_size - m_at);
        m_at = m_size;
        return rest;
    }

private:
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Text to show in a message, every byte that is not printable ASCII escaped.
inline std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

} // namespace fuzz_support
