// The Win32 window system where a real Windows differs from what the other
// tests meet, run by wine-run --desktop: the icon's callbacks apart from real
// mouse moves, the keyboard on the icon, the options window's owner and the
// order in which a modal window gives the input back, the end of the session,
// and the painted lights and labels as a screen reader reads them.

#include "platform/common/gui_core.h"
#include "platform/gui/App.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Shape.h"
#include "platform/utf8.h"
#include "platform/win32/notify_icon.h"
#include "tray/clsSysTray.h"

#include <gtest/gtest.h>

#include <oleacc.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

::HWND Native(const platform::Form& form) {
    return reinterpret_cast<::HWND>(static_cast<std::intptr_t>(form.hWnd()));
}

// What the shell sends about the icon of a version-3 record: the message in
// lParam.
void FromTheShell(const platform::Form& form, ::UINT message) {
    ::SendMessageW(Native(form), platform::win32::kNotifyIconCallback, 1, message);
}

class Board : public platform::Form {
public:
    std::vector<std::string>* unloads = nullptr;
    std::string name;

protected:
    void Form_Unload() override { unloads->push_back(name); }
};

TEST(WindowSystem, OnlyTheShellsCallbackIsTheTrayClasssAndTheKeyboardWorksTheIcon) {
    platform::Form form;
    auto* menu = new platform::Menu(form);
    menu->Add("Exit");
    clsSysTray tray;
    ASSERT_TRUE(tray.AttachForm(&form, menu, nullptr));
    std::vector<float> moves;
    form.MouseMove = [&moves](int, int, float x, float) { moves.push_back(x); };

    // Real moves at x 515 and 517, on a board wider than that: the window
    // hears them; the tray class, which would restore the window or open
    // its menu, does not.
    {
        const platform::core::PopupProbe probe;
        ::SendMessageW(Native(form), WM_MOUSEMOVE, 0, MAKELPARAM(517, 10));
        ::SendMessageW(Native(form), WM_MOUSEMOVE, 0, MAKELPARAM(515, 10));
        EXPECT_EQ(probe.Shown(), nullptr);
    }
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(moves.size(), 2u);

    // A right click: the menu opens once, whatever WM_CONTEXTMENU follows.
    {
        const platform::core::PopupProbe probe;
        FromTheShell(form, WM_RBUTTONUP);
        EXPECT_EQ(probe.Shown(), menu);
    }
    {
        const platform::core::PopupProbe probe;
        FromTheShell(form, WM_CONTEXTMENU);
        EXPECT_EQ(probe.Shown(), nullptr) << "a second menu for one right click";
    }
    // The menu key on the icon alone, and Enter or Space: the menu, and the
    // window back as a double click brings it.
    {
        const platform::core::PopupProbe probe;
        FromTheShell(form, WM_MOUSEMOVE);
        FromTheShell(form, WM_CONTEXTMENU);
        EXPECT_EQ(probe.Shown(), menu);
    }
    form.SetWindowState(platform::vbMinimized);
    FromTheShell(form, NIN_KEYSELECT);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.WindowState(), platform::vbNormal);
}

// Notes, each time the options window is hidden, whether the board could
// already take the input again.
::HHOOK g_hook = nullptr;
::HWND g_options = nullptr;
::HWND g_board = nullptr;
std::vector<bool> g_boardEnabledAsOptionsHid;

