#include "platform/qt/Form.h"

#include "platform/qt/Menu.h"
#include "platform/qt/NestedLoop.h"
#include "platform/qt/Timer.h"
#include "platform/qt/Twips.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>

#include <algorithm>

namespace platform::qt {

namespace {

std::vector<Form*>& Loaded() {
    static std::vector<Form*> forms;
    return forms;
}

std::function<void()>& LastFormUnloaded() {
    static std::function<void()> handler;
    return handler;
}

PopupProbe*& CurrentProbe() {
    static PopupProbe* probe = nullptr;
    return probe;
}

HWND NextHandle() {
    static HWND next = 0x10000;
    next += 4;
    return next;
}

} // namespace

int ButtonCode(Qt::MouseButtons buttons) {
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) |
           (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

void RaiseMouseEvent(const MouseMoveHandler& handler, const QMouseEvent& event) {
    if (handler) {
        const QPointF at = event.position();
        handler(ButtonCode(event.button()), ShiftCode(event.modifiers()),
                static_cast<float>(at.x() * TwipsPerPixelX()),
                static_cast<float>(at.y() * TwipsPerPixelY()));
    }
}

Form::Form() : m_client(new QWidget(this)), m_hWnd(NextHandle()) {
    // No caption text: a blank, since for an empty title the desktop would be
    // shown the program's name instead.
    setWindowTitle(QStringLiteral(" "));
    setCentralWidget(m_client);
    m_client->setAutoFillBackground(true);
    m_client->setMouseTracking(true);
    m_client->installEventFilter(this);
    Loaded().push_back(this);
}

Form::~Form() {
    std::erase(Loaded(), this);
}

Form* Form::FromHandle(HWND hWnd) {
    const auto& forms = Loaded();
    const auto it = std::find_if(forms.begin(), forms.end(),
                                 [hWnd](const Form* form) { return form->m_hWnd == hWnd; });
    return it == forms.end() ? nullptr : *it;
}

const std::vector<Form*>& Form::Forms() {
    return Loaded();
}

void Form::Load() {
    if (!m_bLoaded) {
        m_bLoaded = true;
        Form_Load();
    }
}

void Form::Show() {
    Load();
    show();
    // Offscreen (in tests) there is nothing to raise above.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        raise();
    }
}

void Form::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    Show();
    if (m_bUnloaded) {
        return; // unloaded by its own load step
    }
    const NestedLoop nested;
    QEventLoop loop;
    m_modalLoop = &loop;
    loop.exec();
    m_modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
}

void Form::Hide() {
    hide();
    if (m_modalLoop != nullptr) {
        m_modalLoop->quit();
    }
}

double Form::TwipsPerPixelX() const {
    return qt::TwipsPerPixelX();
}

int Form::WindowState() const {
    return isMinimized() ? 1 : 0;
}

void Form::SetWindowState(int state) {
    setWindowState(state == 1 ? (windowState() | Qt::WindowMinimized)
                              : (windowState() & ~Qt::WindowMinimized));
}

std::int32_t Form::BackColor() const {
    return ToBgr(m_client->palette().color(QPalette::Window));
}

void Form::SetBackColor(std::int32_t bgr) {
    QPalette palette = m_client->palette();
    palette.setColor(QPalette::Window, FromBgr(bgr));
    m_client->setPalette(palette);
}

int Form::Height() const {
    return TwipsY(height());
}

void Form::SetHeight(int twips) {
    resize(width(), PixelsY(twips));
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    int bar = 0;
    if (QWidget* menu = menuWidget()) {
        menu->ensurePolished(); // its height as it will be drawn
        bar = menu->sizeHint().height();
    }
    resize(PixelsX(widthTwips), PixelsY(heightTwips) + bar);
}

void Form::SetFixedClientSize(int widthTwips, int heightTwips) {
    m_client->setFixedSize(PixelsX(widthTwips), PixelsY(heightTwips));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Form::Unload() {
    // Unloading every window from one window's unload step meets that window
    // again: the second unload does nothing.
    if (m_bUnloaded || m_bUnloading) {
        return;
    }
    m_bUnloading = true;
    Form_Unload();
    m_bUnloaded = true;
    for (Timer* timer : m_timers) {
        timer->SetEnabled(false);
    }
    std::erase(Loaded(), this);
    Hide();
    // A menu of this window still open (the close came while it was up)
    // closes with it.
    for (Menu* menu : findChildren<Menu*>()) {
        if (menu->isVisible()) {
            menu->close();
        }
    }
    DeleteWhenUnwound(this);
    if (Loaded().empty() && LastFormUnloaded()) {
        LastFormUnloaded()();
    }
}

void Form::SetLastFormUnloaded(std::function<void()> handler) {
    LastFormUnloaded() = std::move(handler);
}

MenuItem* Form::AddMenuBarItem(const std::string& caption) {
    auto* item = new MenuItem(caption, this);
    QMenuBar* bar = menuBar();
    // Narrow windows keep every command in sight, as a wrapped menu bar
    // would on Windows, rather than behind an overflow arrow.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(8.25);
    bar->setFont(font);
    bar->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 4px; }"));
    bar->addAction(item);
    return item;
}

void Form::RaiseMouseMove(int button, int shift, float x, float y) {
    // A probe asks only the tray class what it would show; the window's own
    // handler hears of real moves alone.
    if (MouseMove && CurrentProbe() == nullptr) {
        MouseMove(button, shift, x, y);
    }
    if (m_subscriber) {
        // A copy: the subscriber may end its own subscription.
        const MouseMoveHandler subscriber = m_subscriber;
        subscriber(button, shift, x, y);
    }
}

PopupProbe::PopupProbe() {
    CurrentProbe() = this;
}

PopupProbe::~PopupProbe() {
    CurrentProbe() = nullptr;
}

void Form::PopupMenu(IMenu& menu, IMenuItem* defaultItem) {
    auto* popup = dynamic_cast<Menu*>(&menu);
    if (popup != nullptr && CurrentProbe() != nullptr) {
        CurrentProbe()->m_shown = popup;
    } else if (popup != nullptr) {
        popup->Popup(dynamic_cast<MenuItem*>(defaultItem));
    }
}

void Form::PopupMenuAt(IMenu& menu, IMenuItem* defaultItem, float x, float y) {
    auto* popup = dynamic_cast<Menu*>(&menu);
    if (popup == nullptr) {
        return;
    }
    if (CurrentProbe() != nullptr) {
        CurrentProbe()->m_shown = popup;
        return;
    }
    const bool pixels = m_nScaleMode == 3;
    const QPoint at(static_cast<int>(pixels ? x : x / static_cast<float>(qt::TwipsPerPixelX())),
                    static_cast<int>(pixels ? y : y / static_cast<float>(qt::TwipsPerPixelY())));
    popup->Popup(dynamic_cast<MenuItem*>(defaultItem), m_client->mapToGlobal(at));
}

void Form::closeEvent(QCloseEvent* event) {
    // Closing the window from the desktop unloads it, as on Windows.
    event->ignore();
    Unload();
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPointF at = move->position();
        const bool pixels = m_nScaleMode == 3;
        RaiseMouseMove(ButtonCode(move->buttons()), ShiftCode(move->modifiers()),
                       static_cast<float>(pixels ? at.x() : at.x() * TwipsPerPixelX()),
                       static_cast<float>(pixels ? at.y() : at.y() * TwipsPerPixelY()));
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace platform::qt
