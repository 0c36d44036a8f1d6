#pragma once

// An entry point of a system library, found when first called. A library or
// entry point that is missing is a failure of the call, as Windows raises it.

#include "platform/shell.h"
#include "platform/win32/api.h"
#include "platform/win32/wide.h"

#include <string>

namespace platform::win32 {

template <typename Function> Function* Entry(const char* library, const char* name) {
    const ::HMODULE module =
        ::LoadLibraryExW(Wide(library).c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        throw Win32CallError(std::string("File not found: ") + library);
    }
    const ::FARPROC entry = ::GetProcAddress(module, name);
    if (entry == nullptr) {
        throw Win32CallError(std::string("Can't find DLL entry point ") + name + " in " + library);
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(entry));
}

} // namespace platform::win32
