#include "platform/gui/Form.h"

#include "platform/gui/MenuItem.h"
#include "platform/gui/Twips.h"
#include "platform/qt/Font.h"
#include "platform/qt/Icons.h"
#include "platform/qt/Internals.h"
#include "platform/qt/NestedLoop.h"
#include "platform/qt/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWindow>

#include <algorithm>
#include <xcb/xcb.h>

namespace platform {

namespace {

HWND NextHandle() {
    static HWND next = 0x10000;
    next += 4;
    return next;
}

// VB's mouse button and shift codes from Qt's.
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

// Windows' key code for a Qt key, or 0 for a key the windows never ask of.
int KeyCode(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return key;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 112 + (key - Qt::Key_F1);
    }
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vbKeyReturn;
    case Qt::Key_Escape:
        return vbKeyEscape;
    case Qt::Key_Space:
        return vbKeySpace;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return vbKeyUp;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return vbKeyDown;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Menu:
        return vbKeyApps;
    default:
        return 0;
    }
}

// The keyboard's mark around whichever element of the client area has the
// focus: the styles' own marks vanish on some backgrounds the user may pick
// (a check box without a caption shows none at all). An element outside the
// visible area (the board's focus sink) shows no mark.
class FocusFrame : public QWidget {
public:
    explicit FocusFrame(QWidget* client) : QWidget(client) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
        QObject::connect(qApp, &QApplication::focusChanged, this,
                         [this](QWidget* /*old*/, QWidget* now) { Follow(now); });
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        qt::DrawFocusMark(painter, rect().adjusted(kRing, kRing, -kRing, -kRing));
    }

private:
    static constexpr int kRing = 3;

    void Follow(QWidget* now) {
        if (now == nullptr || now->parentWidget() != parentWidget()) {
            if (now == nullptr || now->window() == window()) {
                hide();
            }
            return;
        }
        setGeometry(now->geometry().adjusted(-kRing, -kRing, kRing, kRing));
        raise();
        show();
    }
};

// Frees an unloaded window: a deferred delete of this frees the window with it.
class Reaper : public QObject {
public:
    explicit Reaper(Form* form) : m_form(form) {}
    ~Reaper() override {
        if (Form* form = std::exchange(m_form, nullptr)) {
            form->Internals().reaper = nullptr;
            delete form;
        }
    }
    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;
    // The window went another way (one on the stack).
    void Forget() { m_form = nullptr; }

private:
    Form* m_form;
};

void Popup(QMenu& menu, MenuItem* defaultItem, const QPoint& at) {
    menu.setDefaultAction(defaultItem != nullptr ? defaultItem->Internals().action : nullptr);
    {
        const qt::NestedLoop nested;
        menu.exec(at);
    }
    menu.setDefaultAction(nullptr);
}

// On X11 the window class names the desktop entry, so that task lists and
// docks find its name and icon: Qt would give the program's file name.
void NameWindowClass(QWidget* window) {
    const QByteArray id = QGuiApplication::desktopFileName().toUtf8();
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (id.isEmpty() || connection == nullptr) {
        return;
    }
    // Instance and class alike, as the desktop entry's StartupWMClass says.
    const QByteArray value = id + '\0' + id + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(value.size()),
                        value.constData());
}

} // namespace

namespace qt {

void DrawFocusMark(QPainter& painter, const QRect& around) {
    const QRectF ring = QRectF(around).adjusted(-1, -1, 1, 1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(ring);
    painter.setPen(QPen(Qt::black, 2, Qt::DashLine));
    painter.drawRect(ring);
}

void RaiseMouseEvent(const MouseHandler& handler, const QMouseEvent& event) {
    if (handler) {
        const QPointF at = event.position();
        handler(ButtonCode(event.button()), ShiftCode(event.modifiers()),
                static_cast<float>(at.x() * TwipsPerPixelX()),
                static_cast<float>(at.y() * TwipsPerPixelY()));
    }
}

FormWindow::FormWindow(Form& form) : m_form(form) {
    // No caption text: a blank, since for an empty title the desktop would be
    // shown the program's name instead.
    setWindowTitle(QStringLiteral(" "));
    // No maximise: the window keeps the size the program gives it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_form.Unload();
}

void FormWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_form.Internals().startUpPosition == vbStartUpOwner &&
        m_form.Internals().owner != nullptr) {
        PlaceOverOwner();
    }
}

