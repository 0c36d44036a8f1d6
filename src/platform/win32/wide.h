#pragma once

// The platform's text is UTF-8; Windows takes text as UTF-16 in its W
// functions, which alone do not depend on the code page of the system or of
// the program. Each call converts at the boundary.

#include "platform/utf8.h"

#include <string>
#include <string_view>

namespace platform::win32 {

inline std::wstring Wide(std::string_view utf8) {
    return Utf16<wchar_t>(utf8);
}

inline std::string Narrow(std::wstring_view utf16) {
    return Utf8FromUtf16(utf16);
}

// A text argument that may be null, as the A function took it: null stays
// null for the W function.
class WideArgument {
public:
    explicit WideArgument(const char* utf8)
        : m_null(utf8 == nullptr), m_text(utf8 == nullptr ? std::wstring() : Wide(utf8)) {}
    const wchar_t* Get() const { return m_null ? nullptr : m_text.c_str(); }

private:
    bool m_null;
    std::wstring m_text;
};

} // namespace platform::win32
