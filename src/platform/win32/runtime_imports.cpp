// The runtime that every program links statically (mingw-w64's start-up
// code, winpthreads, libstdc++) calls a few kernel32 functions in their A
// forms, whose text Windows reads in the code page of the system before
// Windows 10 1903, whatever the program's manifest says. Their import slots
// are filled here instead, with the same functions over the W forms and text
// in UTF-8, the program's own: what the runtime hands the program (an error
// message) is then UTF-8 on every Windows, and no program imports an A form.
// The linker takes a slot defined in an object of the program before it looks
// in kernel32's import library.

#include "platform/win32/wide.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <windows.h>

namespace {

using platform::win32::Narrow;
using platform::win32::Wide;
using platform::win32::WideArgument;

HANDLE WINAPI CreateEventUtf8(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                              LPCSTR name) {
    return ::CreateEventW(attributes, manualReset, initialState, WideArgument(name).Get());
}

HANDLE WINAPI CreateSemaphoreUtf8(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                  LONG maximumCount, LPCSTR name) {
    return ::CreateSemaphoreW(attributes, initialCount, maximumCount, WideArgument(name).Get());
}

HMODULE WINAPI GetModuleHandleUtf8(LPCSTR name) {
    return ::GetModuleHandleW(WideArgument(name).Get());
}

void WINAPI OutputDebugStringUtf8(LPCSTR text) {
    ::OutputDebugStringW(WideArgument(text).Get());
}

// Called by the start-up code before any constructor has run: nothing here
// needs one. The strings live as long as the process, as Windows' own do; a
// title longer than its buffer is cut to whole characters.
char* Kept(const wchar_t* text, char* buffer, std::size_t size) {
    if (text == nullptr) {
        return nullptr;
    }
    const std::string utf8 = Narrow(text);
    const std::size_t length =
        platform::WholeCharacters(std::string_view(utf8).substr(0, size - 1));
    std::memcpy(buffer, utf8.data(), length);
    buffer[length] = '\0';
    return buffer;
}

void WINAPI GetStartupInfoUtf8(LPSTARTUPINFOA info) {
    static char desktop[1024];
    static char title[1024];
    STARTUPINFOW wide{};
    wide.cb = sizeof wide;
    ::GetStartupInfoW(&wide);
    *info = STARTUPINFOA{};
    info->cb = sizeof *info;
    info->lpDesktop = Kept(wide.lpDesktop, desktop, sizeof desktop);
    info->lpTitle = Kept(wide.lpTitle, title, sizeof title);
    info->dwX = wide.dwX;
    info->dwY = wide.dwY;
    info->dwXSize = wide.dwXSize;
    info->dwYSize = wide.dwYSize;
    info->dwXCountChars = wide.dwXCountChars;
    info->dwYCountChars = wide.dwYCountChars;
    info->dwFillAttribute = wide.dwFillAttribute;
    info->dwFlags = wide.dwFlags;
    info->wShowWindow = wide.wShowWindow;
    info->cbReserved2 = wide.cbReserved2;
    info->lpReserved2 = wide.lpReserved2;
    info->hStdInput = wide.hStdInput;
    info->hStdOutput = wide.hStdOutput;
    info->hStdError = wide.hStdError;
}

// Messages of the system or of a module, or made from a string of the
// caller's. Inserts are taken from the arguments as text of the caller's
// form, which the W form would read as UTF-16: a message with inserts is
// made only where they are ignored.
DWORD WINAPI FormatMessageUtf8(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                               LPSTR buffer, DWORD size, va_list* arguments) {
    if ((flags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring pattern;
    if ((flags & FORMAT_MESSAGE_FROM_STRING) != 0) {
        pattern = Wide(static_cast<const char*>(source));
        source = pattern.c_str();
    }
    wchar_t* made = nullptr;
    const DWORD length =
        ::FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, source, messageId, languageId,
                         reinterpret_cast<LPWSTR>(&made), 0, arguments);
    if (length == 0) {
        return 0;
    }
    const std::string text = Narrow({made, length});
    ::LocalFree(made);
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        auto* out = static_cast<char*>(
            ::LocalAlloc(LMEM_FIXED, std::max<std::size_t>(size, text.size() + 1)));
        if (out == nullptr) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(out, text.c_str(), text.size() + 1);
        *reinterpret_cast<char**>(buffer) = out;
        return static_cast<DWORD>(text.size());
    }
    if (text.size() + 1 > size) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

} // namespace

// The import slots, by the names the runtime's calls go through.
extern "C" {
extern decltype(&CreateEventUtf8) const createEventSlot __asm__("__imp_CreateEventA");
extern decltype(&CreateSemaphoreUtf8) const createSemaphoreSlot __asm__("__imp_CreateSemaphoreA");
extern decltype(&GetModuleHandleUtf8) const getModuleHandleSlot __asm__("__imp_GetModuleHandleA");
extern decltype(&OutputDebugStringUtf8)
    const outputDebugStringSlot __asm__("__imp_OutputDebugStringA");
extern decltype(&GetStartupInfoUtf8) const getStartupInfoSlot __asm__("__imp_GetStartupInfoA");
extern decltype(&FormatMessageUtf8) const formatMessageSlot __asm__("__imp_FormatMessageA");

decltype(&CreateEventUtf8) const createEventSlot = CreateEventUtf8;
decltype(&CreateSemaphoreUtf8) const createSemaphoreSlot = CreateSemaphoreUtf8;
decltype(&GetModuleHandleUtf8) const getModuleHandleSlot = GetModuleHandleUtf8;
decltype(&OutputDebugStringUtf8) const outputDebugStringSlot = OutputDebugStringUtf8;
decltype(&GetStartupInfoUtf8) const getStartupInfoSlot = GetStartupInfoUtf8;
decltype(&FormatMessageUtf8) const formatMessageSlot = FormatMessageUtf8;
}
