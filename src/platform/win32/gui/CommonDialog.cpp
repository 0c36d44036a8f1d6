// The colour dialog: comdlg32's, titled by a hook.

#include "platform/common/gui_core.h"
#include "platform/win32/gui/Internals.h"

#include <commdlg.h>

namespace platform::core {

namespace {

// Gives the dialog its title, which ChooseColor has no field for.
::UINT_PTR CALLBACK TitleHook(::HWND dialog, ::UINT message, ::WPARAM /*wParam*/, ::LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* choose = reinterpret_cast<const ::CHOOSECOLORW*>(lParam);
        ::SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
    }
    return 0;
}

} // namespace

std::optional<std::int32_t> PickColor(Form& owner, std::int32_t color, const std::string& title) {
    static ::COLORREF custom[16] = {};
    const std::wstring caption = win32::Wide(title);
    ::CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner.Internals().hWnd;
    choose.rgbResult = win32::Colour(color);
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    choose.lpfnHook = TitleHook;
    choose.lCustData = reinterpret_cast<::LPARAM>(caption.c_str());
    if (::ChooseColorW(&choose) == FALSE) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(choose.rgbResult & 0xFFFFFFu);
}

} // namespace platform::core
