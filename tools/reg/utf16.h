#pragma once

// Text conversions between the registry's 8-bit text (UTF-8) and UTF-16LE
// bytes that keep every byte: a byte that begins no UTF-8 character becomes
// the lone surrogate U+DC80 to U+DCFF, and comes back as itself. The way back
// fails, with the offset in *failedAt, on an odd count of bytes and on a lone
// surrogate that no 8-bit text could have become.

#include <cstddef>
#include <string>

namespace netvigil_reg {

std::string Utf8ToUtf16le(const std::string& utf8);
bool Utf16leToUtf8(const std::string& utf16, std::string* utf8, std::size_t* failedAt = nullptr);

} // namespace netvigil_reg
