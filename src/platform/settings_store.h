#pragma once

// The per-user settings store: named text values grouped by application and
// section, kept under HKEY_CURRENT_USER\Software\<application>\<section>.
// Names are matched without regard to letter case.

#include "platform/win32_types.h"

#include <string>

namespace platform {

// The stored text, or sDefault when the value is absent or cannot be read
// (a damaged or missing store reads as an empty one).
std::string GetSetting(const std::string& sAppName, const std::string& sSection,
                       const std::string& sKey, const std::string& sDefault);

// Writes the text, creating the application and section as needed.
LONG SaveSetting(const std::string& sAppName, const std::string& sSection, const std::string& sKey,
                 const std::string& sSetting);

// Removes the value; removing one that is not there succeeds.
LONG DeleteSetting(const std::string& sAppName, const std::string& sSection,
                   const std::string& sKey);

} // namespace platform
