// Loading images from the program's own resources and from files, for real, through GDI+.
#include <gtest/gtest.h>

#include "gfx/win/bitmap.h"
#include "tests/windows/support/gfx_canvas.h"

namespace {

using gfx_test::ImagePixel;
using gfx_test::TempPng;

const gfx_test::GdiplusSession gdiplus;

TEST(Bitmap, LogoResourceIsFoundWhateverTheLetterCase) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"PNG", L"png"}, {L"PNG", L"PNG"}, {L"png", L"Png"}, {L"pNg", L"pnG"}};
    for (const auto& [type, name] : names) {
        gfx::Bitmap logo;
        logo.FromResource(type, name);
        EXPECT_NE(logo.Handle(), nullptr) << type << L"/" << name;
        EXPECT_EQ(logo.Width(), 227.0f);
        EXPECT_EQ(logo.Height(), 62.0f);
    }
}

TEST(Bitmap, LogoIsOpaqueWhiteOnFullyTransparent) {
    gfx::Bitmap logo;
    logo.FromResource(L"PNG", L"png");
    ASSERT_NE(logo.Handle(), nullptr);
    int white = 0, clear = 0;
    for (int y = 0; y < 62; ++y) {
        for (int x = 0; x < 227; ++x) {
            const uint32_t argb = ImagePixel(logo, x, y);
            if (argb == 0xFFFFFFFFu)
                ++white;
            else if ((argb >> 24) == 0)
                ++clear;
            else
                ADD_FAILURE() << "pixel " << x << ", " << y << " is " << std::hex << argb;
        }
    }
    EXPECT_GT(white, 1000);
    EXPECT_GT(clear, 1000);
}

TEST(Bitmap, MissingResourceEmptiesTheObjectWithoutErrorAndKeepsTheLastSize) {
    gfx::Bitmap image;
    image.FromResource(L"PNG", L"NOSUCHLOGO");
    EXPECT_EQ(image.Handle(), nullptr);
    EXPECT_EQ(image.Width(), 0.0f);

    image.FromResource(L"PNG", L"png");
    ASSERT_NE(image.Handle(), nullptr);
    image.FromResource(L"NOSUCHTYPE", L"png");
    EXPECT_EQ(image.Handle(), nullptr);
    EXPECT_EQ(image.Width(), 227.0f);
    EXPECT_EQ(image.Height(), 62.0f);

    // Bytes that are there but are no image: the manifest.
    image.FromResource(L"#24", L"#1");
    EXPECT_EQ(image.Handle(), nullptr);
    image.FromResource(L"png", L"png");
    EXPECT_NE(image.Handle(), nullptr);
}

TEST(Bitmap, FileLoadsReplaceEachOtherAndAFailedOneKeepsTheLastSize) {
    const TempPng small(3, 2,
                        {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80FFFFFFu, 0u, 0xFF000000u});
    gfx::Bitmap image;
    image.FromResource(L"PNG", L"PNG");
    image.FromFile(small.Path());
    ASSERT_NE(image.Handle(), nullptr);
    EXPECT_EQ(image.Width(), 3.0f);
    EXPECT_EQ(image.Height(), 2.0f);
    EXPECT_EQ(ImagePixel(image, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(ImagePixel(image, 2, 1), 0xFF000000u);

    image.FromFile(small.Path() + L".missing");
    EXPECT_EQ(image.Handle(), nullptr);
    EXPECT_EQ(image.Width(), 3.0f);
    EXPECT_EQ(image.Height(), 2.0f);
}

// Committed private memory of this process, walked page range by page range (works the same
// under Wine, whose process counters do not follow the heap).
SIZE_T PrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    }
    return total;
}

// The frame loop decodes the logo anew about every second frame for as long as the program runs:
// each reload, and each destruction, must give back the image, the stream and the bytes.
TEST(Bitmap, ReloadingAndDestroyingGiveEverythingBack) {
    const auto cycle = [] {
        gfx::Bitmap image;
        image.FromResource(L"PNG", L"png");
        image.FromResource(L"PNG", L"png");
    };
    for (int i = 0; i < 200; ++i) cycle();  // let the heaps settle
    const SIZE_T before = PrivateBytes();
    for (int i = 0; i < 3000; ++i) cycle();
    const SIZE_T after = PrivateBytes();
    EXPECT_LT(after, before + 256 * 1024) << before << " -> " << after;
}

}  // namespace
