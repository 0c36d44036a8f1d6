#include "reg_file.h"

#include "platform/registry.h"
#include "platform/utf8.h"
#include "utf16.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>

namespace netvigil_reg {

using platform::DWORD;

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kCrLf = "\r\n";
// regedit keeps hex lines within 80 columns, ending each broken one in ",\".
constexpr std::size_t kHexLineLimit = 77;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// Parses a quoted string at the start of s; on success s is left after it.
std::optional<std::string> Unquote(std::string_view& s) {
    if (s.empty() || s.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

// The UTF-8 character at *i, moving past it; false, moving nowhere, where
// none starts.
bool NextCharacter(std::string_view s, std::size_t* i, char32_t* cp) {
    std::size_t next = *i;
    if (!platform::NextCodePoint(s, &next, cp)) {
        return false;
    }
    *i = next;
    return true;
}

bool ValidUtf8(std::string_view s) {
    char32_t cp = 0;
    for (std::size_t i = 0; i < s.size();) {
        if (!NextCharacter(s, &i, &cp)) {
            return false;
        }
    }
    return true;
}

// Readable as a quoted string: text with exactly its terminator, on one line.
bool PlainString(const RegValue& value) {
    const std::string& d = value.data;
    return value.type == platform::REG_SZ && !d.empty() && d.back() == '\0' &&
           d.find('\0') == d.size() - 1 && d.find_first_of("\r\n") == std::string::npos &&
           ValidUtf8(std::string_view(d).substr(0, d.size() - 1));
}

bool StringType(DWORD type) {
    return type == platform::REG_SZ || type == platform::REG_EXPAND_SZ ||
           type == platform::REG_MULTI_SZ;
}

std::string ValueLine(const RegValue& value) {
    std::string line = value.name.empty() ? "@=" : Quote(value.name) + "=";
    if (PlainString(value)) {
        return line + Quote(std::string_view(value.data).substr(0, value.data.size() - 1));
    }
    char buf[32];
    if (value.type == platform::REG_DWORD && value.data.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(value.data.data());
        std::snprintf(buf, sizeof buf, "dword:%02x%02x%02x%02x", b[3], b[2], b[1], b[0]);
        return line + buf;
    }
    if (value.type == platform::REG_BINARY) {
        line += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
        line += buf;
    }
    const std::string bytes = StringType(value.type) ? Utf8ToUtf16le(value.data) : value.data;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        line += buf;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() - lineStart >= kHexLineLimit) {
                line += "\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    return line;
}

std::optional<std::string> ParseHexList(std::string_view list) {
    std::string out;
    std::size_t i = 0;
    const auto skipBlank = [&] {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) {
            ++i;
        }
    };
    skipBlank();
    while (i < list.size()) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < list.size() && std::isxdigit(static_cast<unsigned char>(list[i])) != 0) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(list[i])));
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 2) {
            return std::nullopt;
        }
        out += static_cast<char>(value);
        skipBlank();
        if (i < list.size()) {
            if (list[i] != ',') {
                return std::nullopt;
            }
            ++i;
            skipBlank();
            if (i == list.size()) {
                return std::nullopt;
            }
        }
    }
    return out;
}

struct Line {
    std::string text;
    int number;
};

// Splits the text into lines, joining hex lists continued with a backslash.
std::vector<Line> LogicalLines(std::string_view text) {
    std::vector<Line> lines;
    int number = 0;
    bool continuing = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        std::string_view trimmed = Trim(raw.ends_with('\r') ? raw.substr(0, raw.size() - 1) : raw);
        const bool more = !trimmed.empty() && trimmed.back() == '\\' &&
                          (continuing || ((trimmed.front() == '"' || trimmed.front() == '@') &&
                                          trimmed.find("=hex") != std::string_view::npos));
        if (more) {
            trimmed.remove_suffix(1);
        }
        if (continuing) {
            lines.back().text += trimmed;
        } else {
            lines.push_back({std::string(trimmed), number});
        }
        continuing = more;
    }
    return lines;
}

} // namespace

