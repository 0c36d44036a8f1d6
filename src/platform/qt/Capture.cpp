#include "platform/qt/Capture.h"

#include "platform/qt/Form.h"

#include <QWidget>
#include <QWindow>

namespace platform::qt {

BOOL ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    return TRUE;
}

std::intptr_t SendMessage(HWND hWnd, UINT Msg, std::intptr_t wParam, std::intptr_t /*lParam*/) {
    Form* form = Form::FromHandle(hWnd);
    if (form == nullptr || Msg != WM_NCLBUTTONDOWN || wParam != HTCAPTION) {
        return 0;
    }
    // A press on the caption: the desktop moves the window with the mouse.
    if (QWindow* window = form->windowHandle()) {
        window->startSystemMove();
    }
    return 0;
}

} // namespace platform::qt
