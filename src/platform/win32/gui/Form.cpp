#include "platform/gui/Form.h"

#include "platform/win32/gui/Internals.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

UINT NextMenuId() {
    static UINT next = 1000;
    return ++next;
}

constexpr ::DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

} // namespace

Form::Impl::Impl(Form& form) : self(form) {
    // A window made while another is loaded (the options window, over the
    // board) belongs to the first: it stays above it, has no task-bar button
    // of its own, and comes forward with it. The first belongs to a hidden
    // window, with a button of its own (WS_EX_APPWINDOW) that it can lose
    // (HideFromTaskList). Windows takes the owner only when the window is
    // made.
    const auto& forms = core::LoadedForms();
    const ::HWND ownedBy = forms.empty() ? win32::HiddenOwner() : forms.front()->Internals().hWnd;
    hWnd = ::CreateWindowExW(forms.empty() ? WS_EX_APPWINDOW : 0, win32::FormClass(), L"", kStyle,
                             CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, ownedBy, nullptr,
                             ::GetModuleHandleW(nullptr), this);
    backColor = static_cast<std::int32_t>(::GetSysColor(COLOR_BTNFACE));
    background = ::CreateSolidBrush(win32::Colour(backColor));
    hFont = win32::MakeFont(font, Dpi());
}

Form::Impl::~Impl() {
    win32::ForgetClientObject(*this);
    FreeOwned();
    if (hWnd != nullptr) {
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hWnd);
    }
    ::DeleteObject(background);
    ::DeleteObject(hFont);
}

unsigned Form::Impl::Dpi() const {
    return win32::WindowDpi(hWnd);
}

int Form::Impl::MenuBarHeight() const {
    if (bar == nullptr) {
        return 0;
    }
    ::RECT outer{};
    ::RECT client{};
    ::GetWindowRect(hWnd, &outer);
    ::GetClientRect(hWnd, &client);
    const ::RECT frame = win32::FrameForDpi({0, 0, 0, 0}, kStyle, Dpi());
    return std::max(0, static_cast<int>((outer.bottom - outer.top) - (frame.bottom - frame.top) -
                                        client.bottom));
}