// Centred over the owner, and wholly on its screen.
void FormWindow::PlaceOverOwner() {
    const QMainWindow* owner = m_form.Internals().owner->Internals().window;
    const QRect over = owner->frameGeometry();
    QRect place(QPoint(0, 0), frameGeometry().size());
    place.moveCenter(over.center());
    if (const QScreen* screen =
            owner->screen() != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), room.left(),
                                  std::max(room.left(), room.right() - place.width() + 1)));
        place.moveTop(std::clamp(place.top(), room.top(),
                                 std::max(room.top(), room.bottom() - place.height() + 1)));
    }
    move(place.topLeft());
}

bool FormWindow::PreviewKey(QKeyEvent& event) {
    int code = KeyCode(event.key());
    if (!m_form.KeyDown || code == 0) {
        return false;
    }
    // A copy: the handler may unload the window.
    const KeyHandler handler = m_form.KeyDown;
    handler(code, ShiftCode(event.modifiers()));
    return code == 0;
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
    // Keys an element had first (and let pass) come here too: those the
    // window has already heard.
    if (focusWidget() == nullptr && PreviewKey(*event)) {
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched != m_form.Internals().client) {
        return PreviewKey(*static_cast<QKeyEvent*>(event));
    }
    if (watched == m_form.Internals().client && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPointF at = move->position();
        const core::FormCore& state = m_form.Internals();
        m_form.RaiseMouseMove(ButtonCode(move->buttons()), ShiftCode(move->modifiers()),
                              state.Units(at.x(), TwipsPerPixelX()),
                              state.Units(at.y(), TwipsPerPixelY()));
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace qt

Form::Impl::Impl(Form& form)
    : window(new qt::FormWindow(form)), client(new QWidget(window)), hWnd(NextHandle()) {
    window->setCentralWidget(client);
    client->setAutoFillBackground(true);
    client->setMouseTracking(true);
    new FocusFrame(client);
    client->installEventFilter(window);
}

void Form::Impl::FitScreen() {
    if (fixedClient.isEmpty()) {
        return;
    }
    const QMainWindow* near = owner != nullptr ? owner->Internals().window : window;
    const QScreen* screen = near->screen() != nullptr ? near->screen() : window->screen();
    if (screen == nullptr) {
        return;
    }
    // The frame the window system adds, as it drew the owner's or knows this
    // window's; a guess where none is drawn yet.
    window->winId();
    int frame = std::max(near->frameGeometry().height() - near->geometry().height(),
                         window->frameGeometry().height() - window->geometry().height());
    if (frame <= 0) {
        frame = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) +
                2 * window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, window);
    }
    int bar = 0;
    if (QWidget* menu = window->menuWidget()) {
        menu->ensurePolished();
        bar = menu->sizeHint().height();
    }
    const int room = screen->availableGeometry().height() - frame;
    if (scroller == nullptr && fixedClient.height() + bar <= room) {
        return;
    }
    if (scroller == nullptr) {
        scroller = new QScrollArea(window);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        // Taken first: a central widget replaced is deleted.
        window->takeCentralWidget();
        scroller->setWidget(client);
        window->setCentralWidget(scroller);
        window->layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    }
    const int scrollBar = scroller->verticalScrollBar()->sizeHint().width();
    window->setFixedSize(fixedClient.width() + scrollBar,
                         std::min(fixedClient.height() + bar, room));
}

Form::Impl::~Impl() {
    FreeOwned();
    delete window;
}

Form::Form() : m_p(std::make_unique<Impl>(*this)) {
    core::LoadedForms().push_back(this);
}

Form::~Form() {
    std::erase(core::LoadedForms(), this);
    if (auto* reaper = static_cast<Reaper*>(m_p->reaper.data())) {
        reaper->Forget();
        delete reaper;
    }
}

void Form::Show() {
    Load();
    QMainWindow* window = m_p->window;
    if (!window->isVisible()) {
        m_p->FitScreen();
        // Mapped again, a window would be placed afresh by the window manager
        // unless its position is given as the user's: the native window's
        // own position says so, where the widget's would not for a position
        // that has not changed.
        if (m_p->hiddenAt && window->windowHandle() != nullptr) {
            window->windowHandle()->setPosition(*m_p->hiddenAt);
        }
        NameWindowClass(window);
    }
    m_p->window->show();
    // Offscreen (in tests) there is nothing to raise above.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        m_p->window->raise();
    }
}

