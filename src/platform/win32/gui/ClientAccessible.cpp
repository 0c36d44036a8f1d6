// A form's client area as a screen reader sees it: what the system's own
// object for it says (its role, state, focus, the child windows), and the
// painted elements besides, which have no window of their own: each light
// and each label a child of the client, named as the program names it ("one,
// online") or by its caption. The form answers WM_GETOBJECT with it.

#include "platform/win32/gui/Internals.h"

// The interfaces' identifiers come from their declarations (__uuidof):
// mingw-w64's oleacc library has IID_IAccessible as an entry point, not as
// the identifier.
#include <atomic>
#include <oleacc.h>
#include <vector>

namespace platform::win32 {

namespace {

using Kind = Control::Impl::Kind;

std::string NameOf(const Control::Impl& c) {
    return !c.accessibleName.empty() || c.kind != Kind::Label ? c.accessibleName : c.caption;
}

// The elements a reader meets, in the order they were made (the order Tab
// walks the child windows): the visible child windows, the visible lights,
// and the visible labels that say something; not the lines, nor the drag
// surface.
std::vector<const Control::Impl*> Elements(const Form::Impl& form) {
    std::vector<const Control::Impl*> elements;
    for (const auto& control : form.controls) {
        const Control::Impl& c = control->Internals();
        const bool painted = c.kind == Kind::Shape || (c.kind == Kind::Label && !NameOf(c).empty());
        if (c.child != nullptr ? ::IsWindowVisible(c.child) != FALSE : painted && c.visible) {
            elements.push_back(&c);
        }
    }
    return elements;
}

::BSTR Text(const std::string& text) {
    return ::SysAllocString(Wide(text).c_str());
}

::VARIANT Id(::LONG id) {
    ::VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// What a painted element does not have.
auto Nothing() {
    return [](const Control::Impl&) { return S_FALSE; };
}

// A COM object ends in its own Release, never by a delete through the
// interface, which has no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClientObject final : public IAccessible {
public:
    ClientObject(Form::Impl& form, IAccessible* standard) : m_form(&form), m_standard(standard) {}
    ClientObject(const ClientObject&) = delete;
    ClientObject& operator=(const ClientObject&) = delete;

    // The form is gone; a reader that still holds the object learns so.
    void Detach() { m_form = nullptr; }

    // IUnknown
    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
            riid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ::ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ::ULONG STDMETHODCALLTYPE Release() override {
        const ::ULONG left = --m_references;
        if (left == 0) {
            m_standard->Release();
            delete this;
        }
        return left;
    }

    // IDispatch: readers call the methods themselves.
    ::HRESULT STDMETHODCALLTYPE GetTypeInfoCount(::UINT* count) override {
        *count = 0;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE GetTypeInfo(::UINT, ::LCID, ::ITypeInfo**) override {
        return E_NOTIMPL;
    }
    ::HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, ::LPOLESTR*, ::UINT, ::LCID,
                                              ::DISPID*) override {
        return E_NOTIMPL;
    }
    ::HRESULT STDMETHODCALLTYPE Invoke(::DISPID, REFIID, ::LCID, ::WORD, ::DISPPARAMS*, ::VARIANT*,
                                       ::EXCEPINFO*, ::UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    ::HRESULT STDMETHODCALLTYPE get_accParent(::IDispatch** parent) override {
        return m_form == nullptr ? E_FAIL : m_standard->get_accParent(parent);
    }
    ::HRESULT STDMETHODCALLTYPE get_accChildCount(::LONG* count) override {
        if (m_form == nullptr) {
            return E_FAIL;
        }
        *count = static_cast<::LONG>(Elements(*m_form).size());
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE get_accChild(::VARIANT child, ::IDispatch** object) override {
        *object = nullptr;
        const Control::Impl* c = nullptr;
        if (const ::HRESULT found = Find(child, &c); found != S_OK) {
            return found;
        }
        if (c == nullptr || c->child == nullptr) {
            return c == nullptr ? E_INVALIDARG : S_FALSE; // a painted element: a simple one
        }
        return ::AccessibleObjectFromWindow(c->child, static_cast<::DWORD>(OBJID_WINDOW),
                                            __uuidof(IDispatch), reinterpret_cast<void**>(object));
    }
    ::HRESULT STDMETHODCALLTYPE get_accName(::VARIANT child, ::BSTR* name) override {
        *name = nullptr;
        if (IsSelf(child) && m_form != nullptr && !m_form->accessibleName.empty()) {
            *name = Text(m_form->accessibleName);
            return S_OK;
        }
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accName(id, name); },
            [&](const Control::Impl& c) {
                *name = Text(NameOf(c));
                return S_OK;
            });
    }
    ::HRESULT STDMETHODCALLTYPE get_accValue(::VARIANT child, ::BSTR* value) override {
        *value = nullptr;
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accValue(id, value); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE get_accDescription(::VARIANT child, ::BSTR* text) override {
        *text = nullptr;
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accDescription(id, text); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE get_accRole(::VARIANT child, ::VARIANT* role) override {
        ::VariantInit(role);
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accRole(id, role); },
            [&](const Control::Impl& c) {
                *role = Id(c.kind == Kind::Shape ? ROLE_SYSTEM_GRAPHIC : ROLE_SYSTEM_STATICTEXT);
                return S_OK;
            });
    }
    ::HRESULT STDMETHODCALLTYPE get_accState(::VARIANT child, ::VARIANT* state) override {
        ::VariantInit(state);
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accState(id, state); },
            [&](const Control::Impl&) {
                *state = Id(STATE_SYSTEM_READONLY);
                return S_OK;
            });
    }
    ::HRESULT STDMETHODCALLTYPE get_accHelp(::VARIANT child, ::BSTR* help) override {
        *help = nullptr;
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accHelp(id, help); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE get_accHelpTopic(::BSTR* file, ::VARIANT child,
                                                 ::LONG* topic) override {
        *file = nullptr;
        return Ask(
            child,
            [&](IAccessible& a, ::VARIANT id) { return a.get_accHelpTopic(file, id, topic); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(::VARIANT child, ::BSTR* keys) override {
        *keys = nullptr;
        return Ask(
            child,
            [&](IAccessible& a, ::VARIANT id) { return a.get_accKeyboardShortcut(id, keys); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE get_accFocus(::VARIANT* focus) override {
        return m_form == nullptr ? E_FAIL : m_standard->get_accFocus(focus);
    }
    ::HRESULT STDMETHODCALLTYPE get_accSelection(::VARIANT* selection) override {
        return m_form == nullptr ? E_FAIL : m_standard->get_accSelection(selection);
    }
    ::HRESULT STDMETHODCALLTYPE get_accDefaultAction(::VARIANT child, ::BSTR* action) override {
        *action = nullptr;
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.get_accDefaultAction(id, action); },
            Nothing());
    }
    ::HRESULT STDMETHODCALLTYPE accSelect(::LONG flags, ::VARIANT child) override {
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.accSelect(flags, id); },
            [](const Control::Impl&) { return S_FALSE; });
    }
    ::HRESULT STDMETHODCALLTYPE accLocation(::LONG* left, ::LONG* top, ::LONG* width,
                                            ::LONG* height, ::VARIANT child) override {
        return Ask(
            child,
            [&](IAccessible& a, ::VARIANT id) {
                return a.accLocation(left, top, width, height, id);
            },
            [&](const Control::Impl& c) {
                ::RECT r = c.PixelRect();
                ::MapWindowPoints(m_form->hWnd, nullptr, reinterpret_cast<::POINT*>(&r), 2);
                *left = r.left;
                *top = r.top;
                *width = r.right - r.left;
                *height = r.bottom - r.top;
                return S_OK;
            });
    }
    ::HRESULT STDMETHODCALLTYPE accNavigate(::LONG direction, ::VARIANT start,
                                            ::VARIANT* end) override {
        ::VariantInit(end);
        if (m_form == nullptr) {
            return E_FAIL;
        }
        const auto count = static_cast<::LONG>(Elements(*m_form).size());
        const bool self = IsSelf(start);
        const ::LONG from = start.vt == VT_I4 ? start.lVal : 0;
        ::LONG to = 0;
        if (self && direction == NAVDIR_FIRSTCHILD) {
            to = 1;
        } else if (self && direction == NAVDIR_LASTCHILD) {
            to = count;
        } else if (self) {
            return m_standard->accNavigate(direction, start, end);
        } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
            to = from + 1;
        } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
            to = from - 1;
        } else {
            return S_FALSE;
        }
        if (to < 1 || to > count) {
            return S_FALSE;
        }
        *end = Id(to);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE accHitTest(::LONG x, ::LONG y, ::VARIANT* child) override {
        ::VariantInit(child);
        if (m_form == nullptr) {
            return E_FAIL;
        }
        ::POINT at{x, y};
        ::ScreenToClient(m_form->hWnd, &at);
        const std::vector<const Control::Impl*> elements = Elements(*m_form);
        // The last made lies on top, as the window paints them.
        for (std::size_t i = elements.size(); i-- > 0;) {
            const ::RECT r = elements[i]->PixelRect();
            if (elements[i]->child == nullptr && ::PtInRect(&r, at) != FALSE) {
                *child = Id(static_cast<::LONG>(i + 1));
                return S_OK;
            }
        }
        return m_standard->accHitTest(x, y, child);
    }
    ::HRESULT STDMETHODCALLTYPE accDoDefaultAction(::VARIANT child) override {
        return Ask(
            child, [&](IAccessible& a, ::VARIANT id) { return a.accDoDefaultAction(id); },
            [](const Control::Impl&) { return DISP_E_MEMBERNOTFOUND; });
    }
    ::HRESULT STDMETHODCALLTYPE put_accName(::VARIANT, ::BSTR) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE put_accValue(::VARIANT, ::BSTR) override { return E_NOTIMPL; }

private:
    static bool IsSelf(const ::VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }

    // The element a child id names: null for the client itself.
    ::HRESULT Find(const ::VARIANT& child, const Control::Impl** element) const {
        *element = nullptr;
        if (m_form == nullptr) {
            return E_FAIL;
        }
        if (child.vt != VT_I4) {
            return E_INVALIDARG;
        }
        if (child.lVal == CHILDID_SELF) {
            return S_OK;
        }
        const std::vector<const Control::Impl*> elements = Elements(*m_form);
        if (child.lVal < 1 || static_cast<std::size_t>(child.lVal) > elements.size()) {
            return E_INVALIDARG;
        }
        *element = elements[static_cast<std::size_t>(child.lVal - 1)];
        return S_OK;
    }

    // The client itself is the system's object; a child window answers for
    // itself; a painted element is answered here.
    template <typename Standard, typename Painted>
    ::HRESULT Ask(const ::VARIANT& child, Standard standard, Painted painted) {
        const Control::Impl* c = nullptr;
        if (const ::HRESULT found = Find(child, &c); found != S_OK) {
            return found;
        }
        if (c == nullptr) {
            return standard(*m_standard, child);
        }
        if (c->child == nullptr) {
            return painted(*c);
        }
        IAccessible* window = nullptr;
        if (FAILED(::AccessibleObjectFromWindow(c->child, static_cast<::DWORD>(OBJID_WINDOW),
                                                __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&window)))) {
            return E_FAIL;
        }
        const ::HRESULT answer = standard(*window, Id(CHILDID_SELF));
        window->Release();
        return answer;
    }

    std::atomic<::ULONG> m_references{1};
    Form::Impl* m_form;
    IAccessible* m_standard;
};
#pragma GCC diagnostic pop

} // namespace

