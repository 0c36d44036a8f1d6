// The window system's timers on Windows, run by wine-run --desktop: a timer
// does not tick inside its window's popup menu (the tick's yields would take
// the menu's clicks), and ticks again once the menu has closed; it ticks
// while the runner waits for a child that writes late.

#include "platform/gui/App.h"
#include "platform/gui/Form.h"
#include "platform/gui/Menu.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Timer.h"
#include "runner/clsRunCommand.h"
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

TEST(WindowsTimer, TicksWhileTheRunnerWaits) {
    platform::Form form;
    form.Show();
    // The child stays silent until the timer has ticked a dozen times, which
    // only a wait that delivers messages lets it do.
    testing_support::TempDir dir;
    const std::string ticked = dir / "ticked";
    int ticks = 0;
    platform::Timer timer(form);
    timer.OnTimer = [&] {
        if (++ticks == 12) {
            testing_support::WriteFileBytes(ticked, "");
        }
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    platform::SetPipeWait(platform::DoEventsWhile);
    clsRunCommand run;
    EXPECT_EQ(run.GetRtnText(testing_support::BinDir() + "\\test_child.exe until \"" + ticked +
                                 "\" Reply",
                             "Reply", 0, 0),
              "Reply");
    platform::SetPipeWait(nullptr);
    EXPECT_GT(ticks, 10);
}

} // namespace