::LRESULT CALLBACK WatchHiding(int code, ::WPARAM wParam, ::LPARAM lParam) {
    const auto* call = reinterpret_cast<const ::CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == g_options && call->message == WM_SHOWWINDOW &&
        call->wParam == FALSE) {
        g_boardEnabledAsOptionsHid.push_back(::IsWindowEnabled(g_board) != FALSE);
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

void CALLBACK CloseOptions(::HWND, ::UINT, ::UINT_PTR id, ::DWORD) {
    ::KillTimer(nullptr, id);
    ::PostMessageW(g_options, WM_CLOSE, 0, 0);
}

TEST(WindowSystem, TheOptionsWindowBelongsToTheBoardAndGivesItTheInputBackFirst) {
    ASSERT_TRUE(platform::Form::Forms().empty());
    platform::Form board;
    board.Show();
    auto* options = new platform::Form; // unloaded by its close, freed with the test
    g_board = Native(board);
    g_options = Native(*options);
    // Owned by the board from the start: above it, and no task-bar button.
    EXPECT_EQ(::GetWindow(g_options, GW_OWNER), g_board);
    EXPECT_EQ(::GetWindowLongPtrW(g_options, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    // The board belongs to a hidden window from the start too, and has its
    // button for as long as it asks for one.
    const ::HWND hidden = ::GetWindow(g_board, GW_OWNER);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(::IsWindowVisible(hidden), FALSE);
    EXPECT_NE(::GetWindowLongPtrW(g_board, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    platform::HideFromTaskList(board);
    EXPECT_EQ(::GetWindowLongPtrW(g_board, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_NE(::IsWindowVisible(g_board), FALSE);
    platform::ShowInTaskList(board);
    EXPECT_NE(::GetWindowLongPtrW(g_board, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(::GetWindow(g_board, GW_OWNER), hidden);

    g_boardEnabledAsOptionsHid.clear();
    g_hook = ::SetWindowsHookExW(WH_CALLWNDPROC, WatchHiding, nullptr, ::GetCurrentThreadId());
    ::SetTimer(nullptr, 0, 200, CloseOptions);
    options->ShowModal(&board);
    ::UnhookWindowsHookEx(g_hook);
    EXPECT_TRUE(options->Unloaded());
    EXPECT_EQ(g_boardEnabledAsOptionsHid, std::vector<bool>{true});
    EXPECT_NE(::IsWindowEnabled(g_board), FALSE);
}

TEST(WindowSystem, TheEndOfTheSessionUnloadsEveryWindowTheFirstFirst) {
    std::vector<std::string> unloads;
    Board board;
    board.unloads = &unloads;
    board.name = "board";
    Board options;
    options.unloads = &unloads;
    options.name = "options";
    board.Show();
    options.Show();

    // Asked, the session may end; ended for another program's refusal, the
    // windows stay.
    EXPECT_EQ(::SendMessageW(Native(options), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    ::SendMessageW(Native(options), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(unloads.empty());

    ::SendMessageW(Native(options), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(unloads, (std::vector<std::string>{"board", "options"}));
    EXPECT_TRUE(board.Unloaded());
    EXPECT_TRUE(options.Unloaded());
    EXPECT_TRUE(platform::Form::Forms().empty());
}

// The children of the form's client area, as oleacc hands them to a reader:
// name and role of each.
std::vector<std::pair<std::string, long>> Children(::HWND hWnd) {
    IAccessible* client = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(hWnd, static_cast<::DWORD>(OBJID_CLIENT),
                                            __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&client)))) {
        return {};
    }
    std::vector<std::pair<std::string, long>> children;
    long count = 0;
    client->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        ::VARIANT child;
        ::VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        ::BSTR name = nullptr;
        ::VARIANT role;
        ::VariantInit(&role);
        client->get_accName(child, &name);
        client->get_accRole(child, &role);
        children.emplace_back(name != nullptr ? platform::Utf8FromUtf16(std::wstring_view(name))
                                              : std::string(),
                              role.vt == VT_I4 ? role.lVal : 0);
        ::SysFreeString(name);
    }
    client->Release();
    return children;
}

TEST(WindowSystem, AScreenReaderReadsTheLightsAndTheLabels) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    platform::Form form;
    auto* light = new platform::Shape(form);
    light->Move(60, 170, 375, 240);
    auto* label = new platform::Label(form);
    label->Move(480, 120, 1935, 375);
    label->SetCaption("Büro – Köln Zentrale Drucker");
    auto* hidden = new platform::Shape(form);
    hidden->SetVisible(false);
    new platform::Label(form); // saying nothing
    light->SetAccessibleName("Büro – Köln Zentrale Drucker, online");
    form.Show();

    const std::vector<std::pair<std::string, long>> expected{
        {"Büro – Köln Zentrale Drucker, online", ROLE_SYSTEM_GRAPHIC},
        {"Büro – Köln Zentrale Drucker", ROLE_SYSTEM_STATICTEXT}};
    EXPECT_EQ(Children(Native(form)), expected);

    // The name follows the state; where the light lies, a reader finds it.
    light->SetAccessibleName("Büro – Köln Zentrale Drucker, offline");
    EXPECT_EQ(Children(Native(form)).front().first, "Büro – Köln Zentrale Drucker, offline");
    IAccessible* client = nullptr;
    ASSERT_TRUE(SUCCEEDED(
        ::AccessibleObjectFromWindow(Native(form), static_cast<::DWORD>(OBJID_CLIENT),
                                     __uuidof(IAccessible), reinterpret_cast<void**>(&client))));
    ::VARIANT first;
    ::VariantInit(&first);
    first.vt = VT_I4;
    first.lVal = 1;
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(client->accLocation(&left, &top, &width, &height, first), S_OK);
    EXPECT_GT(width, 0);
    ::VARIANT hit;
    ::VariantInit(&hit);
    ASSERT_EQ(client->accHitTest(left + width / 2, top + height / 2, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, 1);
    client->Release();
}

} // namespace
