// The program's icon, from its resources.

#include "platform/gui/App.h"
#include "platform/win32/gui/Internals.h"

namespace platform {

namespace {

// The icon the program carries as its resource "NETVIGIL", drawn at a size.
::HICON ResourceIcon(int metric) {
    const int size = ::GetSystemMetricsForDpi(metric, ::GetDpiForSystem());
    return static_cast<::HICON>(::LoadImageA(::GetModuleHandleA(nullptr), "NETVIGIL", IMAGE_ICON,
                                             size, size, LR_DEFAULTCOLOR | LR_SHARED));
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
