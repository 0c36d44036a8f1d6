// The window system's timers on Windows, run by wine-run --desktop: a timer
// does not tick inside its window's popup menu (the tick's yields would take
// the menu's clicks), and ticks again once the menu has closed.

#include "platform/App.h"
#include "platform/Form.h"
#include "platform/Menu.h"
#include "platform/MenuItem.h"
#include "platform/Timer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

int g_ticksInMenu = -1;
int* g_ticks = nullptr;

// Closes the open menu, noting how often the form's timer had ticked in it.
void CALLBACK CloseMenu(HWND /*hwnd*/, UINT /*message*/, UINT_PTR id, DWORD /*time*/) {
    KillTimer(nullptr, id);
    g_ticksInMenu = *g_ticks;
    EndMenu();
}

TEST(WindowsTimer, WaitsWhileTheWindowsPopupMenuIsOpen) {
    platform::Form form;
    form.Show();
    auto* menu = new platform::Menu(form); // the form owns its menus
    menu->Add("Item");
    int ticks = 0;
    g_ticks = &ticks;
    platform::Timer timer(form);
    timer.OnTimer = [&ticks] { ++ticks; };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    // Half a second of the menu's own loop: fifty intervals.
    SetTimer(nullptr, 0, 500, CloseMenu);
    form.PopupMenuAt(*menu, nullptr, 0, 0);
    EXPECT_EQ(g_ticksInMenu, 0);
    EXPECT_TRUE(testing_support::WaitFor([&] {
        platform::DoEvents();
        return ticks > 0;
    }));
}

} // namespace
