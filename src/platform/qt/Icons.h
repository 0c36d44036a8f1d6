#pragma once

#include "platform/win32_types.h"

#include <QIcon>

namespace platform::qt {

// Icons cross the platform boundary as 32-bit handles, as on Windows.
HICON IconHandle(const QIcon& icon);
QIcon IconFromHandle(HICON handle);

} // namespace platform::qt
