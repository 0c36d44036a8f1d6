// The window-system layer: what the windows rely on of forms, elements,
// menus and timers, offscreen.

#include "platform/gui/App.h"
#include "platform/gui/Button.h"
#include "platform/gui/CommonDialog.h"
#include "platform/gui/Form.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Timer.h"
#include "platform/gui/Twips.h"
#include "platform/handles.h"
#include "platform/qt/Icons.h"
#include "platform/qt/NestedLoop.h"
#include "platform/qt/Twips.h"
#include "platform/qt/Widgets.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

using namespace platform;
using namespace platform::qt;

namespace {

class Probe : public Form {
public:
    std::vector<std::string>* log = nullptr;

protected:
    void Form_Unload() override {
        log->push_back(Forms().empty() ||
                               std::find(Forms().begin(), Forms().end(), this) == Forms().end()
                           ? "unload after removal"
                           : "unload while loaded");
    }
};

TEST(QtLayer, UnitsAreTwipsAndBgrColours) {
    EXPECT_DOUBLE_EQ(TwipsPerPixelX(), 15.0);
    EXPECT_EQ(PixelsX(2955), 197);
    EXPECT_EQ(TwipsY(16), 240);
    EXPECT_EQ(FromBgr(255), QColor(255, 0, 0));
    EXPECT_EQ(FromBgr(65280), QColor(0, 255, 0));
    EXPECT_EQ(FromBgr(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(ToBgr(QColor(128, 0, 0)), 128);
    Form form;
    form.SetBackColor(128);
    EXPECT_EQ(form.BackColor(), 128);
    form.SetHeight(1290);
    EXPECT_EQ(form.Height(), 1290);
    form.Unload();
}

// At each size a tray asks for: the colour fills the badge's middle, and the
// picture away from the badge is untouched.
TEST(QtLayer, BadgedIconsKeepThePictureAndShowTheColour) {
    const HICON plain = ProgramIcon();
    const HICON red = BadgedIcon(plain, 255);
    EXPECT_EQ(BadgedIcon(plain, 255), red);
    EXPECT_NE(BadgedIcon(plain, 65280), red);
    EXPECT_EQ(BadgedIcon(plain, std::nullopt), plain);
    EXPECT_EQ(BadgedIcon(0, 255), 0u);
    for (const int size : {16, 22, 24, 32}) {
        const QImage before = IconFromHandle(plain).pixmap(QSize(size, size), 1.0).toImage();
        const QImage after = IconFromHandle(red).pixmap(QSize(size, size), 1.0).toImage();
        ASSERT_EQ(after.size(), QSize(size, size));
        const int middle = size - (size + 2) / 4;
        EXPECT_EQ(after.pixelColor(middle, middle), QColor(255, 0, 0)) << size;
        EXPECT_EQ(after.pixelColor(size / 4, size / 4), before.pixelColor(size / 4, size / 4))
            << size;
    }
}

TEST(QtLayer, UnloadNotifiesThenRemoves) {
    std::vector<std::string> log;
    auto* form = new Probe;
    form->log = &log;
    const FormPointer<Probe> alive(form);
    const platform::HWND handle = form->hWnd();
    EXPECT_EQ(Form::FromHandle(handle), form);
    form->Show();
    form->Unload();
    EXPECT_EQ(log, std::vector<std::string>{"unload while loaded"});
    EXPECT_EQ(Form::FromHandle(handle), nullptr);
    EXPECT_FALSE(form->Visible());
    form->Unload(); // a second unload does nothing
    EXPECT_EQ(log.size(), 1u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(QtLayer, ShowModalReturnsWhenHiddenWhileTimersTick) {
    Form owner;
    Form dialog;
    int ticks = 0;
    Timer timer(owner);
    timer.SetInterval(1);
    timer.OnTimer = [&] {
        if (++ticks == 5) {
            dialog.Hide();
        }
    };
    timer.SetEnabled(true);
    QElapsedTimer clock;
    clock.start();
    dialog.ShowModal();
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_LT(clock.elapsed(), 5000);
    timer.SetEnabled(false);
    owner.Unload();
    dialog.Unload();
}

// A window's timers stop for good when it unloads: one enabled again
// afterwards, by a handler up the stack that the unload came into, ticks no
// more, while the timers of a loaded window go on.
TEST(QtLayer, TheTimersOfAnUnloadedWindowStayStopped) {
    Form loaded;
    Form unloaded;
    Timer going(loaded);
    Timer stopped(unloaded);
    int strays = 0;
    stopped.OnTimer = [&] { ++strays; };
    stopped.SetInterval(1);
    stopped.SetEnabled(true);
    QEventLoop loop;
    int ticks = 0;
    going.OnTimer = [&] {
        if (++ticks == 20) {
            loop.quit();
        }
    };
    going.SetInterval(1);
    going.SetEnabled(true);
    {
        // The unloaded window is freed only once this loop has ended.
        const NestedLoop nested;
        unloaded.Unload();
        stopped.SetEnabled(true);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_EQ(ticks, 20);
    EXPECT_EQ(strays, 0);
    going.SetEnabled(false);
    loaded.Unload();
}

TEST(QtLayer, WindowStateAndControlsAboveTheDragSurface) {
    Form form;
    form.Show();
    EXPECT_EQ(form.WindowState(), 0);
    form.SetWindowState(1);
    EXPECT_EQ(form.WindowState(), 1);
    form.SetWindowState(0);
    EXPECT_EQ(form.WindowState(), 0);

    auto* button = new Button(form);
    auto* label = new Label(form);
    auto* image = new Image(form);
    button->Move(0, 0, 300, 300);
    label->Move(0, 0, 300, 300);
    image->Move(0, 0, 3000, 3000);
    image->ZOrder();
    // The surface covers the label but not the button.
    EXPECT_EQ(ClientOf(&form)->childAt(5, 5), WidgetOf(button));
    WidgetOf(label)->raise();
    image->ZOrder();
    EXPECT_EQ(ClientOf(&form)->childAt(5, 5), WidgetOf(button));
    button->SetVisible(false);
    EXPECT_EQ(ClientOf(&form)->childAt(5, 5), WidgetOf(image));
    form.Unload();
}

TEST(QtLayer, MenuItemsAndColourDialog) {
    Form form;
    MenuItem* item = form.AddMenuBarItem("Stop");
    int clicks = 0;
    item->Click = [&] { ++clicks; };
    ActionOf(item)->trigger();
    EXPECT_EQ(clicks, 1);
    item->SetVisible(false);
    EXPECT_FALSE(item->Visible());
    EXPECT_EQ(item->Caption(), "Stop");

    CommonDialog dialog(form);
    std::string title;
    CommonDialog::SetChooser(
        [&](std::int32_t color, const std::string& shownTitle) -> std::optional<std::int32_t> {
            title = shownTitle;
            return color == 5 ? std::nullopt : std::optional<std::int32_t>(65280);
        });
    dialog.SetDialogTitle("Select Background Color");
    dialog.SetColor(128);
    EXPECT_TRUE(dialog.ShowColor());
    EXPECT_EQ(dialog.Color(), 65280);
    EXPECT_EQ(title, "Select Background Color");
    dialog.SetColor(5);
    EXPECT_FALSE(dialog.ShowColor());
    EXPECT_EQ(dialog.Color(), 5);
    CommonDialog::SetChooser(nullptr);
    form.Unload();
}

TEST(QtLayer, ShellStartsDetachedAndLeavesNothingBehind) {
    testing_support::TempDir dir;
    const int children = testing_support::ChildProcessCount();
    const std::size_t handles = platform::OpenHandleCount();
    const std::string marker = dir / "ran";
    EXPECT_NE(Shell("/usr/bin/touch " + marker, 0), 0u);
    EXPECT_EQ(Shell("no-such-program-anywhere", 1), 0u);
    EXPECT_TRUE(testing_support::WaitForChildCount(children));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    Form form;
    HideFromTaskList(form); // offscreen: nothing to tell, and no harm done
    form.Unload();
}

} // namespace
