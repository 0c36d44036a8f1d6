#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Text to a 32-bit integer the way the settings were always read: blanks
// around it ignored, an optional sign, decimal digits with an optional
// fraction rounded half to even, or &H hexadecimal. Nothing when the text is
// no number or the number does not fit.
std::optional<std::int32_t> CLng(const std::string& text);

// The colour the text holds: its number by CLng, when that is a 24-bit RGB
// value (0 to 16777215).
std::optional<std::int32_t> ColorFromText(const std::string& text);
