#include "reg_file.h"
#include "utf16.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace netvigil_reg;

namespace {

std::string Utf16(const std::string& text) {
    return "\xFF\xFE" + Utf8ToUtf16le(text);
}

RegFile Parse(const std::string& bytes) {
    auto result = ParseRegFile(bytes);
    if (auto* error = std::get_if<ParseError>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message;
        return {};
    }
    return std::get<RegFile>(result);
}

ParseError ParseFails(const std::string& bytes) {
    auto result = ParseRegFile(bytes);
    EXPECT_TRUE(std::holds_alternative<ParseError>(result));
    return std::holds_alternative<ParseError>(result) ? std::get<ParseError>(result)
                                                      : ParseError{0, ""};
}

TEST(RegFile, EveryKindOfValueSurvivesWriteAndRead) {
    RegKeyBlock key{"HKEY_CURRENT_USER\\Software\\Netvigil\\Settings", false, {}, 0};
    const std::vector<std::pair<platform::DWORD, std::string>> values = {
        {platform::REG_SZ, std::string("C:\\path \"quoted\"\0", 18)},
        {platform::REG_SZ, std::string("two\r\nlines\0", 11)},
        {platform::REG_SZ, std::string("no terminator")},
        {platform::REG_SZ, std::string("inner\0zero\0", 11)},
        {platform::REG_SZ, std::string()},
        {platform::REG_EXPAND_SZ, std::string("%HOME%\\Grüße 🌍\0", 20)},
        {platform::REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {platform::REG_DWORD, std::string("\x02\x01\0\0", 4)},
        {platform::REG_DWORD, std::string("\x01", 1)},
        {platform::REG_BINARY, std::string(100, '\xAB')},
        {11, std::string("\0\0\0\0\0\0\0\x80", 8)},
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        key.values.push_back(
            {"v" + std::to_string(i), false, values[i].first, values[i].second, 0});
    }
    key.values.push_back({"", false, platform::REG_SZ, std::string("default\0", 8), 0});
    key.values.push_back(
        {"name \"with\" \\ signs", false, platform::REG_SZ, std::string("x\0", 2), 0});

    const std::string bytes = WriteRegFile({key});
    ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
    const RegFile file = Parse(bytes);
    ASSERT_EQ(file.keys.size(), 1u);
    EXPECT_EQ(file.keys[0].path, key.path);
    ASSERT_EQ(file.keys[0].values.size(), key.values.size());
    for (std::size_t i = 0; i < key.values.size(); ++i) {
        EXPECT_EQ(file.keys[0].values[i].name, key.values[i].name);
        EXPECT_EQ(file.keys[0].values[i].type, key.values[i].type) << key.values[i].name;
        EXPECT_EQ(file.keys[0].values[i].data, key.values[i].data) << key.values[i].name;
    }
    EXPECT_EQ(WriteRegFile(file.keys), bytes);
}

TEST(RegFile, WritesTheWindowsLayout) {
    RegKeyBlock key{"HKEY_CURRENT_USER\\A", false, {}, 0};
    key.values.push_back({"s", false, platform::REG_SZ, std::string("x\0", 2), 0});
    key.values.push_back({"d", false, platform::REG_DWORD, std::string("\x80\0\0\0", 4), 0});
    key.values.push_back({"b", false, platform::REG_BINARY, std::string(40, '\x01'), 0});
    std::string text;
    ASSERT_TRUE(Utf16leToUtf8(WriteRegFile({key}).substr(2), &text));
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\A]\r\n\"s\"=\"x\"\r\n\"d\"=dword:00000080\r\n"
                                 "\"b\"=hex:01,01,"))
        << text;
    // Long hex lists are broken into lines of at most 80 columns.
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LE(end - start, 80u);
    }
    EXPECT_NE(text.find(",\\\r\n  01,"), std::string::npos);
}

