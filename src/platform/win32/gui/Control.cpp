// What every element is: buttons, check boxes and text boxes are child
// windows; labels, lights, lines and the drag surface are rectangles their
// window paints or takes presses on.

#include "platform/gui/Control.h"

#include "platform/win32/gui/Internals.h"

#include <commctrl.h>
#include <windowsx.h>

namespace platform {

namespace {

using Kind = Control::Impl::Kind;

int ButtonOf(::UINT message) {
    return message == WM_LBUTTONUP ? 1 : message == WM_RBUTTONUP ? 2 : 4;
}

// The keyboard's mark around a child window, which its form paints: it
// moves with the focus.
void RepaintFocusMark(::HWND child) {
    ::RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<::POINT*>(&r), 2);
    ::InflateRect(&r, 6, 6);
    ::InvalidateRect(::GetParent(child), &r, TRUE);
}

// A child window's focus, and a button's release, which its own window
// hears of.
::LRESULT CALLBACK ChildProcedure(::HWND hWnd, ::UINT message, ::WPARAM wParam, ::LPARAM lParam,
                                  ::UINT_PTR /*id*/, ::DWORD_PTR data) {
    const ::LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
    auto& c = *reinterpret_cast<Control::Impl*>(data);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        RepaintFocusMark(hWnd);
    }
    if (c.kind != Kind::Button) {
        return result;
    }
    auto* button = static_cast<Button*>(c.control);
    switch (message) {
    case WM_SETFOCUS:
        c.owner.Internals().ScrollIntoView(c);
        if (button->GotFocus) {
            const std::function<void()> handler = button->GotFocus;
            handler();
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (button->MouseUp) {
            const unsigned dpi = c.owner.Internals().Dpi();
            const MouseHandler handler = button->MouseUp;
            handler(ButtonOf(message),
                    ((wParam & MK_SHIFT) != 0 ? 1 : 0) | ((wParam & MK_CONTROL) != 0 ? 2 : 0),
                    static_cast<float>(win32::Twips(GET_X_LPARAM(lParam), dpi)),
                    static_cast<float>(win32::Twips(GET_Y_LPARAM(lParam), dpi)));
        }
        break;
    default:
        break;
    }
    return result;
}

::HWND MakeChild(Control::Impl& c) {
    const wchar_t* windowClass = c.kind == Kind::TextBox ? L"EDIT" : L"BUTTON";
    ::DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP;
    ::DWORD exStyle = 0;
    switch (c.kind) {
    case Kind::Button:
        style |= BS_PUSHBUTTON;
        break;
    case Kind::CheckBox:
        style |= BS_AUTOCHECKBOX;
        break;
    default:
        style |= ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    }
    Form::Impl& form = c.owner.Internals();
    ::HWND child = ::CreateWindowExW(exStyle, windowClass, L"", style, 0, 0, 0, 0, form.hWnd,
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<::LONG_PTR>(&c));
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<::WPARAM>(form.hFont), FALSE);
    ::SetWindowSubclass(child, ChildProcedure, 1, reinterpret_cast<::DWORD_PTR>(&c));
    return child;
}

// The tool of an element in the window's tooltip control: the child window
// itself, or the element's rectangle.
::TTTOOLINFOW ToolOf(const Control::Impl& c) {
    ::TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = c.owner.Internals().hWnd;
    tool.uFlags = TTF_SUBCLASS | (c.child != nullptr ? TTF_IDISHWND : 0);
    tool.uId = c.child != nullptr ? reinterpret_cast<::UINT_PTR>(c.child)
                                  : reinterpret_cast<::UINT_PTR>(&c);
    return tool;
}

