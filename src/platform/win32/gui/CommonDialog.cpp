// The colour dialog: comdlg32's, titled by a hook.

#include "platform/gui/CommonDialog.h"

#include "platform/win32/gui/Internals.h"

#include <commdlg.h>

namespace platform {

namespace {

CommonDialog::Chooser& CurrentChooser() {
    static CommonDialog::Chooser chooser;
    return chooser;
}

// Gives the dialog its title, which ChooseColor has no field for.
::UINT_PTR CALLBACK TitleHook(::HWND dialog, ::UINT message, ::WPARAM /*wParam*/, ::LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* choose = reinterpret_cast<const ::CHOOSECOLORA*>(lParam);
        ::SetWindowTextA(dialog, reinterpret_cast<const char*>(choose->lCustData));
    }
    return 0;
}

} // namespace

void CommonDialog::SetChooser(Chooser chooser) {
    CurrentChooser() = std::move(chooser);
}

bool CommonDialog::ShowColor() {
    std::optional<std::int32_t> picked;
    if (CurrentChooser()) {
        picked = CurrentChooser()(m_lColor, m_sDialogTitle);
    } else {
        static ::COLORREF custom[16] = {};
        ::CHOOSECOLORA choose{};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = m_owner.Internals().hWnd;
        choose.rgbResult = win32::Colour(m_lColor);
        choose.lpCustColors = custom;
        choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
        choose.lpfnHook = TitleHook;
        choose.lCustData = reinterpret_cast<::LPARAM>(m_sDialogTitle.c_str());
        if (::ChooseColorA(&choose) != FALSE) {
            picked = static_cast<std::int32_t>(choose.rgbResult & 0xFFFFFFu);
        }
    }
    if (picked) {
        m_lColor = *picked;
    }
    return picked.has_value();
}

} // namespace platform