TEST(RegFile, ReadsBothFormatsAndTheirEncodings) {
    // REGEDIT4 holds 8-bit strings; version 5 holds UTF-16 in hex(2) and hex(7).
    const RegFile old = Parse("REGEDIT4\n\n[HKCU\\Software\\X]\n\"e\"=hex(2):41,42,00\n@=\"d\"\n");
    ASSERT_EQ(old.keys.size(), 1u);
    EXPECT_EQ(old.keys[0].path, "HKEY_CURRENT_USER\\Software\\X");
    EXPECT_EQ(old.keys[0].values[0].data, std::string("AB\0", 3));
    EXPECT_EQ(old.keys[0].values[1].name, "");

    const RegFile utf16 = Parse(Utf16("Windows Registry Editor Version 5.00\r\n\r\n"
                                      "; a comment\r\n"
                                      "[HKEY_LOCAL_MACHINE\\Soft]\r\n"
                                      "\"é\"=hex(2):41,00,\\\r\n"
                                      "  42,00,00,00\r\n"
                                      "\"gone\"=-\r\n"
                                      "[-HKEY_CURRENT_USER\\Old]\r\n"));
    ASSERT_EQ(utf16.keys.size(), 2u);
    EXPECT_EQ(utf16.keys[0].values[0].name, "é");
    EXPECT_EQ(utf16.keys[0].values[0].data, std::string("AB\0", 3));
    EXPECT_TRUE(utf16.keys[0].values[1].remove);
    EXPECT_TRUE(utf16.keys[1].remove);
    EXPECT_EQ(utf16.keys[1].path, "HKEY_CURRENT_USER\\Old");

    const RegFile bom =
        Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKU\\x]\n\"n\"=\"ü\"\n");
    EXPECT_EQ(bom.keys[0].values[0].data, "ü" + std::string(1, '\0'));
}

TEST(RegFile, MalformedLinesAreNamed) {
    EXPECT_EQ(ParseFails("").line, 1);
    EXPECT_EQ(ParseFails("\n\nhello\n").line, 3);
    EXPECT_EQ(ParseFails("REGEDIT4\n\"v\"=\"x\"\n").line, 2);
    const ParseError root = ParseFails("REGEDIT4\n[HKEY_NOWHERE\\x]\n");
    EXPECT_EQ(root.line, 2);
    EXPECT_NE(root.message.find("HKEY_NOWHERE"), std::string::npos);
    const std::string head = "REGEDIT4\n[HKCU\\x]\n";
    EXPECT_EQ(ParseFails(head + "\"v\"=hex:1g\n").line, 3);
    EXPECT_EQ(ParseFails(head + "\"v\"=hex:01,\n").line, 3);
    EXPECT_EQ(ParseFails(head + "\"v\"=dword:123456789\n").line, 3);
    EXPECT_EQ(ParseFails(head + "\"v\"=\"open\n").line, 3);
    EXPECT_EQ(ParseFails(head + "\"v\"\"x\"\n").line, 3);
    EXPECT_EQ(ParseFails(head + "\"a\"=\"1\"\n\"v\"=what\n").line, 4);
    EXPECT_EQ(ParseFails(head + "[HKCU\\y\n").line, 3);
    EXPECT_EQ(ParseFails(Utf16("Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n"
                               "\"v\"=hex(7):41,00,42\r\n"))
                  .line,
              3);
}

// Bytes that are not UTF-8 survive export and import unchanged, whether in
// data or in names; valid text is written as text.
TEST(RegFile, TextThatIsNotUtf8RoundTripsByteForByte) {
    const std::string odd("\xFF\xFE\xC0\x80\xED\xA0\x80", 7);
    RegKeyBlock key{"HKEY_CURRENT_USER\\Software\\" + odd, false, {}, 0};
    key.values.push_back({"sz", false, platform::REG_SZ, odd + '\0', 0});
    key.values.push_back({"expand", false, platform::REG_EXPAND_SZ, "%A%" + odd + '\0', 0});
    key.values.push_back({"multi", false, platform::REG_MULTI_SZ, odd + '\0' + "b\xE9" + '\0', 0});
    key.values.push_back({odd, false, platform::REG_SZ, std::string("Grüße\0", 8), 0});
    const std::string bytes = WriteRegFile({key});
    std::string text;
    ASSERT_TRUE(Utf16leToUtf8(bytes.substr(2), &text));
    EXPECT_NE(text.find("\"sz\"=hex(1):"), std::string::npos) << text;
    EXPECT_NE(text.find("\"=\"Grüße\"\r\n"), std::string::npos) << text;

    const RegFile file = Parse(bytes);
    ASSERT_EQ(file.keys.size(), 1u);
    EXPECT_EQ(file.keys[0].path, key.path);
    ASSERT_EQ(file.keys[0].values.size(), key.values.size());
    for (std::size_t i = 0; i < key.values.size(); ++i) {
        EXPECT_EQ(file.keys[0].values[i].name, key.values[i].name);
        EXPECT_EQ(file.keys[0].values[i].data, key.values[i].data) << key.values[i].name;
    }
}

