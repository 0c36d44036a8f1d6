#pragma once

// A window as the program's windows are written: loaded, shown, shown
// modally, hidden, unloaded; lengths in twips, colours as 0x00BBGGRR, a
// 32-bit handle. A window is made with new; once unloaded, the window system
// frees it when no handler up the stack can still be using it. Its elements
// lie on its client area; a menu bar, when there is one, sits above that,
// inside the window's height as on Windows. The program alone sizes a
// window: the user can neither resize nor maximise it. A window hidden and
// shown again comes back where it was.

#include "platform/gui/Font.h"
#include "platform/gui/window.h"
#include "platform/win32_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class MenuItem;

// Window states.
inline constexpr int vbNormal = 0;
inline constexpr int vbMinimized = 1;
inline constexpr int vbMaximized = 2;

// Where a window opens: where the window system puts it, or centred over the
// window that shows it modally, wholly on that window's screen.
inline constexpr int vbStartUpManual = 0;
inline constexpr int vbStartUpOwner = 1;

// Coordinates in pixels (ScaleMode); any other mode is twips.
inline constexpr int vbPixels = 3;

// Key codes, as Windows numbers its virtual keys; letters and digits are
// their upper-case characters.
inline constexpr int vbKeyReturn = 13;
inline constexpr int vbKeyEscape = 27;
inline constexpr int vbKeySpace = 32;
inline constexpr int vbKeyUp = 38;
inline constexpr int vbKeyDown = 40;
inline constexpr int vbKeyApps = 93;
inline constexpr int vbKeyF10 = 121;
// Shift states of a key or mouse notification.
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// A key pressed: its code and the shift state. A handler that sets KeyCode
// to 0 keeps the key from the element that has the focus.
using KeyHandler = std::function<void(int& KeyCode, int Shift)>;

class Form : public IWindow {
public:
    Form();
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Runs the load step (Form_Load) if it has not run yet. Show does too.
    void Load();
    void Show() override;
    // Returns when the window has been hidden or unloaded; other windows and
    // timers go on meanwhile. owner: the window it opens over.
    void ShowModal(Form* owner = nullptr);
    void Hide();
    bool Visible() const override;
    void SetStartUpPosition(int position);

    // vbNormal, vbMinimized or vbMaximized.
    int WindowState() const;
    void SetWindowState(int state) override;

    HWND hWnd() const override;
    static Form* FromHandle(HWND hWnd);
    HICON Icon() const;
    void SetIcon(HICON icon);

    // What a screen reader calls the window, whose caption stays blank.
    void SetAccessibleName(const std::string& name);

    std::int32_t BackColor() const;
    void SetBackColor(std::int32_t bgr);
    // The font of the window's elements, unless one has its own.
    void SetFont(const Font& font);

    // The window's height in twips, menu bar included.
    int Height() const;
    void SetHeight(int twips);
    // A width in twips that the user cannot change.
    void SetFixedWidth(int twips);
    // The client area's size in twips.
    void SetClientSize(int widthTwips, int heightTwips);
    // A client area of this size for good: the window takes whatever the
    // menu bar needs above it. Where the window would not fit in the
    // available area of its screen, it is made to fit and the client area
    // scrolls below the menu bar.
    void SetFixedClientSize(int widthTwips, int heightTwips);

    int ScaleMode() const override;
    void SetScaleMode(int mode);
    double TwipsPerPixelX() const override;

    // Runs Form_Unload, then removes the window: it leaves Forms() at once,
    // its timers stop and its open menus close.
    void Unload();
    bool Unloaded() const;
    // The loaded windows.
    static const std::vector<Form*>& Forms();
    // Called once the last loaded window has been unloaded: the program's end.
    static void SetLastFormUnloaded(std::function<void()> handler);

    // A command straight on the menu bar, with no menu below it; owned by
    // the window.
    MenuItem* AddMenuBarItem(const std::string& caption);

    // Pops up a menu at the pointer, defaultItem (if any) as its default entry.
    void PopupMenu(IMenu& menu, IMenuItem* defaultItem) override;
    // The same at (x, y) in the window's coordinate unit.
    void PopupMenuAt(IMenu& menu, IMenuItem* defaultItem, float x, float y) override;

    // The mouse-move notification: button, shift state, x and y in the
    // window's coordinate unit. The notification area delivers its callbacks
    // here.
    MouseHandler MouseMove;
    void RaiseMouseMove(int button, int shift, float x, float y);
    void SubscribeMouseMove(MouseHandler handler) override;

    // A key pressed anywhere in the window, heard before its elements hear
    // it (as with KeyPreview). Menus and dialogs keep their own keys.
    KeyHandler KeyDown;

    // The window system's side of the window.
    struct Impl;
    Impl& Internals() const { return *m_p; }

protected:
    // Runs once, before the window is first shown.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace platform