void Form::Impl::SizeClient(int width, int height) {
    // The menu bar may wrap at this width: the frame is fitted twice, the
    // second time with the bar as it then lies.
    for (int pass = 0; pass < 2; ++pass) {
        const ::RECT frame = win32::FrameForDpi({0, 0, width, height}, kStyle, Dpi());
        ::SetWindowPos(hWnd, nullptr, 0, 0, frame.right - frame.left,
                       frame.bottom - frame.top + MenuBarHeight(),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form::Impl::FitWorkArea() {
    if (fixedClientHeight == 0) {
        return;
    }
    const ::HWND nearby = owner != nullptr ? owner->Internals().hWnd : hWnd;
    ::MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(nearby, MONITOR_DEFAULTTONEAREST), &monitor) ==
        FALSE) {
        return;
    }
    const unsigned dpi = Dpi();
    const int width = win32::Pixels(fixedClientWidth, dpi);
    const int height = win32::Pixels(fixedClientHeight, dpi);
    const ::RECT frame = win32::FrameForDpi({0, 0, width, height}, kStyle, dpi);
    const int over = static_cast<int>(frame.bottom - frame.top) + MenuBarHeight() -
                     static_cast<int>(monitor.rcWork.bottom - monitor.rcWork.top);
    const bool scrolls = over > 0;
    scrollRange = scrolls ? height : 0;
    scrollPage = scrolls ? height - over : height;
    ::ShowScrollBar(hWnd, SB_VERT, scrolls ? TRUE : FALSE);
    // The frame leaves the scroll bar out: it takes its width from the client area.
    SizeClient(width + (scrolls ? win32::MetricForDpi(SM_CXVSCROLL, dpi) : 0), scrollPage);
    if (scrolls) {
        ::SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMax = height - 1;
        info.nPage = static_cast<::UINT>(scrollPage);
        ::SetScrollInfo(hWnd, SB_VERT, &info, TRUE);
    }
    ScrollTo(scroll);
}

void Form::Impl::ScrollTo(int y) {
    const int to = std::clamp(y, 0, std::max(0, scrollRange - scrollPage));
    if (to == scroll) {
        return;
    }
    scroll = to;
    ::SetScrollPos(hWnd, SB_VERT, scroll, TRUE);
    PlaceAll();
}

void Form::Impl::ScrollIntoView(const Control::Impl& c) {
    if (scrollRange == 0) {
        return;
    }
    const unsigned dpi = Dpi();
    const int top = win32::Pixels(c.top, dpi);
    const int bottom = win32::Pixels(c.top + c.height, dpi);
    if (top < scroll) {
        ScrollTo(top);
    } else if (bottom > scroll + scrollPage) {
        ScrollTo(bottom - scrollPage);
    }
}

void Form::Impl::RebuildMenuBar() {
    if (bar == nullptr) {
        bar = ::CreateMenu();
        ::SetMenu(hWnd, bar);
    }
    ::RECT client{};
    ::GetClientRect(hWnd, &client);
    while (::GetMenuItemCount(bar) > 0) {
        ::DeleteMenu(bar, 0, MF_BYPOSITION);
    }
    for (const auto& item : barItems) {
        const MenuItem::Impl& i = item->Internals();
        if (i.visible) {
            ::AppendMenuW(bar, i.caption == "-" ? MF_SEPARATOR : MF_STRING, i.id,
                          win32::Wide(i.caption).c_str());
        }
    }
    ::DrawMenuBar(hWnd);
    // The client area keeps its size, however many lines the bar now takes.
    SizeClient(client.right, client.bottom);
}

void Form::Impl::PlaceAll() {
    for (const auto& control : controls) {
        control->Internals().Place();
    }
    ::InvalidateRect(hWnd, nullptr, TRUE);
}

MenuItem* Form::Impl::ItemById(UINT id) const {
    for (const auto& item : barItems) {
        if (item->Internals().id == id) {
            return item.get();
        }
    }
    return nullptr;
}

void Form::Impl::Popup(Menu& menu, MenuItem* defaultItem, ::POINT at) {
    ::HMENU popup = ::CreatePopupMenu();
    for (const auto& item : menu.Internals().items) {
        const MenuItem::Impl& i = item->Internals();
        if (i.visible) {
            ::AppendMenuW(popup, i.caption == "-" ? MF_SEPARATOR : MF_STRING, i.id,
                          win32::Wide(i.caption).c_str());
        }
    }
    if (defaultItem != nullptr) {
        ::SetMenuDefaultItem(popup, defaultItem->Internals().id, FALSE);
    }
    win32::NameMenu(popup, menu.Internals().accessibleName);
    // A menu of a window that is not in front would not close on a click
    // elsewhere (the notification area's menu).
    ::SetForegroundWindow(hWnd);
    menuOpen = true;
    const auto chosen = static_cast<UINT>(::TrackPopupMenu(
        popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hWnd, nullptr));
    menuOpen = false;
    ::PostMessageW(hWnd, WM_NULL, 0, 0);
    win32::ForgetMenu(popup);
    ::DestroyMenu(popup);
    if (chosen == 0 || unloaded) {
        return;
    }
    for (const auto& item : menu.Internals().items) {
        if (item->Internals().id == chosen && item->Click) {
            // A copy: the command may unload the window, and the menu with it.
            const std::function<void()> click = item->Click;
            click();
            return;
        }
    }
}
Form::Form() : m_p(std::make_unique<Impl>(*this)) {
    core::LoadedForms().push_back(this);
}

Form::~Form() {
    std::erase(core::LoadedForms(), this);
}

void Form::Show() {
    Load();
    if (m_p->unloaded) {
        return;
    }
    const bool first = ::IsWindowVisible(m_p->hWnd) == FALSE;
    if (first) {
        m_p->FitWorkArea();
    }
    if (first && m_p->startUpPosition == vbStartUpOwner && m_p->owner != nullptr) {
        // Centred over the owner, and wholly on its monitor's work area.
        ::RECT over{};
        ::RECT mine{};
        ::GetWindowRect(m_p->owner->m_p->hWnd, &over);
        ::GetWindowRect(m_p->hWnd, &mine);
        const int w = mine.right - mine.left;
        const int h = mine.bottom - mine.top;
        int x = (over.left + over.right - w) / 2;
        int y = (over.top + over.bottom - h) / 2;
        ::MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (::GetMonitorInfoW(::MonitorFromWindow(m_p->owner->m_p->hWnd, MONITOR_DEFAULTTONEAREST),
                              &monitor) != FALSE) {
            const auto left = static_cast<int>(monitor.rcWork.left);
            const auto top = static_cast<int>(monitor.rcWork.top);
            x = std::clamp(x, left, std::max(left, static_cast<int>(monitor.rcWork.right) - w));
            y = std::clamp(y, top, std::max(top, static_cast<int>(monitor.rcWork.bottom) - h));
        }
        ::SetWindowPos(m_p->hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Brought back from the notification area, a window that was minimized
    // when it went there opens again.
    ::ShowWindow(m_p->hWnd, ::IsIconic(m_p->hWnd) != FALSE ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(m_p->hWnd);
}

void Form::ShowModal(Form* owner) {
    m_p->owner = owner;
    Show();
    if (m_p->unloaded) {
        return; // unloaded by its own load step
    }
    // The other windows take no input meanwhile; their timers go on.
    for (Form* form : core::LoadedForms()) {
        if (form != this && ::IsWindowEnabled(form->m_p->hWnd) != FALSE) {
            ::EnableWindow(form->m_p->hWnd, FALSE);
            m_p->disabledByModal.push_back(form->m_p->hWnd);
        }
    }
    m_p->modal = true;
    ::MSG msg{};
    while (m_p->modal && !m_p->unloaded && ::IsWindowVisible(m_p->hWnd) != FALSE) {
        const ::BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!win32::PreviewKey(msg) && ::IsDialogMessageW(m_p->hWnd, &msg) == FALSE) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_p->modal = false;
    m_p->EnableOthers();
    if (owner != nullptr && !owner->m_p->unloaded) {
        ::SetForegroundWindow(owner->m_p->hWnd);
    }
    m_p->owner = nullptr;
}

void Form::Impl::EnableOthers() {
    // The windows are all still there: none is freed while a loop runs.
    for (::HWND other : std::exchange(disabledByModal, {})) {
        ::EnableWindow(other, TRUE);
    }
}

void Form::Hide() {
    // A modal window gives the input back before it goes: Windows activates
    // another window when the active one hides, and a window still disabled
    // cannot be it, so another program's would be.
    m_p->EnableOthers();
    ::ShowWindow(m_p->hWnd, SW_HIDE);
    m_p->modal = false;
}

bool Form::Visible() const {
    return ::IsWindowVisible(m_p->hWnd) != FALSE;
}

int Form::WindowState() const {
    return ::IsIconic(m_p->hWnd) != FALSE   ? vbMinimized
           : ::IsZoomed(m_p->hWnd) != FALSE ? vbMaximized
                                            : vbNormal;
}

void Form::SetWindowState(int state) {
    const int show = state == vbMinimized   ? SW_MINIMIZE
                     : state == vbMaximized ? SW_MAXIMIZE
                                            : SW_RESTORE;
    if (Visible()) {
        ::ShowWindow(m_p->hWnd, show);
        return;
    }
    // A hidden window takes the state for when it is next shown.
    ::WINDOWPLACEMENT place{};
    place.length = sizeof place;
    ::GetWindowPlacement(m_p->hWnd, &place);
    place.showCmd = state == vbMinimized   ? SW_SHOWMINNOACTIVE
                    : state == vbMaximized ? SW_SHOWMAXIMIZED
                                           : SW_SHOWNORMAL;
    place.flags = 0;
    ::SetWindowPlacement(m_p->hWnd, &place);
}

HWND Form::hWnd() const {
    return win32::OurWindow(m_p->hWnd);
}

void Form::SetIcon(HICON icon) {
    m_p->icon = icon;
    ::SendMessageW(m_p->hWnd, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<::LPARAM>(win32::NativeIcon(icon)));
    ::SendMessageW(m_p->hWnd, WM_SETICON, ICON_BIG,
                   reinterpret_cast<::LPARAM>(win32::LargeIconFor(icon)));
}

void Form::SetAccessibleName(const std::string& name) {
    m_p->accessibleName = name;
    win32::NameWindow(m_p->hWnd, name);
}

std::int32_t Form::BackColor() const {
    return m_p->backColor;
}

void Form::SetBackColor(std::int32_t bgr) {
    m_p->backColor = bgr;
    ::DeleteObject(m_p->background);
    m_p->background = ::CreateSolidBrush(win32::Colour(bgr));
    ::InvalidateRect(m_p->hWnd, nullptr, TRUE);
    for (const auto& control : m_p->controls) {
        if (control->Internals().child != nullptr) {
            ::InvalidateRect(control->Internals().child, nullptr, TRUE);
        }
    }
}

void Form::SetFont(const Font& font) {
    m_p->font = font;
    ::DeleteObject(m_p->hFont);
    m_p->hFont = win32::MakeFont(font, m_p->Dpi());
    for (const auto& control : m_p->controls) {
        if (::HWND child = control->Internals().child) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<::WPARAM>(m_p->hFont), TRUE);
        }
    }
    ::InvalidateRect(m_p->hWnd, nullptr, TRUE);
}

int Form::Height() const {
    ::RECT client{};
    ::GetClientRect(m_p->hWnd, &client);
    return win32::Twips(client.bottom + m_p->MenuBarHeight(), m_p->Dpi());
}

void Form::SetHeight(int twips) {
    ::RECT client{};
    ::GetClientRect(m_p->hWnd, &client);
    m_p->SizeClient(client.right,
                    std::max(0, win32::Pixels(twips, m_p->Dpi()) - m_p->MenuBarHeight()));
}

void Form::SetFixedWidth(int twips) {
    ::RECT client{};
    ::GetClientRect(m_p->hWnd, &client);
    m_p->SizeClient(win32::Pixels(twips, m_p->Dpi()), client.bottom);
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    m_p->SizeClient(win32::Pixels(widthTwips, m_p->Dpi()), win32::Pixels(heightTwips, m_p->Dpi()));
}

void Form::SetFixedClientSize(int widthTwips, int heightTwips) {
    m_p->fixedClientWidth = widthTwips;
    m_p->fixedClientHeight = heightTwips;
    SetClientSize(widthTwips, heightTwips);
}

double Form::TwipsPerPixelX() const {
    return 1440.0 / m_p->Dpi();
}

MenuItem* Form::AddMenuBarItem(const std::string& caption) {
    auto item = std::make_unique<MenuItem>(
        std::make_unique<MenuItem::Impl>(caption, [this] { m_p->RebuildMenuBar(); }));
    item->Internals().id = NextMenuId();
    m_p->barItems.push_back(std::move(item));
    m_p->RebuildMenuBar();
    return m_p->barItems.back().get();
}

namespace core {

FormCore& CoreOf(const Form& form) {
    return form.Internals();
}

double TwipsPerPixelY(const Form& form) {
    return 1440.0 / form.Internals().Dpi();
}

void CloseMenus(Form& form) {
    if (form.Internals().menuOpen) {
        ::EndMenu();
    }
}

void FreeWhenUnwound(Form& form) {
    win32::DeleteWhenUnwound(&form);
}

void PopupAtPointer(Form& form, Menu& menu, MenuItem* defaultItem) {
    ::POINT at{};
    ::GetCursorPos(&at);
    form.Internals().Popup(menu, defaultItem, at);
}

void PopupAt(Form& form, Menu& menu, MenuItem* defaultItem, int x, int y) {
    ::POINT at{x, y};
    ::ClientToScreen(form.Internals().hWnd, &at);
    form.Internals().Popup(menu, defaultItem, at);
}

} // namespace core

} // namespace platform