// A lone surrogate that no 8-bit text could have become is refused by its
// line, never changed into something else.
TEST(RegFile, LoneSurrogatesFromElsewhereAreRefusedByLine) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\x]\r\n";
    const ParseError data = ParseFails(Utf16(head) + Utf8ToUtf16le("\"v\"=hex(1):00,d8,00,00\r\n"));
    EXPECT_EQ(data.line, 4);
    EXPECT_NE(data.message.find("lone UTF-16 surrogate"), std::string::npos) << data.message;

    std::string name = Utf16(head + "\"a");
    name += std::string("\x00\xD8", 2) + Utf8ToUtf16le("\"=\"x\"\r\n");
    EXPECT_EQ(ParseFails(name).line, 4);
    // Byte units that spell a UTF-8 character would come back as that character.
    EXPECT_EQ(ParseFails(Utf16(head) + Utf8ToUtf16le("\"v\"=hex(2):c3,dc,a9,dc,00,00\r\n")).line,
              4);
    // A unit that stands for a byte comes back as that byte, and goes out as it came.
    const std::string kept = Utf16(head) + Utf8ToUtf16le("\"v\"=hex(2):80,dc,00,00\r\n");
    const RegFile file = Parse(kept);
    ASSERT_EQ(file.keys.size(), 1u);
    EXPECT_EQ(file.keys[0].values[0].data, std::string("\x80\0", 2));
}

TEST(RegFile, NamesWithANulAreRefusedByLine) {
    const std::string head = "REGEDIT4\n[HKCU\\Software]\n";
    const std::string nul(1, '\0');
    EXPECT_EQ(ParseFails(head + "[-HKEY_CURRENT_USER\\Software\\Netvigil\\Remote Hosts" + nul +
                         " (other)]\n")
                  .line,
              3);
    const ParseError value =
        ParseFails(head + "\"a\"=\"1\"\n\"IP Address 1" + nul + "-x\"=\"x\"\n");
    EXPECT_EQ(value.line, 4);
    EXPECT_NE(value.message.find("NUL"), std::string::npos) << value.message;
    const ParseError key = ParseFails(
        Utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software" + nul +
              "\\Evil]\r\n"));
    EXPECT_EQ(key.line, 3);
    EXPECT_NE(key.message.find("NUL"), std::string::npos) << key.message;
}

std::string Levels(int count) {
    std::string levels;
    for (int i = 0; i < count; ++i) {
        levels += "\\k";
    }
    return levels;
}

