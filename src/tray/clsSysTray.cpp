#include "tray/clsSysTray.h"

#include "platform/utf8.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace platform;

namespace {

constexpr UINT kNotifyIconVersion = 3;

// The same for every request, and at every start: Windows keeps the user's
// choice to show the icon or to hide it under the program and this number,
// so a number that changed from one start to the next (an address, moved by
// address randomisation) lost that choice every time. The shell tells one
// process's icons apart by their window as well.
constexpr UINT kIconId = 1;

// The text, one NUL after it, cut to the width or filled with blanks.
std::u32string TextField(const std::string& text, std::size_t width) {
    std::u32string field;
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        NextCodePoint(text, &i, &cp);
        field += cp;
    }
    field += U'\0';
    field.resize(width, U' ');
    return field;
}

// Into the 8-bit field: whole characters only, as many as fit in the bytes
// the shell reads of it, then blanks.
void ToCodePage(const std::u32string& field, char* out, std::size_t width, std::size_t read) {
    std::string bytes;
    for (const char32_t c : field) {
        std::string one;
        AppendUtf8(one, c);
        if (bytes.size() + one.size() > read) {
            break;
        }
        bytes += one;
    }
    bytes.resize(width, ' ');
    std::memcpy(out, bytes.data(), width);
}

std::u32string FromCodePage(const char* in, std::size_t width) {
    const std::string_view bytes(in, width);
    std::u32string field;
    char32_t cp = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        NextCodePoint(bytes, &i, &cp);
        field += cp;
    }
    field.resize(width, U' ');
    return field;
}

std::string Text(const std::u32string& field) {
    std::string text;
    for (const char32_t c : field.substr(0, field.find(U'\0'))) {
        AppendUtf8(text, c);
    }
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A failing step, with the runtime's number for it.
class TrayFailure : public std::runtime_error {
public:
    TrayFailure(std::int32_t number, const std::string& description)
        : std::runtime_error(description), m_number(number) {}
    std::int32_t Number() const { return m_number; }

private:
    std::int32_t m_number;
};

constexpr std::int32_t kObjectRequired = 424;
constexpr std::int32_t kObjectNotSet = 91;
constexpr std::int32_t kInvalidPicture = 481;
constexpr std::int32_t kEntryPointNotFound = 453;
constexpr std::int32_t kInvalidCall = 5;

} // namespace

// Every step runs; the most recent failure is what gets reported.
class clsSysTray::Failures {
public:
    template <typename Step> void Run(Step step) {
        try {
            step();
        } catch (const TrayFailure& e) {
            m_last = {e.Number(), e.what()};
        } catch (const Win32CallError& e) {
            m_last = {kEntryPointNotFound, e.what()};
        } catch (const std::exception& e) {
            m_last = {kInvalidCall, e.what()};
        }
    }
    bool Any() const { return m_last.has_value(); }
    const std::string& Last() const { return m_last->second; }
    std::int32_t Number() const { return m_last ? m_last->first : 0; }
    void Clear() { m_last.reset(); }

private:
    std::optional<std::pair<std::int32_t, std::string>> m_last;
};

clsSysTray::~clsSysTray() {
    if (m_oForm != nullptr) {
        m_oForm->SubscribeMouseMove(nullptr);
    }
}

bool clsSysTray::Finish(Failures& failures, const char* sProcedure) {
    if (!failures.Any()) {
        return true;
    }
    const std::string message = failures.Last();
    failures.Clear();
    if (OnError) {
        OnError(message, sProcedure);
    }
    return false;
}

bool clsSysTray::IsShellVersionAtLeast(std::int32_t lMajor) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSize("shell32.dll", &handle);
    if (size == 0 || static_cast<std::int32_t>(size) < 0) {
        return false;
    }
    std::vector<BYTE> buffer(size);
    GetFileVersionInfo("shell32.dll", 0, size, buffer.data());
    void* block = nullptr;
    UINT length = 0;
    if (VerQueryValue(buffer.data(), "\\", &block, &length) != 1) {
        return false;
    }
    std::int16_t major = 0;
    // The high half of dwFileVersionMS.
    std::memcpy(&major, static_cast<const BYTE*>(block) + 10, sizeof major);
    return major >= lMajor;
}

void clsSysTray::SetNotifyIconDataSize() {
    if (IsShellVersionAtLeast(6)) {
        m_lNotifyIconDataSize = 504;
    } else if (IsShellVersionAtLeast(5)) {
        m_lNotifyIconDataSize = 488;
    } else {
        m_lNotifyIconDataSize = 88;
    }
}

