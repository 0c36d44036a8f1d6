#include "settings/BoardFont.h"

platform::Font BoardFont() {
    platform::Font font{"Segoe UI", 11.25};
    if (!platform::FontInstalled(font.Name)) {
        font.Name.clear();
        while (font.Size > 6 && platform::TextHeight(font) > kBoardRowPitch) {
            font.Size -= 0.25;
        }
    }
    return font;
}
