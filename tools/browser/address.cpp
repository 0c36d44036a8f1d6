#include "address.h"

#include <cctype>

std::string SchemeOf(const std::string& address) {
    const auto colon = address.find("://");
    if (colon == std::string::npos || colon == 0 ||
        std::isalpha(static_cast<unsigned char>(address[0])) == 0) {
        return {};
    }
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (std::isalnum(c) == 0 && c != '+' && c != '-' && c != '.') {
            return {};
        }
        scheme += static_cast<char>(std::tolower(c));
    }
    return scheme;
}

std::optional<std::string> WebAddress(const std::string& argument) {
    if (argument.empty() || argument[0] == '-') {
        return std::nullopt;
    }
    for (const char c : argument) {
        if (static_cast<unsigned char>(c) < 0x20 || c == ' ' || c == 0x7F) {
            return std::nullopt;
        }
    }
    return SchemeOf(argument).empty() ? "http://" + argument : argument;
}