HWND clsSysTray::WindowHandle(std::int32_t lFormHandle) const {
    return m_bFormAttached && m_oForm != nullptr ? m_oForm->hWnd() : lFormHandle;
}

void clsSysTray::Send(DWORD dwMessage) {
    NOTIFYICONDATA wire{};
    const NotifyIconData& r = m_tNotifyIconData;
    wire.cbSize = r.cbSize;
    wire.hWnd = r.hWnd;
    wire.uID = r.uID;
    wire.uFlags = r.uFlags;
    wire.uCallbackMessage = r.uCallbackMessage;
    wire.hIcon = r.hIcon;
    // The smallest record holds only the tip's first 64 bytes: a character
    // that crossed that line would reach the shell broken.
    ToCodePage(r.szTip, wire.szTip, sizeof wire.szTip, r.cbSize >= 488 ? sizeof wire.szTip : 64);
    wire.dwState = r.dwState;
    wire.dwStateMask = r.dwStateMask;
    ToCodePage(r.szInfo, wire.szInfo, sizeof wire.szInfo, sizeof wire.szInfo);
    wire.uTimeout = r.uTimeout;
    ToCodePage(r.szInfoTitle, wire.szInfoTitle, sizeof wire.szInfoTitle, sizeof wire.szInfoTitle);
    wire.dwInfoFlags = r.dwInfoFlags;
    // The shell's answer is not the class's concern.
    Shell_NotifyIcon(dwMessage, &wire);
    m_tNotifyIconData.szTip = FromCodePage(wire.szTip, sizeof wire.szTip);
    m_tNotifyIconData.szInfo = FromCodePage(wire.szInfo, sizeof wire.szInfo);
    m_tNotifyIconData.szInfoTitle = FromCodePage(wire.szInfoTitle, sizeof wire.szInfoTitle);
}

bool clsSysTray::AttachForm(IWindow* oForm, IMenu* mnuMainPopupMenu,
                            IMenuItem* mnuDefaultPopupMenuItem) {
    Failures failures;
    failures.Run([&] {
        if (oForm == nullptr) {
            throw TrayFailure(kObjectRequired, "Object required");
        }
        if (m_oForm != nullptr) {
            m_oForm->SubscribeMouseMove(nullptr);
        }
        m_oForm = oForm;
        m_oForm->SubscribeMouseMove([this](int button, int shift, float x, float y) {
            m_oForm_MouseMove(button, shift, x, y);
        });
        m_bFormAttached = true;
    });
    Finish(failures, "clsTrayIcon.AttachForm()");
    const bool result = m_bFormAttached;
    failures.Run([&] {
        if (mnuMainPopupMenu != nullptr) {
            SetPopupMenu(mnuMainPopupMenu);
        }
        if (mnuDefaultPopupMenuItem != nullptr) {
            SetPopupDefaultMenuItem(mnuDefaultPopupMenuItem);
        }
    });
    Finish(failures, "clsTrayIcon.AttachForm()");
    return result;
}

void clsSysTray::StartRequest(Failures& failures, std::optional<HWND> hWnd) {
    failures.Run([&] {
        if (m_lNotifyIconDataSize == 0) {
            SetNotifyIconDataSize();
        }
    });
    m_tNotifyIconData.cbSize = static_cast<DWORD>(m_lNotifyIconDataSize);
    if (hWnd) {
        m_tNotifyIconData.hWnd = *hWnd;
    }
    m_tNotifyIconData.uID = kIconId;
}

void clsSysTray::SetIcon(HICON oIcon) {
    // An unusable picture leaves the last icon in the record.
    if (oIcon == 0) {
        throw TrayFailure(kInvalidPicture, "Invalid picture");
    }
    m_tNotifyIconData.hIcon = oIcon;
}

bool clsSysTray::AddIconToTray(HICON oIcon, const std::string& sTooltip, std::int32_t lFormHandle) {
    Failures failures;
    NotifyIconData& r = m_tNotifyIconData;
    StartRequest(failures, WindowHandle(lFormHandle));
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    r.uCallbackMessage = WM_MOUSEMOVE;
    failures.Run([&] { SetIcon(oIcon); });
    r.szTip = TextField(sTooltip, 128);
    r.uTimeout = kNotifyIconVersion;
    failures.Run([&] { Send(NIM_ADD); });
    failures.Run([&] { Send(NIM_SETVERSION); });
    return Finish(failures, "clsTrayIcon.AddIconToTray()");
}

