#include "platform/gui/Form.h"

#include "platform/common/gui_core.h"

#include <algorithm>

namespace platform {

namespace {

std::function<void()>& LastFormUnloaded() {
    static std::function<void()> handler;
    return handler;
}

core::PopupProbe*& CurrentProbe() {
    static core::PopupProbe* probe = nullptr;
    return probe;
}

} // namespace

namespace core {

std::vector<Form*>& LoadedForms() {
    static std::vector<Form*> forms;
    return forms;
}

float FormCore::Units(double pixels, double twipsPerPixel) const {
    return static_cast<float>(scaleMode == vbPixels ? pixels : pixels * twipsPerPixel);
}

int FormCore::Pixels(float units, double twipsPerPixel) const {
    const auto at = static_cast<double>(units);
    return static_cast<int>(scaleMode == vbPixels ? at : at / twipsPerPixel);
}

void FormCore::FreeOwned() {
    controls.clear();
    menus.clear();
    barItems.clear();
}

PopupProbe::PopupProbe() {
    CurrentProbe() = this;
}

PopupProbe::~PopupProbe() {
    CurrentProbe() = nullptr;
}

} // namespace core

Form* Form::FromHandle(HWND hWnd) {
    const auto& forms = core::LoadedForms();
    const auto it = std::find_if(forms.begin(), forms.end(),
                                 [hWnd](const Form* form) { return form->hWnd() == hWnd; });
    return it == forms.end() ? nullptr : *it;
}

const std::vector<Form*>& Form::Forms() {
    return core::LoadedForms();
}

void Form::Load() {
    core::FormCore& state = core::CoreOf(*this);
    if (!state.loaded) {
        state.loaded = true;
        Form_Load();
    }
}

void Form::SetStartUpPosition(int position) {
    core::CoreOf(*this).startUpPosition = position;
}

HICON Form::Icon() const {
    return core::CoreOf(*this).icon;
}

int Form::ScaleMode() const {
    return core::CoreOf(*this).scaleMode;
}

void Form::SetScaleMode(int mode) {
    core::CoreOf(*this).scaleMode = mode;
}

void Form::Unload() {
    core::FormCore& state = core::CoreOf(*this);
    // Unloading every window from one window's unload step meets that window
    // again: the second unload does nothing.
    if (state.unloaded || state.unloading) {
        return;
    }
    state.unloading = true;
    Form_Unload();
    state.unloaded = true;
    for (Timer* timer : state.timers) {
        core::CoreOf(*timer).stopped = true;
        core::ApplyTimer(*timer);
    }
    std::erase(core::LoadedForms(), this);
    Hide();
    // A menu of this window still open (the close came while it was up)
    // closes with it.
    core::CloseMenus(*this);
    core::FreeWhenUnwound(*this);
    if (core::LoadedForms().empty() && LastFormUnloaded()) {
        LastFormUnloaded()();
    }
}

bool Form::Unloaded() const {
    return core::CoreOf(*this).unloaded;
}

void Form::SetLastFormUnloaded(std::function<void()> handler) {
    LastFormUnloaded() = std::move(handler);
}

void Form::RaiseMouseMove(int button, int shift, float x, float y) {
    // A probe asks only the tray class what it would show; the window's own
    // handler hears of real moves alone.
    if (MouseMove && CurrentProbe() == nullptr) {
        MouseMove(button, shift, x, y);
    }
    const core::FormCore& state = core::CoreOf(*this);
    if (state.subscriber) {
        // A copy: the subscriber may end its own subscription.
        const MouseHandler subscriber = state.subscriber;
        subscriber(button, shift, x, y);
    }
}

void Form::SubscribeMouseMove(MouseHandler handler) {
    core::CoreOf(*this).subscriber = std::move(handler);
}

void Form::PopupMenu(IMenu& menu, IMenuItem* defaultItem) {
    auto* popup = dynamic_cast<Menu*>(&menu);
    if (popup != nullptr && CurrentProbe() != nullptr) {
        CurrentProbe()->m_shown = popup;
    } else if (popup != nullptr) {
        core::PopupAtPointer(*this, *popup, dynamic_cast<MenuItem*>(defaultItem));
    }
}

void Form::PopupMenuAt(IMenu& menu, IMenuItem* defaultItem, float x, float y) {
    auto* popup = dynamic_cast<Menu*>(&menu);
    if (popup == nullptr) {
        return;
    }
    if (CurrentProbe() != nullptr) {
        CurrentProbe()->m_shown = popup;
        return;
    }
    const core::FormCore& state = core::CoreOf(*this);
    core::PopupAt(*this, *popup, dynamic_cast<MenuItem*>(defaultItem),
                  state.Pixels(x, TwipsPerPixelX()), state.Pixels(y, core::TwipsPerPixelY(*this)));
}

} // namespace platform
