#include "platform/gui/Instance.h"

#include "platform/win32/gui/Internals.h"

#include <string>

namespace platform {

namespace {

// The first start's window for later starts' requests: a message-only
// window, which no task list, tray or window list shows.
constexpr const char* kClass = "org.netvigil.Netvigil.Instance";
constexpr ::UINT kActivate = WM_APP;
constexpr ::UINT kWaitMs = 5000;
constexpr ::UINT kPollMs = 50;
// HWND_MESSAGE, whose macro would name the platform's HWND in here.
const ::HWND kMessageOnly = win32::NativeWindow(-3);

// "Local\" is the session's own namespace, so each user logged on (each
// session) has their own; the user's name keeps apart a start as another
// user in the same session (runas), whom the first one's mutex would refuse.
std::string InstanceName() {
    char user[257] = "";
    ::DWORD size = sizeof user;
    if (::GetUserNameA(user, &size) == FALSE) {
        user[0] = '\0';
    }
    return std::string("org.netvigil.Netvigil.") + user;
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
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

bool ClaimInstance() {
    const std::string name = InstanceName();
    ::HANDLE mutex = ::CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
    if (mutex == nullptr) {
        return true;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    // The mutex stays open until the process ends, which releases it however
    // it ends, and the window lives as long.
    ::WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = InstanceProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClass;
    ::RegisterClassA(&windowClass);
    ::CreateWindowExA(0, kClass, name.c_str(), 0, 0, 0, 0, 0, kMessageOnly, nullptr,
                      windowClass.hInstance, nullptr);
    return true;
}

bool ActivateInstance() {
    const std::string name = InstanceName();
    // The first start may hold the mutex and not yet have its window.
    for (::UINT waited = 0; waited < kWaitMs; waited += kPollMs) {
        const ::HWND window = ::FindWindowExA(kMessageOnly, nullptr, kClass, name.c_str());
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
        return ::SendMessageTimeoutA(window, kActivate, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &taken) !=
                   0 &&
               taken == TRUE;
    }
    return false;
}

} // namespace platform
