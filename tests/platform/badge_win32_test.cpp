// BadgedIcon with GDI, under Wine: at each size a tray asks for, the colour
// fills the badge's middle and the picture away from the badge stays; an
// icon without an alpha channel keeps the transparency of its mask.

#include "platform/gui/App.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <windows.h>

namespace {

::HICON Native(platform::HICON icon) {
    return reinterpret_cast<::HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}

platform::HICON Handle(::HICON icon) {
    return static_cast<platform::HICON>(
        static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(icon)));
}

// A square icon of one colour (0xAARRGGBB), opaque or, with no alpha, as an
// icon of Windows' older kind: the mask says which pixels show.
platform::HICON SolidIcon(int size, std::uint32_t argb) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = size;
    header.bV5Height = -size;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    const auto count = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    std::fill_n(static_cast<std::uint32_t*>(bits), count, argb);
    const std::vector<std::uint8_t> clear(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, clear.data());
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return Handle(icon);
}

// One pixel of an icon's picture, as 0xAARRGGBB.
std::uint32_t PixelOf(platform::HICON icon, int x, int y) {
    ICONINFO info{};
    if (GetIconInfo(Native(icon), &info) == FALSE) {
        return 0xDEADBEEF;
    }
    BITMAP picture{};
    GetObjectA(info.hbmColor, sizeof picture, &picture);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = picture.bmWidth;
    format.bmiHeader.biHeight = -picture.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(picture.bmWidth) *
                                      static_cast<std::size_t>(picture.bmHeight));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(picture.bmHeight), pixels.data(), &format,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return pixels.at(static_cast<std::size_t>(y * picture.bmWidth + x));
}

TEST(WindowsBadge, TheColourFillsTheBadgeAndThePictureStays) {
    for (const int size : {16, 20, 24, 32}) {
        SCOPED_TRACE(size);
        const platform::HICON blue = SolidIcon(size, 0xFF0000FF);
        const platform::HICON red = platform::BadgedIcon(blue, 255);
        ASSERT_NE(red, blue);
        EXPECT_EQ(platform::BadgedIcon(blue, 255), red);
        const int middle = size - (size + 2) / 4;
        EXPECT_EQ(PixelOf(red, middle, middle), 0xFFFF0000u);
        EXPECT_EQ(PixelOf(red, size / 4, size / 4), 0xFF0000FFu);
        // The ring around the badge, left of its middle, is cut out of the
        // picture (all but the edge's smoothing).
        EXPECT_LT(PixelOf(red, size / 2 - 1, size - size / 4) >> 24, 0x40u);
    }
    // Without alpha the mask decides: here every pixel shows.
    const platform::HICON old = SolidIcon(16, 0x000000FF);
    EXPECT_EQ(PixelOf(platform::BadgedIcon(old, 65280), 2, 2), 0xFF0000FFu);
    EXPECT_EQ(PixelOf(platform::BadgedIcon(old, 65280), 12, 12), 0xFF00FF00u);

    EXPECT_EQ(platform::BadgedIcon(old, std::nullopt), old);
    EXPECT_EQ(platform::BadgedIcon(0, 255), 0u);
}

} // namespace
