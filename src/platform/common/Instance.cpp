#include "platform/gui/Instance.h"

#include "platform/common/gui_core.h"

#include <algorithm>

namespace platform {

namespace {

struct Holder {
    Form* form = nullptr;
    std::function<void()> handler;
};

Holder& TheHolder() {
    static Holder holder;
    return holder;
}

} // namespace

void SetInstanceActivate(Form& form, std::function<void()> handler) {
    TheHolder().form = &form;
    TheHolder().handler = std::move(handler);
}

namespace core {

Form* HandleActivateRequest() {
    const Holder& holder = TheHolder();
    const auto& forms = Form::Forms();
    if (!holder.handler || std::find(forms.begin(), forms.end(), holder.form) == forms.end()) {
        return nullptr;
    }
    holder.handler();
    return holder.form;
}

} // namespace core

} // namespace platform
