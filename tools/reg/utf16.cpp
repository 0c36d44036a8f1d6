#include "utf16.h"

#include "platform/utf8.h"

namespace netvigil_reg {

namespace {

// A byte that begins no UTF-8 character (always 0x80 or more) travels as
// the lone surrogate U+DC00 + byte, which no valid UTF-16 text holds: the
// way back then gives the same bytes, and valid text is untouched.
constexpr char32_t kByteUnits = 0xDC00;

} // namespace

std::string Utf8ToUtf16le(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto unit = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        char32_t cp = 0;
        if (!platform::NextCodePoint(utf8, &i, &cp)) {
            unit(kByteUnits + static_cast<unsigned char>(utf8[start]));
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

bool Utf16leToUtf8(const std::string& utf16, std::string* utf8, std::size_t* failedAt) {
    const auto fail = [failedAt](std::size_t at) {
        if (failedAt != nullptr) {
            *failedAt = at;
        }
        return false;
    };
    if (utf16.size() % 2 != 0) {
        return fail(utf16.size());
    }
    const auto unitAt = [&utf16](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(utf16[i]) |
                                     static_cast<unsigned char>(utf16[i + 1]) << 8);
    };
    utf8->clear();
    for (std::size_t i = 0; i < utf16.size(); i += 2) {
        char32_t cp = unitAt(i);
        const char32_t low = i + 3 < utf16.size() ? unitAt(i + 2) : 0;
        if (cp >= 0xD800 && cp < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
            platform::AppendUtf8(*utf8, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
            i += 2;
        } else if (cp >= kByteUnits + 0x80 && cp <= kByteUnits + 0xFF) {
            *utf8 += static_cast<char>(cp - kByteUnits);
        } else if (cp >= 0xD800 && cp < 0xE000) {
            return fail(i);
        } else {
            platform::AppendUtf8(*utf8, cp);
        }
    }
    // Byte units that together spell a UTF-8 character would come back as
    // that character: text no 8-bit store could have written.
    const std::string again = Utf8ToUtf16le(*utf8);
    if (again != utf16) {
        std::size_t at = 0;
        while (at < again.size() && at < utf16.size() && again[at] == utf16[at]) {
            ++at;
        }
        return fail(at - at % 2);
    }
    return true;
}

} // namespace netvigil_reg