void Form::ShowModal(Form* owner) {
    m_p->owner = owner;
    m_p->window->setWindowModality(Qt::ApplicationModal);
    Show();
    if (m_p->unloaded) {
        return; // unloaded by its own load step
    }
    const qt::NestedLoop nested;
    QEventLoop loop;
    m_p->modalLoop = &loop;
    loop.exec();
    m_p->modalLoop = nullptr;
    m_p->owner = nullptr;
    m_p->window->setWindowModality(Qt::NonModal);
}

void Form::Hide() {
    if (m_p->window->isVisible()) {
        m_p->hiddenAt = m_p->window->geometry().topLeft();
    }
    m_p->window->hide();
    if (m_p->modalLoop != nullptr) {
        m_p->modalLoop->quit();
    }
}

bool Form::Visible() const {
    return m_p->window->isVisible();
}

int Form::WindowState() const {
    return m_p->window->isMinimized() ? vbMinimized : vbNormal;
}

void Form::SetWindowState(int state) {
    QMainWindow* window = m_p->window;
    window->setWindowState(state == vbMinimized ? (window->windowState() | Qt::WindowMinimized)
                                                : (window->windowState() & ~Qt::WindowMinimized));
}

HWND Form::hWnd() const {
    return m_p->hWnd;
}

void Form::SetIcon(HICON icon) {
    m_p->icon = icon;
    m_p->window->setWindowIcon(qt::IconFromHandle(icon));
}

void Form::SetAccessibleName(const std::string& name) {
    m_p->window->setAccessibleName(QString::fromStdString(name));
}

std::int32_t Form::BackColor() const {
    return qt::ToBgr(m_p->client->palette().color(QPalette::Window));
}

void Form::SetBackColor(std::int32_t bgr) {
    QPalette palette = m_p->client->palette();
    palette.setColor(QPalette::Window, qt::FromBgr(bgr));
    m_p->client->setPalette(palette);
}

void Form::SetFont(const Font& font) {
    m_p->window->setFont(qt::ToQFont(font));
}

int Form::Height() const {
    return TwipsY(m_p->window->height());
}

void Form::SetHeight(int twips) {
    m_p->window->setFixedHeight(PixelsY(twips));
}

void Form::SetFixedWidth(int twips) {
    m_p->window->setFixedWidth(PixelsX(twips));
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    int bar = 0;
    if (QWidget* menu = m_p->window->menuWidget()) {
        menu->ensurePolished(); // its height as it will be drawn
        bar = menu->sizeHint().height();
    }
    m_p->window->setFixedSize(PixelsX(widthTwips), PixelsY(heightTwips) + bar);
}

void Form::SetFixedClientSize(int widthTwips, int heightTwips) {
    m_p->fixedClient = QSize(PixelsX(widthTwips), PixelsY(heightTwips));
    m_p->client->setFixedSize(m_p->fixedClient);
    m_p->window->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

double Form::TwipsPerPixelX() const {
    return platform::TwipsPerPixelX();
}

MenuItem* Form::AddMenuBarItem(const std::string& caption) {
    auto* action = new QAction(QString::fromStdString(caption), m_p->window);
    QMenuBar* bar = m_p->window->menuBar();
    // Narrow windows keep every command in sight, as a wrapped menu bar
    // would on Windows, rather than behind an overflow arrow.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(8.25);
    bar->setFont(font);
    bar->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 4px; }"));
    bar->addAction(action);
    return qt::AddItem(m_p->barItems, action);
}

namespace core {

FormCore& CoreOf(const Form& form) {
    return form.Internals();
}

double TwipsPerPixelY(const Form& /*form*/) {
    return platform::TwipsPerPixelY();
}

void CloseMenus(Form& form) {
    for (QMenu* menu : form.Internals().window->findChildren<QMenu*>()) {
        if (menu->isVisible()) {
            menu->close();
        }
    }
}

void FreeWhenUnwound(Form& form) {
    auto* reaper = new Reaper(&form);
    form.Internals().reaper = reaper;
    qt::DeleteWhenUnwound(reaper);
}

void PopupAtPointer(Form& /*form*/, Menu& menu, MenuItem* defaultItem) {
    Popup(*menu.Internals().menu, defaultItem, QCursor::pos());
}

void PopupAt(Form& form, Menu& menu, MenuItem* defaultItem, int x, int y) {
    Popup(*menu.Internals().menu, defaultItem, form.Internals().client->mapToGlobal(QPoint(x, y)));
}

} // namespace core

} // namespace platform
