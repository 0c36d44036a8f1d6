// The program's icon, from its resources.

#include "platform/gui/App.h"
#include "platform/win32/gui/Internals.h"

#include <map>

namespace platform {

namespace {

// The icon the program carries as its resource "NETVIGIL", drawn at the size
// of a system metric at the system's DPI. Each size is loaded from the
// resource's own image of that size, once, and kept for the run: a shared
// load would hand back whichever size was loaded first.
::HICON ResourceIcon(int metric) {
    static std::map<int, ::HICON> loaded;
    const int size = win32::MetricForDpi(metric, win32::SystemDpi());
    ::HICON& icon = loaded[size];
    if (icon == nullptr) {
        icon = static_cast<::HICON>(::LoadImageW(::GetModuleHandleW(nullptr), L"NETVIGIL",
                                                 IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    }
    return icon;
}

} // namespace

namespace win32 {

::HICON LargeIconFor(HICON icon) {
    return icon != 0 && icon == ProgramIcon() ? ResourceIcon(SM_CXICON) : NativeIcon(icon);
}

} // namespace win32

// At the size of the notification area's icons.
HICON ProgramIcon() {
    return static_cast<HICON>(
        static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(ResourceIcon(SM_CXSMICON))));
}

} // namespace platform