std::optional<std::string> CanonicalKeyPath(std::string_view path) {
    static constexpr std::pair<std::string_view, std::string_view> kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
        {"HKCR", "HKEY_CLASSES_ROOT"},
        {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
        {"HKCU", "HKEY_CURRENT_USER"},
        {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
        {"HKLM", "HKEY_LOCAL_MACHINE"},
        {"HKEY_USERS", "HKEY_USERS"},
        {"HKU", "HKEY_USERS"}};
    const auto sep = path.find('\\');
    const std::string_view root = path.substr(0, sep);
    for (const auto& [name, full] : kRoots) {
        if (root.size() == name.size() &&
            std::equal(root.begin(), root.end(), name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            })) {
            return std::string(full) +
                   std::string(sep == std::string_view::npos ? "" : path.substr(sep));
        }
    }
    return std::nullopt;
}

std::string KeyPathProblem(std::string_view path) {
    if (path.ends_with('\\')) {
        path.remove_suffix(1);
    }
    int depth = 0;
    for (auto sep = path.find('\\'); sep != std::string_view::npos; ++depth) {
        const auto next = path.find('\\', sep + 1);
        const auto level =
            path.substr(sep + 1, next == std::string_view::npos ? next : next - sep - 1);
        if (level.size() > platform::kMaxKeyNameLength) {
            return "a key name is longer than 255 characters";
        }
        sep = next;
    }
    if (depth > platform::kMaxKeyDepth) {
        return "the key is " + std::to_string(depth) +
               " levels deep; the registry allows at most 512";
    }
    return {};
}

std::string ValueNameProblem(std::string_view name) {
    return name.size() > platform::kMaxValueNameLength
               ? "the value name is longer than 16,383 characters"
               : "";
}

std::string WriteRegFile(const std::vector<RegKeyBlock>& keys) {
    std::string text(kHeader5);
    text += kCrLf;
    for (const RegKeyBlock& key : keys) {
        text += kCrLf;
        text += "[" + key.path + "]";
        text += kCrLf;
        for (const RegValue& value : key.values) {
            text += ValueLine(value);
            text += kCrLf;
        }
    }
    text += kCrLf;
    return "\xFF\xFE" + Utf8ToUtf16le(text);
}

Parsed<RegKeyBlock> ParseKeyLine(std::string_view line) {
    if (line.size() < 3 || line.front() != '[' || line.back() != ']') {
        return {{}, "a key line must end in ]"};
    }
    std::string_view inner = line.substr(1, line.size() - 2);
    // Cut at a NUL, as the registry functions would cut it, the name would
    // reach another key: a deletion there could take a whole tree with it.
    if (inner.find('\0') != std::string_view::npos) {
        return {{}, "a key name holds a NUL character"};
    }
    RegKeyBlock block;
    block.remove = inner.starts_with('-');
    if (block.remove) {
        inner.remove_prefix(1);
    }
    auto path = CanonicalKeyPath(inner);
    if (!path) {
        return {{}, "unknown root key in \"" + std::string(inner) + "\""};
    }
    if (std::string problem = KeyPathProblem(*path); !problem.empty()) {
        return {{}, std::move(problem)};
    }
    block.path = std::move(*path);
    return {std::move(block), {}};
}

Parsed<std::string> ParseValueName(std::string_view& rest) {
    if (rest.starts_with('@')) {
        rest.remove_prefix(1);
        return {std::string(), {}};
    }
    auto name = Unquote(rest);
    if (!name) {
        return {{}, "cannot parse the value name"};
    }
    if (name->find('\0') != std::string::npos) {
        return {{}, "the value name holds a NUL character"};
    }
    if (std::string problem = ValueNameProblem(*name); !problem.empty()) {
        return {{}, std::move(problem)};
    }
    return {std::move(name), {}};
}

Parsed<std::string> ParseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        return {{}, "a dword needs 1 to 8 hex digits"};
    }
    const unsigned long number = std::stoul(std::string(digits), nullptr, 16);
    std::string data;
    for (int b = 0; b < 4; ++b) {
        data += static_cast<char>((number >> (8 * b)) & 0xFF);
    }
    return {std::move(data), {}};
}

Parsed<RegValue> ParseHexValue(std::string_view rest, bool unicode) {
    RegValue value;
    value.type = platform::REG_BINARY;
    if (rest.starts_with('(')) {
        const auto close = rest.find(')');
        const std::string_view digits =
            rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
        if (close == std::string_view::npos || digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
            return {{}, "a hex(N) type needs a hex number N"};
        }
        value.type = static_cast<DWORD>(std::stoul(std::string(digits), nullptr, 16));
        rest.remove_prefix(close + 1);
    }
    if (!rest.starts_with(':')) {
        return {{}, "a : must follow hex"};
    }
    auto data = ParseHexList(rest.substr(1));
    if (!data) {
        return {{}, "cannot parse the list of hex bytes"};
    }
    value.data = std::move(*data);
    if (unicode && StringType(value.type)) {
        const std::string utf16 = std::move(value.data);
        if (!Utf16leToUtf8(utf16, &value.data)) {
            return {{},
                    utf16.size() % 2 != 0
                        ? "string data in UTF-16 needs an even number of bytes"
                        : "the string data holds a lone UTF-16 surrogate, which no 8-bit "
                          "text can hold"};
        }
    }
    return {std::move(value), {}};
}

