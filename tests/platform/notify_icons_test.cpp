// The icons kept for a shell that forgets them: an add the shell refused is
// made again, with what the icon shows by then, before the next change is
// sent; a shell that starts afresh gets every icon again; a removed icon
// stays removed; a balloon is never shown twice.

#include "platform/common/notify_icons.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace platform;

struct Sent {
    DWORD message;
    NOTIFYICONDATA record;
};

class NotifyIconsTest : public ::testing::Test {
protected:
    NotifyIcons icons{[this](DWORD message, NOTIFYICONDATA* record) {
        sent.push_back({message, *record});
        return refuse ? FALSE : TRUE;
    }};
    std::vector<Sent> sent;
    bool refuse = false;

    static NOTIFYICONDATA Record(HWND hWnd, UINT flags, HICON icon, const char* tip) {
        NOTIFYICONDATA r{};
        r.cbSize = 504;
        r.hWnd = hWnd;
        r.uID = 1;
        r.uFlags = flags;
        r.uCallbackMessage = WM_MOUSEMOVE;
        r.hIcon = icon;
        std::strncpy(r.szTip, tip, sizeof r.szTip - 1);
        r.uTimeout = 3;
        return r;
    }
    // The tray class's add: NIM_ADD, then NIM_SETVERSION.
    void Add(HWND hWnd, HICON icon, const char* tip) {
        NOTIFYICONDATA r = Record(hWnd, NIF_MESSAGE | NIF_ICON | NIF_TIP, icon, tip);
        icons.Request(NIM_ADD, &r);
        icons.Request(NIM_SETVERSION, &r);
    }
    BOOL Change(HWND hWnd, HICON icon, const char* tip) {
        NOTIFYICONDATA r = Record(hWnd, NIF_MESSAGE | NIF_ICON | NIF_TIP, icon, tip);
        return icons.Request(NIM_MODIFY, &r);
    }
    std::vector<DWORD> Messages() const {
        std::vector<DWORD> messages;
        for (const Sent& s : sent) {
            messages.push_back(s.message);
        }
        return messages;
    }
};

TEST_F(NotifyIconsTest, ARefusedAddIsMadeAgainAtTheNextChangeWithWhatTheIconShowsThen) {
    refuse = true;
    Add(100, 7, "Netvigil");
    // The version of an icon the shell does not have is not asked for.
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(Change(100, 8, "one is on."), FALSE);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY}));

    refuse = false;
    sent.clear();
    EXPECT_EQ(Change(100, 9, "one is off."), TRUE);
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_MODIFY}));
    const NOTIFYICONDATA& add = sent[0].record;
    EXPECT_EQ(add.hWnd, 100);
    EXPECT_EQ(add.uID, 1u);
    EXPECT_EQ(add.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(add.uCallbackMessage, WM_MOUSEMOVE);
    EXPECT_EQ(add.hIcon, 9u);
    EXPECT_STREQ(add.szTip, "one is off.");
    EXPECT_EQ(sent[1].record.uTimeout, 3u);

    // Added: a change is a change.
    sent.clear();
    EXPECT_EQ(Change(100, 9, "one is on."), TRUE);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
}

TEST_F(NotifyIconsTest, AShellStartedAfreshGetsEveryIconAgainButNoneRemoved) {
    Add(100, 7, "Netvigil");
    Add(200, 7, "other");
    Add(300, 7, "gone");
    Change(100, 8, "one is on.");
    NOTIFYICONDATA balloon = Record(100, NIF_INFO, 0, "");
    std::strcpy(balloon.szInfo, "one is on.");
    icons.Request(NIM_MODIFY, &balloon);
    NOTIFYICONDATA gone = Record(300, 0, 0, "");
    icons.Request(NIM_DELETE, &gone);

    sent.clear();
    icons.ShellStarted();
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(sent[0].record.hWnd, 100);
    EXPECT_EQ(sent[0].record.hIcon, 8u);
    EXPECT_STREQ(sent[0].record.szTip, "one is on.");
    EXPECT_EQ(sent[0].record.uFlags & NIF_INFO, 0u);
    EXPECT_EQ(sent[2].record.hWnd, 200);
    EXPECT_STREQ(sent[2].record.szTip, "other");

    // Refused then, the icon is added at its next change.
    refuse = true;
    icons.ShellStarted();
    refuse = false;
    sent.clear();
    Change(200, 7, "other, later");
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_MODIFY}));
    EXPECT_STREQ(sent[0].record.szTip, "other, later");
}

TEST_F(NotifyIconsTest, AChangeTheShellRefusesAddsTheIconItLost) {
    int calls = 0;
    NotifyIcons lost([&](DWORD message, NOTIFYICONDATA* record) {
        sent.push_back({message, *record});
        // The first change finds no icon; the add and the change after it go.
        return message == NIM_MODIFY && calls++ == 0 ? FALSE : TRUE;
    });
    NOTIFYICONDATA r = Record(100, NIF_MESSAGE | NIF_ICON | NIF_TIP, 7, "Netvigil");
    lost.Request(NIM_ADD, &r);
    sent.clear();
    r = Record(100, NIF_MESSAGE | NIF_ICON | NIF_TIP, 8, "one is on.");
    EXPECT_EQ(lost.Request(NIM_MODIFY, &r), TRUE);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_MODIFY}));
    EXPECT_STREQ(sent[1].record.szTip, "one is on.");
}

TEST_F(NotifyIconsTest, AnAddRefusedForAnIconTheShellHasLeavesTheChangesGoing) {
    // A change between the shell's start and its word of it added the icon
    // again: the add that answers the word is refused.
    NotifyIcons icons2([this](DWORD message, NOTIFYICONDATA* record) {
        sent.push_back({message, *record});
        return message == NIM_ADD && sent.size() > 1 ? FALSE : TRUE;
    });
    NOTIFYICONDATA r = Record(100, NIF_MESSAGE | NIF_ICON | NIF_TIP, 7, "Netvigil");
    icons2.Request(NIM_ADD, &r);
    icons2.ShellStarted();
    sent.clear();
    r = Record(100, NIF_MESSAGE | NIF_ICON | NIF_TIP, 8, "one is on.");
    EXPECT_EQ(icons2.Request(NIM_MODIFY, &r), TRUE);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    sent.clear();
    EXPECT_EQ(icons2.Request(NIM_MODIFY, &r), TRUE);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
}

TEST_F(NotifyIconsTest, AnIconAddedAgainIsStillThereWhenTheShellRefusesTheAdd) {
    Add(100, 7, "Netvigil");
    refuse = true;
    sent.clear();
    Add(100, 7, "one is on.");
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    refuse = false;
    sent.clear();
    Change(100, 7, "one is off.");
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
}

TEST_F(NotifyIconsTest, WhatWasNeverAddedGoesStraightToTheShell) {
    // The tray class's change before its add: the shell answers it.
    refuse = true;
    EXPECT_EQ(Change(100, 7, "early"), FALSE);
    icons.ShellStarted();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
    EXPECT_EQ(sent[0].record.uCallbackMessage, WM_MOUSEMOVE);
}

} // namespace
