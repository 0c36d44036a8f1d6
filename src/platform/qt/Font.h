#pragma once

#include "platform/gui/Font.h"

#include <QFont>

namespace platform::qt {

// The face at the size; no face at all is the desktop's general one.
QFont ToQFont(const Font& font);

} // namespace platform::qt
