#include "platform/gui/Instance.h"

#include "platform/win32/gui/Internals.h"

#include <iterator>
#include <string>

namespace platform {

namespace {

// The first start's window for later starts' requests: a message-only
// window, which no task list, tray or window list shows.
constexpr const wchar_t* kClass = L"org.netvigil.Netvigil.Instance";
constexpr ::UINT kActivate = WM_APP;
constexpr ::UINT kWaitMs = 5000;
constexpr ::UINT kPollMs = 50;
// HWND_MESSAGE, whose macro would name the platform's HWND in here.
const ::HWND kMessageOnly = win32::NativeWindow(-3);

// "Local\" is the session's own namespace, so each user logged on (each
// session) has their own; the user's name keeps apart a start as another
// user in the same session (runas), whom the first one's mutex would refuse.
std::wstring InstanceName() {
    wchar_t user[257] = L"";
    ::DWORD size = std::size(user);
    if (::GetUserNameW(user, &size) == FALSE) {
        user[0] = L'\0';
    }
    return std::wstring(L"org.netvigil.Netvigil.") + user;
}

// Whether a window came forward: none does while the program starts or ends.
bool Activate() {
    Form* form = core::HandleActivateRequest();
    if (form == nullptr) {
        return false;
    }
    // A modal window over the board (the options) is the one to come forward.
    ::SetForegroundWindow(::GetLastActivePopup(form->Internals().hWnd));
    return true;
}

::LRESULT CALLBACK InstanceProcedure(::HWND hWnd, ::UINT message, ::WPARAM wParam,
                                     ::LPARAM lParam) {
    if (message == kActivate) {
        return Activate() ? TRUE : FALSE;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

} // namespace

bool ClaimInstance() {
    const std::wstring name = InstanceName();
    ::HANDLE mutex = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    if (mutex == nullptr) {
        return true;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    // The mutex stays open until the process ends, which releases it however
    // it ends, and the window lives as long.
    ::WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = InstanceProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    ::RegisterClassW(&windowClass);
    ::CreateWindowExW(0, kClass, name.c_str(), 0, 0, 0, 0, 0, kMessageOnly, nullptr,
                      windowClass.hInstance, nullptr);
    return true;
}

bool ActivateInstance() {
    const std::wstring name = InstanceName();
    // The first start may hold the mutex and not yet have its window.
    for (::UINT waited = 0; waited < kWaitMs; waited += kPollMs) {
        const ::HWND window = ::FindWindowExW(kMessageOnly, nullptr, kClass, name.c_str());
        if (window == nullptr) {
            ::Sleep(kPollMs);
            continue;
        }
        // This start is what the user just did: the first one may take the
        // foreground from it.
        ::DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        ::AllowSetForegroundWindow(process);
        ::DWORD_PTR taken = FALSE;
        return ::SendMessageTimeoutW(window, kActivate, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &taken) !=
                   0 &&
               taken == TRUE;
    }
    return false;
}

} // namespace platform
