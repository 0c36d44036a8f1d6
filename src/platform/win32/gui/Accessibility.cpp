// Names for screen readers, by the accessibility's own annotation service:
// the captions the windows show (blank windows, buttons without text, text
// boxes and check boxes with no caption beside them) are not the names a
// reader should say. Where the service is missing, nothing is named.

#include "platform/win32/gui/Internals.h"

// The property identifiers are defined here, once.
#include <initguid.h>
#include <oleacc.h>

namespace platform::win32 {

namespace {

// The service's class, which mingw-w64 declares but does not define.
constexpr ::CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};

IAccPropServices* Service() {
    static IAccPropServices* const service = [] {
        IAccPropServices* made = nullptr;
        if (FAILED(::CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&made)))) {
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
            service->SetHwndPropStr(hWnd, object, CHILDID_SELF, PROPID_ACC_NAME, wide.c_str());
        }
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hWnd, OBJID_CLIENT, CHILDID_SELF);
    }
}

void NameMenu(::HMENU menu, const std::string& name) {
    if (IAccPropServices* service = Service(); service != nullptr && !name.empty()) {
        service->SetHmenuPropStr(menu, CHILDID_SELF, PROPID_ACC_NAME, Wide(name).c_str());
    }
}

void ForgetMenu(::HMENU menu) {
    if (IAccPropServices* service = Service()) {
        MSAAPROPID name = PROPID_ACC_NAME;
        service->ClearHmenuProps(menu, CHILDID_SELF, &name, 1);
    }
}

} // namespace platform::win32
