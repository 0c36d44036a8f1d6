#pragma once

#include "platform/win32_types.h"

#include <string>

namespace platform {

// What an error code of the registry functions and the settings store means,
// said as Windows says it ("There is not enough space on the disk."), or in
// its manner for the store's own failures. Every message about the store
// takes its words from here.
std::string ErrorText(LONG code);

} // namespace platform
