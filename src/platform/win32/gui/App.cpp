#include "platform/gui/App.h"

#include "platform/win32/gui/Internals.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdio>
#include <iterator>
#include <objbase.h>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

namespace {

std::vector<Form*>& Unwinding() {
    static std::vector<Form*> forms;
    return forms;
}

std::optional<std::string>& CommandOverride() {
    static std::optional<std::string> command;
    return command;
}

// Delivers one message; a key goes to its window's KeyDown first, then to the
// window it belongs to as the dialog manager routes it (Tab between boxes).
void Deliver(::MSG& msg) {
    if (win32::PreviewKey(msg)) {
        return;
    }
    const ::HWND top = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (top == nullptr || ::IsDialogMessageW(top, &msg) == FALSE) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

} // namespace

namespace win32 {

void DeleteWhenUnwound(Form* form) {
    Unwinding().push_back(form);
}

void FreeUnwound() {
    for (Form* form : std::exchange(Unwinding(), {})) {
        delete form;
    }
}

} // namespace win32

int Run(int& /*argc*/, char** /*argv*/, const std::string& /*title*/,
        const std::function<void()>& start) {
    ::InitCommonControls();
    // The accessibility's annotation service is a COM object.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A quit message, not a flag: the last unload may come from a message
    // another program sent (WM_CLOSE from an uninstaller), which Windows
    // hands to the window inside GetMessage, and only a message ends the wait.
    Form::SetLastFormUnloaded([] { ::PostQuitMessage(0); });
    start();
    // A start that loaded no window (a second one, which handed its request
    // to the first) has nothing to wait for.
    if (Form::Forms().empty()) {
        win32::FreeUnwound();
        return 0;
    }
    // Unloaded windows are freed here alone, between two messages: whatever
    // handler unloaded one, and whatever loop it ran (a yield, a modal
    // window, a menu, the colour dialog, the desktop's move of a window), has
    // returned by then.
    win32::FreeUnwound();
    ::MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        Deliver(msg);
        win32::FreeUnwound();
    }
    win32::FreeUnwound();
    return 0;
}

namespace {

// Delivers every pending message; false once the program is ending, whose
// quit message is left for the outermost loop.
bool DeliverPending() {
    ::MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        Deliver(msg);
    }
    return true;
}

} // namespace

void DoEvents() {
    DeliverPending();
}

void DoEventsWhile(const std::function<void()>& blocking) {
    const ::HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker;
    if (done != nullptr) {
        try {
            worker = std::thread([&] {
                blocking();
                ::SetEvent(done);
            });
        } catch (const std::system_error&) {
        }
    }
    if (!worker.joinable()) {
        blocking();
    } else {
        // Woken by the end of blocking, or by a message (one seen but left
        // in the queue by a peek too). Once the program is ending nothing
        // more is delivered, and the quit message would wake every wait: the
        // rest is a plain wait.
        while (::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT,
                                             MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1 &&
               DeliverPending()) {
        }
        worker.join();
    }
    if (done != nullptr) {
        ::CloseHandle(done);
    }
}

void SetCommand(std::optional<std::string> command) {
    CommandOverride() = std::move(command);
}

// The command line after the program's name, which ends at the closing
// quote when it opens with one, else at the first blank.
std::string Command() {
    if (CommandOverride()) {
        return *CommandOverride();
    }
    const std::string line = win32::Narrow(::GetCommandLineW());
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        i = close == std::string::npos ? line.size() : close + 1;
    } else {
        i = std::min(line.size(), line.find_first_of(" \t"));
    }
    i = std::min(line.size(), line.find_first_not_of(" \t", i));
    return line.substr(i);
}

namespace win32 {

::HWND HiddenOwner() {
    static const ::HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return owner;
}

} // namespace win32

namespace {

// An owned window has a task-bar button only with WS_EX_APPWINDOW. Windows
// takes the change of a visible window's button only while it is hidden.
void SetTaskListButton(Form& form, bool button) {
    const ::HWND hWnd = form.Internals().hWnd;
    const bool shown = ::IsWindowVisible(hWnd) != FALSE;
    if (shown) {
        ::ShowWindow(hWnd, SW_HIDE);
    }
    const auto style = static_cast<::ULONG_PTR>(::GetWindowLongPtrW(hWnd, GWL_EXSTYLE));
    ::SetWindowLongPtrW(
        hWnd, GWL_EXSTYLE,
        static_cast<::LONG_PTR>(button ? style | WS_EX_APPWINDOW
                                       : style & ~static_cast<::ULONG_PTR>(WS_EX_APPWINDOW)));
    // The frame's data is cached until the window is placed again.
    ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (shown) {
        ::ShowWindow(hWnd, SW_SHOWNA);
    }
}

} // namespace

void HideFromTaskList(Form& form) {
    SetTaskListButton(form, false);
}

void ShowInTaskList(Form& form) {
    SetTaskListButton(form, true);
}

void End() {
    std::fflush(nullptr);
    ::ExitProcess(0);
}

std::string LocaleTimeText(const LocalTime& when, bool withDate) {
    ::SYSTEMTIME fields{};
    fields.wYear = static_cast<::WORD>(when.year);
    fields.wMonth = static_cast<::WORD>(when.month);
    fields.wDay = static_cast<::WORD>(when.day);
    fields.wHour = static_cast<::WORD>(when.hour);
    fields.wMinute = static_cast<::WORD>(when.minute);
    fields.wSecond = static_cast<::WORD>(when.second);
    wchar_t buffer[128];
    std::string text;
    if (withDate && ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr,
                                      buffer, std::size(buffer), nullptr) > 0) {
        text = win32::Narrow(buffer) + " ";
    }
    if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &fields, nullptr, buffer,
                          std::size(buffer)) > 0) {
        text += win32::Narrow(buffer);
    }
    return text;
}

} // namespace platform
