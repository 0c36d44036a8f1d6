#pragma once

#include <optional>
#include <string>

// The web address a launcher opens for its one argument: "http://" in front
// of an address with no scheme (a browser takes "www.example.com" for a
// file). Nothing for what is no web address: an empty one, an option, one
// with blanks or control characters.
std::optional<std::string> WebAddress(const std::string& argument);

// The scheme, in lower case; empty when the address has none.
std::string SchemeOf(const std::string& address);