bool clsSysTray::ChangeIcon(HICON oIcon, const std::string& sTooltip) {
    Failures failures;
    NotifyIconData& r = m_tNotifyIconData;
    StartRequest(failures, std::nullopt);
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    failures.Run([&] { SetIcon(oIcon); });
    r.szTip = TextField(sTooltip, 128);
    failures.Run([&] { Send(NIM_MODIFY); });
    return Finish(failures, "clsTrayIcon.ChangeIcon()");
}

bool clsSysTray::RemoveIcon(std::int32_t lFormHandle) {
    Failures failures;
    StartRequest(failures, WindowHandle(lFormHandle));
    failures.Run([&] { Send(NIM_DELETE); });
    return Finish(failures, "clsTrayIcon.RemoveIcon()");
}

bool clsSysTray::ShowBalloon(const std::string& sTitle, const std::string& sTooltip,
                             std::int32_t lIconType, std::int32_t lTimeoutSeconds,
                             std::int32_t lFormHandle) {
    Failures failures;
    NotifyIconData& r = m_tNotifyIconData;
    StartRequest(failures, WindowHandle(lFormHandle));
    r.uFlags = NIF_INFO;
    r.dwInfoFlags = static_cast<DWORD>(lIconType);
    r.uTimeout = static_cast<UINT>(lTimeoutSeconds & 3);
    r.szInfo = TextField(sTooltip, 256);
    r.szInfoTitle = TextField(sTitle, 64);
    failures.Run([&] { Send(NIM_MODIFY); });
    return Finish(failures, "clsTrayIcon.ShowBalloon()");
}

std::int32_t clsSysTray::ShowPopupMenu(IWindow* oForm, IMenu* mnuMainPopupMenu, float x, float y,
                                       IMenuItem* mnuDefaultPopupMenuItem) {
    Failures failures;
    const auto window = [oForm]() -> IWindow& {
        if (oForm == nullptr) {
            throw TrayFailure(kObjectNotSet, "Object variable or With block variable not set");
        }
        return *oForm;
    };
    std::int32_t id = 0;
    failures.Run([&] {
        id = static_cast<std::int32_t>(
            std::nearbyint(static_cast<double>(x) / window().TwipsPerPixelX()));
    });
    if (id == static_cast<std::int32_t>(WM_LBUTTONDBLCLK)) {
        failures.Run([&] { window().SetWindowState(0); });
        failures.Run([&] { window().Show(); });
    } else if (id == static_cast<std::int32_t>(WM_RBUTTONUP) && mnuMainPopupMenu != nullptr) {
        failures.Run(
            [&] { window().PopupMenuAt(*mnuMainPopupMenu, mnuDefaultPopupMenuItem, x, y); });
    }
    const std::int32_t result = failures.Number();
    Finish(failures, "clsTrayIcon.ShowPopupMenu()");
    return result;
}

void clsSysTray::m_oForm_MouseMove(int /*Button*/, int /*Shift*/, float X, float /*Y*/) {
    Failures failures;
    std::int32_t id = 0;
    failures.Run([&] {
        const double x = static_cast<double>(X);
        const double value = m_oForm->ScaleMode() == 3 ? x : x / m_oForm->TwipsPerPixelX();
        // Halves go to the even neighbour.
        id = static_cast<std::int32_t>(std::nearbyint(value));
    });
    switch (id) {
    case WM_LBUTTONDBLCLK:
        failures.Run([&] { m_oForm->SetWindowState(0); });
        failures.Run([&] { m_oForm->Show(); });
        break;
    case WM_RBUTTONUP:
        failures.Run([&] {
            if (m_mnuPopupMenu == nullptr) {
                return;
            }
            if (m_mnuPopupDefaultMenuItem != nullptr) {
                m_oForm->PopupMenu(*m_mnuPopupMenu, m_mnuPopupDefaultMenuItem);
            } else if (!m_oForm->Visible()) {
                m_oForm->PopupMenu(*m_mnuPopupMenu, nullptr);
            }
        });
        break;
    case NIN_BALLOONUSERCLICK:
        failures.Run([&] {
            if (OnBalloonClick) {
                OnBalloonClick(Text(m_tNotifyIconData.szInfoTitle), Text(m_tNotifyIconData.szInfo));
            }
        });
        break;
    default:
        break;
    }
    Finish(failures, "clsTrayIcon.m_oForm_MouseMove");
}
