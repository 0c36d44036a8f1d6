#pragma once

// The notification area and the version facility, in the shape of their
// Windows (8-bit text) forms.

#include "platform/win32_types.h"

#include <stdexcept>
#include <string>

namespace platform {

// Thrown by a platform call that cannot be made at all (its library or entry
// point is missing), as Windows raises such a failure to the caller.
class Win32CallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr DWORD NIM_SETVERSION = 4;

inline constexpr UINT NIF_MESSAGE = 0x01;
inline constexpr UINT NIF_ICON = 0x02;
inline constexpr UINT NIF_TIP = 0x04;
inline constexpr UINT NIF_INFO = 0x10;

inline constexpr DWORD NIIF_NONE = 0;
inline constexpr DWORD NIIF_INFO = 1;
inline constexpr DWORD NIIF_WARNING = 2;
inline constexpr DWORD NIIF_ERROR = 3;

inline constexpr UINT WM_MOUSEMOVE = 0x200;
inline constexpr UINT WM_LBUTTONUP = 0x202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x203;
inline constexpr UINT WM_RBUTTONUP = 0x205;
inline constexpr UINT NIN_BALLOONUSERCLICK = 0x405;

// The record in its largest 8-bit layout: 504 bytes. The shell reads only the
// first cbSize bytes of it: 504, 488 (no guidItem) or 88 (the first six
// fields and 64 characters of szTip).
struct NOTIFYICONDATA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    char szInfo[256];
    UINT uTimeout; // also uVersion
    char szInfoTitle[64];
    DWORD dwInfoFlags;
    BYTE guidItem[16];
};
static_assert(sizeof(NOTIFYICONDATA) == 504);

// Returns FALSE when the shell refuses the request. The record comes back
// with whatever the shell changed in it.
BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* lpData);

// Whether the desktop has a notification area at all. Without one, a window
// that hides itself "in the tray" would leave the user no way back.
bool NotificationAreaAvailable();

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

DWORD GetFileVersionInfoSize(const char* lptstrFilename, DWORD* lpdwHandle);
BOOL GetFileVersionInfo(const char* lptstrFilename, DWORD dwHandle, DWORD dwLen, void* lpData);
// Only sub-block "\" is answered: it gives the VS_FIXEDFILEINFO within the data.
BOOL VerQueryValue(const void* pBlock, const char* lpSubBlock, void** lplpBuffer, UINT* puLen);

} // namespace platform
