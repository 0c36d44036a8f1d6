// Painting: the windowless elements (lights, lines, labels) over the
// window's background, and the keyboard's mark.

#include "platform/win32/gui/Internals.h"

#include <algorithm>
#include <string>

namespace platform {

namespace {

// The second cue inside a light: a tick or a cross in a dark stroke, which
// stands out against red and green alike.
void PaintMark(::HDC dc, LightMark mark, int x, int y, int d) {
    if (mark == LightMark::None) {
        return;
    }
    const ::LOGBRUSH ink{BS_SOLID, RGB(0, 0, 0), 0};
    ::HPEN stroke = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                   static_cast<::DWORD>(std::max(2, d / 7)), &ink, 0, nullptr);
    const ::HGDIOBJ old = ::SelectObject(dc, stroke);
    const auto at = [x, y, d](double fx, double fy) {
        return ::POINT{x + static_cast<::LONG>(fx * d), y + static_cast<::LONG>(fy * d)};
    };
    if (mark == LightMark::Tick) {
        const ::POINT tick[] = {at(0.27, 0.52), at(0.44, 0.69), at(0.74, 0.33)};
        ::Polyline(dc, tick, 3);
    } else {
        const ::POINT down[] = {at(0.32, 0.32), at(0.68, 0.68)};
        const ::POINT up[] = {at(0.68, 0.32), at(0.32, 0.68)};
        ::Polyline(dc, down, 2);
        ::Polyline(dc, up, 2);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(stroke);
}

// As much of the text as fits the width, ended by "…" when not all of it does;
// never cut between the two halves of a character past U+FFFF.
std::wstring Elided(::HDC dc, const std::wstring& text, int width) {
    const auto fits = [dc, width](const std::wstring& shown) {
        ::SIZE size{};
        ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        return size.cx <= width;
    };
    if (fits(text)) {
        return text;
    }
    std::wstring cut = text;
    while (!cut.empty()) {
        const bool pair = cut.size() >= 2 && cut.back() >= 0xDC00 && cut.back() < 0xE000 &&
                          cut[cut.size() - 2] >= 0xD800 && cut[cut.size() - 2] < 0xDC00;
        cut.resize(cut.size() - (pair ? 2 : 1));
        if (fits(cut + L'\u2026')) {
            break;
        }
    }
    return cut + L'\u2026';
}

// Lays the windowless elements over the background: lights, lines, labels.
void PaintControl(const Control::Impl& c, ::HDC dc, ::HFONT formFont) {
    if (!c.visible || c.child != nullptr) {
        return;
    }
    const ::RECT r = c.PixelRect();
    switch (c.kind) {
    case Control::Impl::Kind::Shape: {
        // A lamp: the colour with a dark rim, and a lighter spot up-left.
        const int d = std::min(r.right - r.left, r.bottom - r.top) - 2;
        const int x = r.left + (r.right - r.left - d) / 2;
        const int y = r.top + (r.bottom - r.top - d) / 2;
        const ::COLORREF fill = win32::Colour(c.color);
        ::HBRUSH brush = ::CreateSolidBrush(fill);
        ::HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(64, 64, 64));
        const ::HGDIOBJ oldBrush = ::SelectObject(dc, brush);
        const ::HGDIOBJ oldPen = ::SelectObject(dc, pen);
        ::Ellipse(dc, x, y, x + d, y + d);
        const auto lighter = [](unsigned v) { return static_cast<BYTE>(v + (255 - v) * 2 / 5); };
        ::HBRUSH spot = ::CreateSolidBrush(
            RGB(lighter(GetRValue(fill)), lighter(GetGValue(fill)), lighter(GetBValue(fill))));
        ::SelectObject(dc, spot);
        ::SelectObject(dc, ::GetStockObject(NULL_PEN));
        const int s = d / 3;
        ::Ellipse(dc, x + d / 5, y + d / 5, x + d / 5 + s, y + d / 5 + s);
        PaintMark(dc, c.mark, x, y, d);
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(spot);
        ::DeleteObject(brush);
        ::DeleteObject(pen);
        break;
    }
    case Control::Impl::Kind::Line: {
        ::HPEN pen = ::CreatePen(PS_SOLID, 1, win32::Colour(c.color));
        const ::HGDIOBJ old = ::SelectObject(dc, pen);
        const unsigned dpi = c.owner.Internals().Dpi();
        const int scroll = c.owner.Internals().scroll;
        ::MoveToEx(dc, win32::Pixels(c.x1, dpi), win32::Pixels(c.y1, dpi) - scroll, nullptr);
        ::LineTo(dc, win32::Pixels(c.x2, dpi), win32::Pixels(c.y2, dpi) - scroll);
        ::SelectObject(dc, old);
        ::DeleteObject(pen);
        break;
    }
    case Control::Impl::Kind::Label: {
        ::RECT text = r;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, win32::Colour(c.color));
        const ::HGDIOBJ old = ::SelectObject(dc, c.hFont != nullptr ? c.hFont : formFont);
        const std::wstring caption = win32::Wide(c.caption);
        const std::wstring shown = c.elided ? Elided(dc, caption, r.right - r.left) : caption;
        ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text,
                    DT_NOPREFIX | DT_LEFT | (c.centred ? DT_VCENTER : 0) |
                        (c.centred || c.elided ? DT_SINGLELINE : DT_WORDBREAK));
        ::SelectObject(dc, old);
        if (c.focusMark) {
            ::RECT mark = r;
            ::InflateRect(&mark, -2, -2);
            win32::DrawFocusMark(dc, mark);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

namespace win32 {

void DrawFocusMark(::HDC dc, ::RECT around) {
    // A white ring with every other dot inverted, twice over.
    for (int ring = 0; ring < 2; ++ring) {
        ::InflateRect(&around, 1, 1);
        ::FrameRect(dc, &around, static_cast<::HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::DrawFocusRect(dc, &around);
    }
}

} // namespace win32

void Form::Impl::Paint(::HDC dc) const {
    for (const auto& control : controls) {
        PaintControl(control->Internals(), dc, hFont);
    }
    // The keyboard's mark around the child window that has the focus, since
    // a check box without a caption shows none, and the controls' own marks
    // vanish on some backgrounds the user may pick. The board's focus sink
    // lies outside the client area, and so does its mark.
    const ::HWND focus = ::GetFocus();
    if (focus != nullptr && ::GetParent(focus) == hWnd && ::IsWindowVisible(focus) != FALSE) {
        ::RECT r{};
        ::GetWindowRect(focus, &r);
        ::MapWindowPoints(nullptr, hWnd, reinterpret_cast<::POINT*>(&r), 2);
        ::InflateRect(&r, 2, 2);
        win32::DrawFocusMark(dc, r);
    }
}

} // namespace platform