::LRESULT ClientObjectResult(Form::Impl& form, ::WPARAM flags) {
    if (form.accessible == nullptr) {
        IAccessible* standard = nullptr;
        if (FAILED(::CreateStdAccessibleObject(form.hWnd, static_cast<::LONG>(OBJID_CLIENT),
                                               __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&standard)))) {
            return 0;
        }
        form.accessible = new ClientObject(form, standard);
    }
    return ::LresultFromObject(__uuidof(IAccessible), flags, form.accessible);
}

void ForgetClientObject(Form::Impl& form) {
    if (form.accessible != nullptr) {
        auto* object = static_cast<ClientObject*>(form.accessible);
        object->Detach();
        object->Release();
        form.accessible = nullptr;
    }
}

void ElementChanged(const Control::Impl& c, ::DWORD event) {
    const Form::Impl& form = c.owner.Internals();
    const std::vector<const Control::Impl*> elements = Elements(form);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (elements[i] == &c) {
            ::NotifyWinEvent(event, form.hWnd, OBJID_CLIENT, static_cast<::LONG>(i + 1));
            return;
        }
    }
    // Gone from the list or new in it: the client's children have changed.
    ::NotifyWinEvent(EVENT_OBJECT_REORDER, form.hWnd, OBJID_CLIENT, CHILDID_SELF);
}

} // namespace platform::win32
