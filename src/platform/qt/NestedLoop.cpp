#include "platform/qt/NestedLoop.h"

#include <QObject>
#include <QPointer>

#include <utility>
#include <vector>

namespace platform::qt {

namespace {

int g_depth = 0;

std::vector<QPointer<QObject>>& Pending() {
    static std::vector<QPointer<QObject>> pending;
    return pending;
}

} // namespace

NestedLoop::NestedLoop() {
    ++g_depth;
}

NestedLoop::~NestedLoop() {
    if (--g_depth > 0) {
        return;
    }
    // Posted from here, outside every nested loop, a deferred delete runs only
    // when the handler that started them has returned to its own loop.
    for (const QPointer<QObject>& object : std::exchange(Pending(), {})) {
        if (object != nullptr) {
            object->deleteLater();
        }
    }
}

void DeleteWhenUnwound(QObject* object) {
    if (g_depth == 0) {
        object->deleteLater();
    } else {
        Pending().emplace_back(object);
    }
}

} // namespace platform::qt
