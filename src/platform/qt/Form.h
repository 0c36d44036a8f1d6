#pragma once

// A window as the program's windows are written: shown, shown modally,
// hidden, unloaded; lengths in twips, colours as 0x00BBGGRR, a 32-bit handle.
// Elements live in Client(), visible from their creation on, whenever they
// are made; a menu bar, when there is one, sits above the client area,
// inside the window's height as on Windows.

#include "platform/qt/MenuItem.h"
#include "platform/win32_types.h"
#include "platform/window.h"

#include <QIcon>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QEventLoop;
class QMouseEvent;

namespace platform::qt {

class Menu;
class Timer;

class Form : public QMainWindow, public IWindow {
public:
    Form();
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Runs the load step (Form_Load) if it has not run yet. Show does too.
    void Load();
    void Show() override;
    // Returns when the window has been hidden or unloaded; other windows and
    // timers go on meanwhile.
    void ShowModal();
    void Hide();
    bool Visible() const override { return isVisible(); }

    // 0 normal, 1 minimized.
    int WindowState() const;
    void SetWindowState(int state) override;

    HWND hWnd() const override { return m_hWnd; }
    QIcon Icon() const { return windowIcon(); }
    void SetIcon(const QIcon& icon) { setWindowIcon(icon); }
    static Form* FromHandle(HWND hWnd);

    std::int32_t BackColor() const;
    void SetBackColor(std::int32_t bgr);

    // The window's height in twips, menu bar included.
    int Height() const;
    void SetHeight(int twips);
    // The client area's size in twips.
    void SetClientSize(int widthTwips, int heightTwips);
    // A client area of this size for good: the window takes whatever the
    // menu bar needs above it.
    void SetFixedClientSize(int widthTwips, int heightTwips);

    // 3: coordinates in pixels; anything else: twips.
    int ScaleMode() const override { return m_nScaleMode; }
    double TwipsPerPixelX() const override;
    void SetScaleMode(int mode) { m_nScaleMode = mode; }

    // Runs Form_Unload, then removes the window; it leaves Forms() at once,
    // and its memory once no handler up the stack can still be using it.
    void Unload();
    bool Unloaded() const { return m_bUnloaded; }
    static const std::vector<Form*>& Forms();

    QWidget* Client() const { return m_client; }

    // A command straight on the menu bar, with no menu below it.
    MenuItem* AddMenuBarItem(const std::string& caption);

    // The mouse-move notification: button, shift state, x and y in the
    // window's coordinate unit. The tray shell delivers its callbacks here.
    MouseMoveHandler MouseMove;
    void RaiseMouseMove(int button, int shift, float x, float y);
    void SubscribeMouseMove(MouseMoveHandler handler) override {
        m_subscriber = std::move(handler);
    }

    // Pops up a menu at the pointer, defaultItem (if any) as its default entry.
    void PopupMenu(IMenu& menu, IMenuItem* defaultItem) override;
    // The same at (x, y) in the window's coordinate unit.
    void PopupMenuAt(IMenu& menu, IMenuItem* defaultItem, float x, float y) override;

    // A timer of this window: stopped when the window unloads.
    void AddTimer(Timer* timer) { m_timers.push_back(timer); }

    // Called once the last loaded window has been unloaded: the program's end.
    static void SetLastFormUnloaded(std::function<void()> handler);

protected:
    // Runs once, when the window is first shown.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_client;
    HWND m_hWnd;
    int m_nScaleMode = 1;
    bool m_bLoaded = false;
    bool m_bUnloading = false;
    bool m_bUnloaded = false;
    QEventLoop* m_modalLoop = nullptr;
    std::vector<Timer*> m_timers;
    MouseMoveHandler m_subscriber;
};

// While one lives, a popup asked of any window is not shown but noted: what
// a right click on the notification-area icon would show now, to hand to a
// host that draws the menu itself.
class PopupProbe {
public:
    PopupProbe();
    ~PopupProbe();
    PopupProbe(const PopupProbe&) = delete;
    PopupProbe& operator=(const PopupProbe&) = delete;
    Menu* Shown() const { return m_shown; }

private:
    friend class Form;
    Menu* m_shown = nullptr;
};

// VB's mouse button and shift codes from Qt's.
int ButtonCode(Qt::MouseButtons buttons);
int ShiftCode(Qt::KeyboardModifiers modifiers);

// Hands an element's press or release to its handler: the button that
// changed, the shift state, and the position in twips.
void RaiseMouseEvent(const MouseMoveHandler& handler, const QMouseEvent& event);

} // namespace platform::qt
