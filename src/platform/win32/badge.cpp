// BadgedIcon (platform/gui/App.h) with GDI: the badge is drawn into a 32-bit copy
// of the icon's picture, pixel by pixel, with edges smoothed by how much of
// each pixel the circles cover, and made a new icon. The same disc, rim and
// cut-out ring as the Qt backend draws.

#include "platform/gui/App.h"
#include "platform/win32/api.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 0;
};

// Of the pixel whose middle is d from a circle's centre, the share inside a
// circle of radius r.
double Cover(double d, double r) {
    return std::clamp(r - d + 0.5, 0.0, 1.0);
}

// Source over, on colours that are not premultiplied.
Rgba Over(const Rgba& top, double share, const Rgba& below) {
    const double a = top.a * share;
    const double out = a + below.a * (1 - a);
    if (out <= 0) {
        return {};
    }
    const auto mix = [&](double t, double u) { return (t * a + u * below.a * (1 - a)) / out; };
    return {mix(top.r, below.r), mix(top.g, below.g), mix(top.b, below.b), out};
}

// The icon's picture as top-down 32-bit BGRA pixels; an icon without an
// alpha channel takes its transparency from its mask.
bool ReadPicture(const ::ICONINFO& info, int width, int height, std::vector<std::uint32_t>& out) {
    ::BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out.assign(count, 0);
    std::vector<std::uint32_t> mask(count, 0);
    ::HDC screen = ::GetDC(nullptr);
    const bool read = ::GetDIBits(screen, info.hbmColor, 0, static_cast<::UINT>(height), out.data(),
                                  &format, DIB_RGB_COLORS) == height &&
                      ::GetDIBits(screen, info.hbmMask, 0, static_cast<::UINT>(height), mask.data(),
                                  &format, DIB_RGB_COLORS) == height;
    ::ReleaseDC(nullptr, screen);
    if (!read) {
        return false;
    }
    if (std::none_of(out.begin(), out.end(), [](std::uint32_t p) { return (p >> 24) != 0; })) {
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = (out[i] & 0xFFFFFFu) | ((mask[i] & 0xFFFFFFu) != 0 ? 0u : 0xFF000000u);
        }
    }
    return true;
}

void DrawBadge(std::vector<std::uint32_t>& pixels, std::size_t size, std::int32_t lColor) {
    const auto across = static_cast<double>(size);
    const double diameter = std::round(across / 2);
    const double rim = std::max(1.0, std::round(across / 24));
    const double centre = across - diameter / 2;
    const Rgba dark{0x20, 0x20, 0x20, 1};
    const Rgba fill{static_cast<double>(lColor & 0xFF), static_cast<double>((lColor >> 8) & 0xFF),
                    static_cast<double>((lColor >> 16) & 0xFF), 1};
    for (std::size_t y = 0; y < size; ++y) {
        for (std::size_t x = 0; x < size; ++x) {
            const double d = std::hypot(static_cast<double>(x) + 0.5 - centre,
                                        static_cast<double>(y) + 0.5 - centre);
            std::uint32_t& p = pixels[y * size + x];
            Rgba c{static_cast<double>((p >> 16) & 0xFF), static_cast<double>((p >> 8) & 0xFF),
                   static_cast<double>(p & 0xFF), static_cast<double>(p >> 24) / 255};
            c.a *= 1 - Cover(d, diameter / 2 + rim);
            c = Over(dark, Cover(d, diameter / 2), c);
            c = Over(fill, Cover(d, diameter / 2 - rim), c);
            const auto byte = [](double v) {
                return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
            };
            p = byte(c.a * 255) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
        }
    }
}

// A new icon of the pixels: a 32-bit picture, and a mask that is clear
// wherever a pixel is wholly transparent.
::HICON MakeIcon(const std::vector<std::uint32_t>& pixels, std::size_t size) {
    const auto across = static_cast<int>(size);
    ::BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = across;
    header.bV5Height = -across;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_RGB;
    void* bits = nullptr;
    ::HDC screen = ::GetDC(nullptr);
    ::HBITMAP colour = ::CreateDIBSection(screen, reinterpret_cast<::BITMAPINFO*>(&header),
                                          DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    if (colour == nullptr) {
        return nullptr;
    }
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    // Rows of a monochrome bitmap are whole 16-bit words.
    const std::size_t stride = (size + 15) / 16 * 2;
    std::vector<std::uint8_t> maskBits(stride * size, 0);
    for (std::size_t y = 0; y < size; ++y) {
        for (std::size_t x = 0; x < size; ++x) {
            if ((pixels[y * size + x] >> 24) == 0) {
                std::uint8_t& cell = maskBits[y * stride + x / 8];
                cell = static_cast<std::uint8_t>(cell | (0x80u >> (x % 8)));
            }
        }
    }
    ::HBITMAP mask = ::CreateBitmap(across, across, 1, 1, maskBits.data());
    ::ICONINFO info{TRUE, 0, 0, mask, colour};
    ::HICON icon = mask != nullptr ? ::CreateIconIndirect(&info) : nullptr;
    ::DeleteObject(colour);
    if (mask != nullptr) {
        ::DeleteObject(mask);
    }
    return icon;
}

} // namespace

HICON BadgedIcon(HICON hIcon, std::optional<std::int32_t> lBadgeColor) {
    if (!lBadgeColor || hIcon == 0) {
        return hIcon;
    }
    static std::map<std::pair<HICON, std::int32_t>, HICON> made;
    const auto key = std::make_pair(hIcon, *lBadgeColor);
    if (const auto it = made.find(key); it != made.end()) {
        return it->second;
    }
    // Icon handles carry 32 significant bits, sign-extended.
    const auto icon =
        reinterpret_cast<::HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(hIcon)));
    ::ICONINFO info{};
    if (::GetIconInfo(icon, &info) == FALSE) {
        return hIcon;
    }
    ::BITMAP picture{};
    std::vector<std::uint32_t> pixels;
    ::HICON badged = nullptr;
    // A monochrome icon, or one that is not square, stays as it is.
    if (info.hbmColor != nullptr && ::GetObjectW(info.hbmColor, sizeof picture, &picture) != 0 &&
        picture.bmWidth == picture.bmHeight &&
        ReadPicture(info, picture.bmWidth, picture.bmHeight, pixels)) {
        const auto size = static_cast<std::size_t>(picture.bmWidth);
        DrawBadge(pixels, size, *lBadgeColor);
        badged = MakeIcon(pixels, size);
    }
    if (info.hbmColor != nullptr) {
        ::DeleteObject(info.hbmColor);
    }
    ::DeleteObject(info.hbmMask);
    if (badged == nullptr) {
        return hIcon;
    }
    const auto handle =
        static_cast<HICON>(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(badged)));
    made.emplace(key, handle);
    return handle;
}

} // namespace platform
