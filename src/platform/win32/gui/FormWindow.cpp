// The form's window: its class, and the procedure that handles its
// messages; and the keys a form hears before its elements.

#include "platform/win32/gui/Internals.h"
#include "platform/win32/notify_icon.h"

#include <shellapi.h>
#include <windowsx.h>

namespace platform {

namespace {

// The program's mouse button and shift codes from a message's key flags.
int ButtonCode(::WPARAM keys) {
    return ((keys & MK_LBUTTON) != 0 ? 1 : 0) | ((keys & MK_RBUTTON) != 0 ? 2 : 0) |
           ((keys & MK_MBUTTON) != 0 ? 4 : 0);
}

int ShiftCode(::WPARAM keys) {
    return ((keys & MK_SHIFT) != 0 ? 1 : 0) | ((keys & MK_CONTROL) != 0 ? 2 : 0) |
           (::GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

::LRESULT CALLBACK FormProcedure(::HWND hWnd, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const ::CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                            reinterpret_cast<::LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Form::Impl*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (impl == nullptr || impl->hWnd == nullptr) {
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // Destroyed with its owner: the handle is no longer the form's.
        impl->hWnd = nullptr;
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    return impl->Procedure(message, wParam, lParam);
}

} // namespace

namespace win32 {

bool PreviewKey(const ::MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) {
        return false;
    }
    Form* form = Form::FromHandle(OurWindow(::GetAncestor(msg.hwnd, GA_ROOT)));
    if (form == nullptr || !form->KeyDown) {
        return false;
    }
    int code = static_cast<int>(msg.wParam);
    const int shift = (::GetKeyState(VK_SHIFT) < 0 ? vbShiftMask : 0) |
                      (::GetKeyState(VK_CONTROL) < 0 ? vbCtrlMask : 0) |
                      (::GetKeyState(VK_MENU) < 0 ? vbAltMask : 0);
    // A copy: the handler may unload the window.
    const KeyHandler handler = form->KeyDown;
    handler(code, shift);
    return code == 0;
}

const wchar_t* FormClass() {
    static const wchar_t* const name = [] {
        ::WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = FormProcedure;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        wc.lpszClassName = L"NetvigilForm";
        ::RegisterClassExW(&wc);
        return L"NetvigilForm";
    }();
    return name;
}

} // namespace win32

void Form::Impl::NotifyIconCallback(::UINT reported) {
    // A version-3 icon reports the keyboard's Enter or Space as NIN_KEYSELECT
    // and the menu key as WM_CONTEXTMENU: for the tray class, the double
    // click and the right button's release. The shell follows a right
    // button's release with a WM_CONTEXTMENU as well, which is not a second
    // request for the menu (it may come while the first menu is open).
    const bool echo = reported == WM_CONTEXTMENU && afterTrayRightButtonUp;
    afterTrayRightButtonUp = reported == WM_RBUTTONUP;
    const ::UINT message = reported == NIN_KEYSELECT    ? WM_LBUTTONDBLCLK
                           : reported == WM_CONTEXTMENU ? WM_RBUTTONUP
                                                        : reported;
    if (!echo) {
        // The message where the pointer's x would be, as the shell put it
        // before the window's own conversion to its unit.
        self.RaiseMouseMove(0, 0, Units(message, 1440.0 / Dpi()), 0);
    }
}

::LRESULT Form::Impl::Procedure(::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: {
        ::RECT r{};
        ::GetClientRect(hWnd, &r);
        ::FillRect(reinterpret_cast<::HDC>(wParam), &r, background);
        return 1;
    }
    case WM_PAINT: {
        ::PAINTSTRUCT ps{};
        ::HDC dc = ::BeginPaint(hWnd, &ps);
        Paint(dc);
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Check boxes and buttons lie on the window's own colour.
        ::SetBkColor(reinterpret_cast<::HDC>(wParam), win32::Colour(backColor));
        return reinterpret_cast<::LRESULT>(background);
    case WM_MOUSEMOVE: {
        // A real move: the window's own handler hears of it, and no one who
        // takes its x for the shell's message (the tray class).
        if (self.MouseMove) {
            const double twipsPerPixel = 1440.0 / Dpi();
            const MouseHandler handler = self.MouseMove;
            handler(ButtonCode(wParam), ShiftCode(wParam),
                    Units(GET_X_LPARAM(lParam), twipsPerPixel),
                    Units(GET_Y_LPARAM(lParam), twipsPerPixel));
        }
        return 0;
    }
    case win32::kNotifyIconCallback:
        NotifyIconCallback(static_cast<::UINT>(LOWORD(lParam)));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        const ::POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 4;
        // The topmost drag surface under the pointer takes the press.
        for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
            const Control::Impl& c = (*it)->Internals();
            const ::RECT r = c.PixelRect();
            if (c.kind == Control::Impl::Kind::Image && c.visible && ::PtInRect(&r, at) != FALSE) {
                const MouseHandler handler = static_cast<Image*>(c.control)->MouseDown;
                if (handler) {
                    const double scale = 1440.0 / Dpi();
                    handler(button, ShiftCode(wParam), static_cast<float>(at.x * scale),
                            static_cast<float>((at.y + scroll) * scale));
                }
                return 0;
            }
        }
        break;
    }
    case WM_COMMAND: {
        if (lParam == 0) {
            if (MenuItem* item = ItemById(LOWORD(wParam)); item != nullptr && item->Click) {
                const std::function<void()> click = item->Click;
                click();
            }
            return 0;
        }
        auto* c = reinterpret_cast<Control::Impl*>(
            ::GetWindowLongPtrW(reinterpret_cast<::HWND>(lParam), GWLP_USERDATA));
        if (c != nullptr && HIWORD(wParam) == EN_SETFOCUS) {
            ScrollIntoView(*c);
            return 0;
        }
        if (c != nullptr && c->kind == Control::Impl::Kind::Button &&
            HIWORD(wParam) == BN_CLICKED) {
            const std::function<void()> click = static_cast<Button*>(c->control)->Click;
            if (click) {
                click();
            }
        }
        return 0;
    }
    case WM_VSCROLL: {
        // A line is a quarter of an inch, the options window's row.
        const int line = win32::Pixels(360, Dpi());
        int y = scroll;
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            y -= line;
            break;
        case SB_LINEDOWN:
            y += line;
            break;
        case SB_PAGEUP:
            y -= scrollPage;
            break;
        case SB_PAGEDOWN:
            y += scrollPage;
            break;
        case SB_TOP:
            y = 0;
            break;
        case SB_BOTTOM:
            y = scrollRange;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            ::SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            ::GetScrollInfo(hWnd, SB_VERT, &info);
            y = info.nTrackPos;
            break;
        }
        default:
            break;
        }
        ScrollTo(y);
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (scrollRange > 0) {
            ScrollTo(scroll -
                     GET_WHEEL_DELTA_WPARAM(wParam) * win32::Pixels(360, Dpi()) / WHEEL_DELTA);
            return 0;
        }
        break;
    case WM_TIMER:
        win32::TimerTick(self, wParam);
        return 0;
    case WM_CLOSE:
        // Closing the window from the desktop unloads it.
        self.Unload();
        return 0;
    case WM_QUERYENDSESSION:
        // The session may end; the program ends with it at WM_ENDSESSION.
        return TRUE;
    case WM_ENDSESSION:
        // Log-off and shut-down send no WM_CLOSE. The program ends as its
        // Exit ends it: every window unloads, the first (the main window,
        // which takes the tray icon away) first, and nothing is left to do
        // when this returns, after which Windows may end the process at once.
        if (wParam != FALSE) {
            for (Form* form : std::vector<Form*>(core::LoadedForms())) {
                form->Unload();
            }
        }
        return 0;
    case WM_GETOBJECT:
        // The client area with its lights and labels; lParam is a 32-bit
        // identifier, whatever the width of the parameter.
        if (static_cast<::DWORD>(lParam) == static_cast<::DWORD>(OBJID_CLIENT)) {
            if (const ::LRESULT object = win32::ClientObjectResult(*this, wParam)) {
                return object;
            }
        }
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another density: the same size in inches.
        const auto* suggested = reinterpret_cast<const ::RECT*>(lParam);
        ::SetWindowPos(hWnd, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::DeleteObject(hFont);
        hFont = win32::MakeFont(font, Dpi());
        for (const auto& control : controls) {
            Control::Impl& c = control->Internals();
            if (c.hasFont) {
                ::DeleteObject(c.hFont);
                c.hFont = win32::MakeFont(c.font, Dpi());
            }
            if (c.child != nullptr) {
                ::SendMessageW(c.child, WM_SETFONT, reinterpret_cast<::WPARAM>(hFont), TRUE);
            }
        }
        PlaceAll();
        return 0;
    }
    default:
        break;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

} // namespace platform
