// The program's UTF-8 into the UTF-16 of Windows' W functions and back: every
// character whole, and whatever is no text (a stray byte, half a surrogate
// pair) one U+FFFD, never another character.

#include "platform/utf8.h"

#include <gtest/gtest.h>

using platform::Utf16;
using platform::Utf8FromUtf16;
using platform::WholeCharacters;

namespace {

TEST(Utf8, RoundTripsThroughUtf16) {
    const std::string host = "Büro – Köln Zentrale Drucker";
    EXPECT_EQ(Utf16(host), u"Büro – Köln Zentrale Drucker");
    EXPECT_EQ(Utf8FromUtf16(std::u16string_view(Utf16(host))), host);
    // Past U+FFFF: a surrogate pair.
    EXPECT_EQ(Utf16("Fax 📠"), (std::u16string{u'F', u'a', u'x', u' ', 0xD83D, 0xDCE0}));
    EXPECT_EQ(Utf8FromUtf16(std::u16string_view(u"Stra\u00DFe \U0001F4E0")), "Straße 📠");
    EXPECT_EQ(Utf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf8, WhatIsNoTextBecomesOneReplacementEach) {
    EXPECT_EQ(Utf16("B\xC3"), u"B\uFFFD");
    // An overlong NUL would otherwise end the text early.
    EXPECT_EQ(Utf16("\xE0\x80\x80x"), u"\uFFFD\uFFFD\uFFFDx");
    const std::u16string lone{u'a', 0xD83D, u'b', 0xDCE0};
    EXPECT_EQ(Utf8FromUtf16(std::u16string_view(lone)), "a\xEF\xBF\xBD"
                                                        "b\xEF\xBF\xBD");
}

TEST(Utf8, WholeCharactersLeaveACharacterCutShortForLater) {
    EXPECT_EQ(WholeCharacters("Straße"), 7u);
    EXPECT_EQ(WholeCharacters("Stra\xC3"), 4u);
    EXPECT_EQ(WholeCharacters("Fax \xF0\x9F\x93"), 4u);
    EXPECT_EQ(WholeCharacters("Fax \xF0\x9F\x93\xA0"), 8u);
    EXPECT_EQ(WholeCharacters(""), 0u);
    // A stray byte waits for nothing.
    EXPECT_EQ(WholeCharacters("a\x80"), 2u);
}

} // namespace
