#pragma once

// The text format of registry files: "Windows Registry Editor Version 5.00"
// (UTF-16LE with a byte-order mark, string data of hex(N) values in UTF-16LE)
// and the older "REGEDIT4" (8-bit text throughout).

#include "platform/win32_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace netvigil_reg {

struct RegValue {
    std::string name; // "" is the key's default value
    bool remove = false;
    platform::DWORD type = platform::REG_NONE;
    std::string data; // the bytes as the registry holds them
    int line = 0;     // where the value stands in its file
};

struct RegKeyBlock {
    std::string path; // full root name, a backslash, the subkey path
    bool remove = false;
    std::vector<RegValue> values;
    int line = 0; // where the block starts in its file
};

struct RegFile {
    std::vector<RegKeyBlock> keys;
};

struct ParseError {
    int line;
    std::string message;
};

// What one of the line parsers below made of its text: the value, or why there
// is none.
template <typename T> struct Parsed {
    std::optional<T> value;
    std::string error;
};

// The parts of a file, each over plain text and free of state, so tests and
// fuzzers can reach them directly. A key line is "[PATH]" or "[-PATH]"; a
// value name is "@" or a quoted name, and the parser leaves rest after it; a
// dword is its hex digits; a hex list is what follows "hex" or "hex(N)", with
// string data in UTF-16LE when unicode is set.
Parsed<RegKeyBlock> ParseKeyLine(std::string_view line);
Parsed<std::string> ParseValueName(std::string_view& rest);
Parsed<std::string> ParseDword(std::string_view digits);
Parsed<RegValue> ParseHexValue(std::string_view afterHex, bool unicode);
// A whole value line: NAME=DATA.
Parsed<RegValue> ParseValueLine(std::string_view line, bool unicode);

// A key path with its root spelled in full (HKCU becomes HKEY_CURRENT_USER),
// or nothing when the root is not one of the four.
std::optional<std::string> CanonicalKeyPath(std::string_view path);

// Why the registry would refuse a key path (root included) as Windows does, or
// "" when it would not: a path more than 512 levels deep below its root, or a
// level longer than 255 characters.
std::string KeyPathProblem(std::string_view path);
// The same for a value name longer than 16,383 characters.
std::string ValueNameProblem(std::string_view name);

// Reads a file's bytes, in either format and either encoding.
std::variant<RegFile, ParseError> ParseRegFile(const std::string& bytes);

// Writes keys in the version 5 format, as the bytes of a UTF-16LE file.
std::string WriteRegFile(const std::vector<RegKeyBlock>& keys);

} // namespace netvigil_reg