Parsed<RegValue> ParseValueLine(std::string_view line, bool unicode) {
    std::string_view rest = line;
    auto name = ParseValueName(rest);
    if (!name.value) {
        return {{}, std::move(name.error)};
    }
    rest = Trim(rest);
    if (!rest.starts_with('=')) {
        return {{}, "an = must follow the value name"};
    }
    rest = Trim(rest.substr(1));
    Parsed<RegValue> parsed;
    if (rest == "-") {
        parsed.value = RegValue{};
        parsed.value->remove = true;
    } else if (rest.starts_with('"')) {
        auto data = Unquote(rest);
        if (!data || !Trim(rest).empty()) {
            return {{}, "cannot parse the quoted string"};
        }
        parsed.value = RegValue{};
        parsed.value->type = platform::REG_SZ;
        parsed.value->data = std::move(*data) + '\0';
    } else if (rest.starts_with("dword:")) {
        auto data = ParseDword(rest.substr(6));
        if (!data.value) {
            return {{}, std::move(data.error)};
        }
        parsed.value = RegValue{};
        parsed.value->type = platform::REG_DWORD;
        parsed.value->data = std::move(*data.value);
    } else if (rest.starts_with("hex")) {
        parsed = ParseHexValue(rest.substr(3), unicode);
    } else {
        return {{}, "cannot parse the value's data"};
    }
    if (parsed.value) {
        parsed.value->name = std::move(*name.value);
    }
    return parsed;
}

namespace {

// The file's text in the registry's 8-bit form, whichever encoding it came in.
std::optional<ParseError> DecodeText(const std::string& bytes, std::string* text) {
    if (!bytes.starts_with("\xFF\xFE")) {
        *text = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
        return std::nullopt;
    }
    std::size_t at = 0;
    if (Utf16leToUtf8(bytes.substr(2), text, &at)) {
        return std::nullopt;
    }
    if (bytes.size() % 2 != 0) {
        return ParseError{1, "the file is UTF-16 but has an odd number of bytes"};
    }
    int line = 1;
    for (std::size_t i = 2; i < at + 2; i += 2) {
        line += bytes[i] == '\n' && bytes[i + 1] == '\0' ? 1 : 0;
    }
    return ParseError{line, "the text holds a lone UTF-16 surrogate, which no 8-bit text can hold"};
}

} // namespace

std::variant<RegFile, ParseError> ParseRegFile(const std::string& bytes) {
    std::string text;
    if (auto error = DecodeText(bytes, &text)) {
        return std::move(*error);
    }
    RegFile file;
    bool headerSeen = false;
    bool unicode = false;
    for (const Line& line : LogicalLines(text)) {
        const std::string_view s = Trim(line.text);
        if (s.empty() || s.front() == ';') {
            continue;
        }
        if (!headerSeen) {
            if (s != kHeader5 && s != kHeader4) {
                return ParseError{line.number, "not a registry file: the first line must be \"" +
                                                   std::string(kHeader5) + "\" or \"" +
                                                   std::string(kHeader4) + "\""};
            }
            headerSeen = true;
            unicode = s == kHeader5;
            continue;
        }
        if (s.front() == '[') {
            auto key = ParseKeyLine(s);
            if (!key.value) {
                return ParseError{line.number, std::move(key.error)};
            }
            key.value->line = line.number;
            file.keys.push_back(std::move(*key.value));
            continue;
        }
        if (file.keys.empty()) {
            return ParseError{line.number, "a value comes before any [key] line"};
        }
        auto value = ParseValueLine(s, unicode);
        if (!value.value) {
            return ParseError{line.number, std::move(value.error)};
        }
        value.value->line = line.number;
        file.keys.back().values.push_back(std::move(*value.value));
    }
    if (!headerSeen) {
        return ParseError{1, "the file is empty"};
    }
    return file;
}

} // namespace netvigil_reg