// The tooltip of an element: a tool of the window's tooltip control.
void UpdateTip(Control::Impl& c) {
    Form::Impl& form = c.owner.Internals();
    if (form.tips == nullptr) {
        if (c.tip.empty()) {
            return;
        }
        form.tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form.hWnd,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(form.tips, TTM_SETMAXTIPWIDTH, 0, win32::Pixels(4800, form.Dpi()));
    }
    ::TTTOOLINFOW tool = ToolOf(c);
    tool.rect = c.PixelRect();
    ::SendMessageW(form.tips, TTM_DELTOOLW, 0, reinterpret_cast<::LPARAM>(&tool));
    if (!c.tip.empty()) {
        std::wstring text = win32::Wide(c.tip);
        tool.lpszText = text.data();
        ::SendMessageW(form.tips, TTM_ADDTOOLW, 0, reinterpret_cast<::LPARAM>(&tool));
    }
}

// A new text for an element whose tool is there: in place, so that a tip on
// show takes it rather than going (the board's names change theirs after
// every sweep).
void UpdateTipText(Control::Impl& c) {
    ::TTTOOLINFOW tool = ToolOf(c);
    std::wstring text = win32::Wide(c.tip);
    tool.lpszText = text.data();
    ::SendMessageW(c.owner.Internals().tips, TTM_UPDATETIPTEXTW, 0,
                   reinterpret_cast<::LPARAM>(&tool));
}

} // namespace

::RECT Control::Impl::PixelRect() const {
    const unsigned dpi = owner.Internals().Dpi();
    const int x = win32::Pixels(left, dpi);
    const int y = win32::Pixels(top, dpi) - owner.Internals().scroll;
    return {x, y, x + win32::Pixels(width, dpi), y + win32::Pixels(height, dpi)};
}

void Control::Impl::Place() {
    if (child != nullptr) {
        const ::RECT r = PixelRect();
        ::MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    if (!tip.empty() && child == nullptr) {
        UpdateTip(*this);
    }
}

void Control::Impl::Repaint() const {
    if (child == nullptr) {
        const ::RECT r = PixelRect();
        ::InvalidateRect(owner.Internals().hWnd, &r, TRUE);
    }
}

Control::Impl::~Impl() {
    if (child != nullptr) {
        ::DestroyWindow(child);
    }
    if (hFont != nullptr) {
        ::DeleteObject(hFont);
    }
}

Control::Control(Form& owner, std::unique_ptr<Impl> impl) : m_p(std::move(impl)) {
    m_p->control = this;
    if (m_p->kind == Kind::Button || m_p->kind == Kind::CheckBox || m_p->kind == Kind::TextBox) {
        m_p->child = MakeChild(*m_p);
    }
    owner.Internals().controls.emplace_back(this);
}

Control::~Control() = default;

void Control::Move(int left, int top, int width, int height) {
    m_p->Repaint();
    m_p->left = left;
    m_p->top = top;
    m_p->width = width;
    m_p->height = height;
    m_p->Place();
    m_p->Repaint();
}

bool Control::Visible() const {
    return m_p->visible;
}

void Control::SetVisible(bool visible) {
    m_p->visible = visible;
    if (m_p->child != nullptr) {
        ::ShowWindow(m_p->child, visible ? SW_SHOWNA : SW_HIDE);
    } else {
        win32::ElementChanged(*m_p, visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE);
    }
    m_p->Repaint();
}

std::string Control::ToolTipText() const {
    return m_p->tip;
}

void Control::SetToolTipText(const std::string& text) {
    if (text != m_p->tip) {
        const bool tool = !m_p->tip.empty() && m_p->owner.Internals().tips != nullptr;
        m_p->tip = text;
        if (tool && !text.empty()) {
            UpdateTipText(*m_p);
        } else {
            UpdateTip(*m_p);
        }
    }
}

std::string Control::AccessibleName() const {
    return m_p->accessibleName;
}

void Control::SetAccessibleName(const std::string& name) {
    if (name == m_p->accessibleName) {
        return;
    }
    m_p->accessibleName = name;
    // A painted element (a light) is named by its window's client object.
    if (m_p->child != nullptr) {
        win32::NameWindow(m_p->child, name);
    } else {
        win32::ElementChanged(*m_p, EVENT_OBJECT_NAMECHANGE);
    }
}

} // namespace platform
