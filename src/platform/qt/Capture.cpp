#include "platform/gui/Capture.h"

#include "platform/gui/Form.h"
#include "platform/qt/Internals.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

// Starts the desktop's move of a window once the pointer moves with a button
// still held. A press and release without moving (a plain click) moves
// nothing: handing the desktop a move after the button is up would leave the
// window stuck to the pointer until the next click.
class PendingMove : public QObject {
public:
    explicit PendingMove(QWindow* window) : m_window(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove &&
            static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton) {
            if (m_window != nullptr) {
                m_window->startSystemMove();
            }
            deleteLater();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWindow> m_window;
};

} // namespace

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
    QWindow* window = form->Internals().window->windowHandle();
    if (window != nullptr && QGuiApplication::mouseButtons() != Qt::NoButton) {
        new PendingMove(window);
    }
    return 0;
}

} // namespace platform
