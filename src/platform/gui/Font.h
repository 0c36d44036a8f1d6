#pragma once

// A font as the windows name it: a face and a size in points.

#include <string>

namespace platform {

struct Font {
    // Empty: the desktop's own face for text in windows.
    std::string Name;
    double Size = 0;
};

// Whether the desktop has the face.
bool FontInstalled(const std::string& name);

// The height of one line of text in the font, in twips.
int TextHeight(const Font& font);

} // namespace platform
