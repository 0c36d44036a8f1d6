// Names for screen readers, by the accessibility's own annotation service:
// the captions the windows show (blank windows, buttons without text, text
// boxes and check boxes with no caption beside them) are not the names a
// reader should say. Where the service is missing, nothing is named.

#include "platform/win32/gui/Internals.h"

#include <oleacc.h>

namespace platform::win32 {

namespace {

// The service's class and interface, and the name's property, which
// mingw-w64's libraries do not define (oleacc.h gives their values).
constexpr ::CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr ::IID kIAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr ::MSAAPROPID kName = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

IAccPropServices* Service() {
    static IAccPropServices* const service = [] {
        IAccPropServices* made = nullptr;
        if (FAILED(::CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      kIAccPropServices, reinterpret_cast<void**>(&made)))) {
            return static_cast<IAccPropServices*>(nullptr);
        }
        return made;
    }();
    return service;
}

} // namespace

void NameWindow(::HWND hWnd, const std::string& name) {
    if (IAccPropServices* service = Service()) {
        const std::wstring wide = Wide(name);
        for (const ::DWORD object :
             {static_cast<::DWORD>(OBJID_WINDOW), static_cast<::DWORD>(OBJID_CLIENT)}) {
            service->SetHwndPropStr(hWnd, object, CHILDID_SELF, kName, wide.c_str());
        }
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hWnd, OBJID_CLIENT, CHILDID_SELF);
    }
}

void NameMenu(::HMENU menu, const std::string& name) {
    if (IAccPropServices* service = Service(); service != nullptr && !name.empty()) {
        service->SetHmenuPropStr(menu, CHILDID_SELF, kName, Wide(name).c_str());
    }
}

void ForgetMenu(::HMENU menu) {
    if (IAccPropServices* service = Service()) {
        MSAAPROPID name = kName;
        service->ClearHmenuProps(menu, CHILDID_SELF, &name, 1);
    }
}

} // namespace platform::win32