TEST(RegFileParts, KeyLines) {
    struct Case {
        std::string line;
        const char* path; // nullptr: refused, the error holding `why`; "": taken
        bool remove;
        const char* why;
    };
    const Case cases[] = {
        {"[HKCU\\Software]", "HKEY_CURRENT_USER\\Software", false, ""},
        {"[-hklm\\A\\B]", "HKEY_LOCAL_MACHINE\\A\\B", true, ""},
        {"[HKEY_USERS]", "HKEY_USERS", false, ""},
        {"[HKCU\\x", nullptr, false, "must end in ]"},
        {"[]", nullptr, false, "must end in ]"},
        {"[HKEY_NOWHERE\\x]", nullptr, false, "HKEY_NOWHERE"},
        {"[-]", nullptr, false, "unknown root"},
        {"[HKCU\\" + std::string(255, 'k') + "]", "", false, ""},
        {"[HKCU\\" + std::string(256, 'k') + "\\x]", nullptr, false, "longer than 255"},
        {"[HKCU" + Levels(512) + "]", "", false, ""},
        {"[-HKCU" + Levels(513) + "]", nullptr, false, "513 levels deep"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseKeyLine(c.line);
        ASSERT_EQ(parsed.value.has_value(), c.path != nullptr) << c.line << ": " << parsed.error;
        if (c.path != nullptr && *c.path != '\0') {
            EXPECT_EQ(parsed.value->path, c.path);
            EXPECT_EQ(parsed.value->remove, c.remove) << c.line;
        } else {
            EXPECT_NE(parsed.error.find(c.why), std::string::npos)
                << c.line << ": " << parsed.error;
        }
    }
}

TEST(RegFileParts, ValueNamesAndDwords) {
    struct NameCase {
        std::string text;
        std::optional<std::string> name;
        std::string rest;
    };
    const NameCase names[] = {
        {"@=\"x\"", "", "=\"x\""},
        {"\"a \\\"b\\\\\"=-", "a \"b\\", "=-"},
        {"\"open=x", std::nullopt, ""},
        {"name=x", std::nullopt, ""},
        {"\"" + std::string(16383, 'n') + "\"", std::string(16383, 'n'), ""},
        {"\"" + std::string(16384, 'n') + "\"", std::nullopt, ""},
    };
    for (const NameCase& c : names) {
        std::string_view rest = c.text;
        const auto parsed = ParseValueName(rest);
        EXPECT_EQ(parsed.value, c.name) << c.text;
        if (c.name) {
            EXPECT_EQ(rest, c.rest) << c.text;
        }
    }

    const std::pair<std::string, std::optional<std::string>> dwords[] = {
        {"00000080", std::string("\x80\0\0\0", 4)},
        {"1", std::string("\x01\0\0\0", 4)},
        {"FfFfFfFf", std::string("\xFF\xFF\xFF\xFF", 4)},
        {"", std::nullopt},
        {"123456789", std::nullopt},
        {"12 ", std::nullopt},
        {"-1", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& [digits, data] : dwords) {
        EXPECT_EQ(ParseDword(digits).value, data) << digits;
    }
}

TEST(RegFileParts, HexValues) {
    struct Case {
        std::string text; // what follows "hex"
        bool unicode;
        std::optional<platform::DWORD> type;
        std::string data;
    };
    const Case cases[] = {
        {":01,ab,FF", true, platform::REG_BINARY, "\x01\xAB\xFF"},
        {":", true, platform::REG_BINARY, ""},
        {"(b):00, 01 ,02", false, 11, std::string("\0\x01\x02", 3)},
        {"(2):41,00,42,00,00,00", true, platform::REG_EXPAND_SZ, std::string("AB\0", 3)},
        {"(2):41,42,00", false, platform::REG_EXPAND_SZ, std::string("AB\0", 3)},
        {"(7):41,00,00,00,00,00", true, platform::REG_MULTI_SZ, std::string("A\0\0", 3)},
        {"(7):41,00,42", true, std::nullopt, ""},
        {"(123456789):00", true, std::nullopt, ""},
        {"(x):00", true, std::nullopt, ""},
        {"(1:00", true, std::nullopt, ""},
        {"01,02", true, std::nullopt, ""},
        {":1g", true, std::nullopt, ""},
        {":123", true, std::nullopt, ""},
        {":01,", true, std::nullopt, ""},
        {":01,,02", true, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseHexValue(c.text, c.unicode);
        ASSERT_EQ(parsed.value.has_value(), c.type.has_value()) << c.text << ": " << parsed.error;
        if (c.type) {
            EXPECT_EQ(parsed.value->type, *c.type) << c.text;
            EXPECT_EQ(parsed.value->data, c.data) << c.text;
        } else {
            EXPECT_FALSE(parsed.error.empty());
        }
    }
}

} // namespace
