#include "settings/CLng.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

std::optional<std::int32_t> CLng(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    const std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) {
        return std::nullopt;
    }
    std::string number = text.substr(begin, end - begin + 1);
    if (number.size() > 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        const std::string digits = number.substr(2);
        if (digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return std::nullopt;
        }
        // &H values are 32-bit patterns: &HFFFFFFFF is -1.
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)));
    }
    std::size_t i = 0;
    if (number[i] == '+' || number[i] == '-') {
        ++i;
    }
    const std::size_t digitsStart = i;
    while (i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])) != 0) {
        ++i;
    }
    bool digits = i > digitsStart;
    if (i < number.size() && number[i] == '.') {
        const std::size_t fraction = ++i;
        while (i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])) != 0) {
            ++i;
        }
        digits = digits || i > fraction;
    }
    if (!digits || i != number.size()) {
        return std::nullopt;
    }
    const double value = std::nearbyint(std::strtod(number.c_str(), nullptr)); // half to even
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ColorFromText(const std::string& text) {
    const auto value = CLng(text);
    return value && *value >= 0 && *value <= 0xFFFFFF ? value : std::nullopt;
}
