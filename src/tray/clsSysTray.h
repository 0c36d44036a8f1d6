#pragma once

// One icon in the notification area for an owner window: added, changed,
// removed, and a balloon notice from it. All requests go through one kept
// record, each operation rewriting only its own fields. No failure reaches
// the caller: it is reported once through OnError, and the result is false.
// An attached window must outlive the instance, as the owner window that
// holds it does.

#include "platform/gui/window.h"
#include "platform/shell.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class clsSysTray {
public:
    clsSysTray() = default;
    ~clsSysTray();
    clsSysTray(const clsSysTray&) = delete;
    clsSysTray& operator=(const clsSysTray&) = delete;

    void SetPopupMenu(platform::IMenu* NewValue) { m_mnuPopupMenu = NewValue; }
    platform::IMenu* PopupMenu() const { return m_mnuPopupMenu; }
    void SetPopupDefaultMenuItem(platform::IMenuItem* NewValue) {
        m_mnuPopupDefaultMenuItem = NewValue;
    }
    platform::IMenuItem* PopupDefaultMenuItem() const { return m_mnuPopupDefaultMenuItem; }

    // Attaches a window, and the popup menu and its default item where given
    // (null leaves the stored one). True once a window has been attached.
    bool AttachForm(platform::IWindow* oForm, platform::IMenu* mnuMainPopupMenu,
                    platform::IMenuItem* mnuDefaultPopupMenuItem);
    bool AddIconToTray(platform::HICON oIcon, const std::string& sTooltip,
                       std::int32_t lFormHandle);
    bool ChangeIcon(platform::HICON oIcon, const std::string& sTooltip);
    bool RemoveIcon(std::int32_t lFormHandle);
    bool ShowBalloon(const std::string& sTitle, const std::string& sTooltip, std::int32_t lIconType,
                     std::int32_t lTimeoutSeconds, std::int32_t lFormHandle);

    // The tray callback translation for a window and menus given as
    // arguments: x is always taken in twips. Returns the number of the last
    // failure, 0 if none.
    std::int32_t ShowPopupMenu(platform::IWindow* oForm, platform::IMenu* mnuMainPopupMenu, float x,
                               float y, platform::IMenuItem* mnuDefaultPopupMenuItem);

    std::function<void(const std::string& sErrorMsg, const std::string& sProcedure)> OnError;
    std::function<void(const std::string& sBalloonTitle, const std::string& sBalloonMessage)>
        OnBalloonClick;

private:
    // The record as the program holds it: text fields are characters, each
    // exactly its field's width.
    struct NotifyIconData {
        platform::DWORD cbSize = 0;
        platform::HWND hWnd = 0;
        platform::UINT uID = 0;
        platform::UINT uFlags = 0;
        platform::UINT uCallbackMessage = 0;
        platform::HICON hIcon = 0;
        std::u32string szTip = std::u32string(128, U'\0');
        platform::DWORD dwState = 0;
        platform::DWORD dwStateMask = 0;
        std::u32string szInfo = std::u32string(256, U'\0');
        platform::UINT uTimeout = 0;
        std::u32string szInfoTitle = std::u32string(64, U'\0');
        platform::DWORD dwInfoFlags = 0;
    };
    class Failures;

    // The start every request shares: the record's size (chosen on the first
    // request), the window handle where the operation sets one, the id.
    void StartRequest(Failures& failures, std::optional<platform::HWND> hWnd);
    void SetIcon(platform::HICON oIcon);
    void SetNotifyIconDataSize();
    bool IsShellVersionAtLeast(std::int32_t lMajor);
    platform::HWND WindowHandle(std::int32_t lFormHandle) const;
    void Send(platform::DWORD dwMessage);
    bool Finish(Failures& failures, const char* sProcedure);
    void m_oForm_MouseMove(int Button, int Shift, float X, float Y);

    NotifyIconData m_tNotifyIconData;
    std::int32_t m_lNotifyIconDataSize = 0;
    bool m_bFormAttached = false;
    platform::IMenu* m_mnuPopupMenu = nullptr;
    platform::IMenuItem* m_mnuPopupDefaultMenuItem = nullptr;
    platform::IWindow* m_oForm = nullptr;
};
