// Drawing images into a memory device context through GDI+, read back pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "framework/errors.h"
#include "gfx/win/bitmap.h"
#include "gfx/win/modimage.h"
#include "tests/native/support/raised_errors.h"
#include "tests/windows/support/gfx_canvas.h"

namespace {

using gfx_test::Canvas;
using gfx_test::ImagePixel;
using gfx_test::TempPng;

const gfx_test::GdiplusSession gdiplus;

constexpr uint32_t kBackground = 0x306090;  // a colour no test image uses
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;

// What a fully opaque or fully transparent image pixel leaves on the background.
uint32_t Shown(uint32_t argb) {
    return (argb >> 24) ? argb & 0xFFFFFFu : kBackground;
}

// Checks every pixel of the canvas: `expected` gives the colour at (x, y).
void ExpectCanvas(const Canvas& canvas, const std::function<uint32_t(int, int)>& expected) {
    int wrong = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const uint32_t want = expected(x, y), got = canvas.At(x, y);
            if (got != want && ++wrong <= 5)
                ADD_FAILURE() << "at " << x << ", " << y << ": " << std::hex << got << " not "
                              << want;
        }
    }
    EXPECT_EQ(wrong, 0);
}

bool Near(uint32_t rgb, uint32_t want, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>(rgb >> shift & 0xFF),
                  b = static_cast<int>(want >> shift & 0xFF);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

// Pixels of the canvas that are no longer the background.
int DrawnPixels(const Canvas& canvas) {
    int drawn = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) drawn += canvas.At(x, y) != kBackground;
    }
    return drawn;
}

class ModImage : public ::testing::Test {
  protected:
    void SetUp() override {
        logo.FromResource(L"PNG", L"png");
        ASSERT_NE(logo.Handle(), nullptr);
    }
    gfx::Bitmap logo;
    Canvas canvas{320, 97, kBackground};
};

TEST_F(ModImage, LogoCentredOnTheBoxCoversExactlyItsRectangleWhateverTheOpacity) {
    for (float opacity : {1.0f, 0.37f, 0.0f}) {
        canvas.Fill(kBackground);
        gfx::DrawImage(logo, canvas.Dc(), 160, 48, std::nullopt, std::nullopt, opacity, 0.0f);
        // Left 160 - 113.5 = 46.5 goes to the even 46; top 48 - 31 = 17.
        ExpectCanvas(canvas, [&](int x, int y) {
            const bool inside = x >= 46 && x <= 272 && y >= 17 && y <= 78;
            return inside ? Shown(ImagePixel(logo, x - 46, y - 17)) : kBackground;
        });
    }
    // The logo's rules run along its top and bottom edges: the corners are drawn.
    EXPECT_EQ(canvas.At(46, 17), 0xFFFFFFu);
    EXPECT_EQ(canvas.At(272, 78), 0xFFFFFFu);
}

TEST_F(ModImage, GivenWidthAndHeightCropFromTheTopLeftWithoutScaling) {
    gfx::DrawImage(logo, canvas.Dc(), 160, 48, 100.0, std::nullopt, 1.0f, 0.0f);
    ExpectCanvas(canvas, [&](int x, int y) {
        const bool inside = x >= 110 && x <= 209 && y >= 17 && y <= 78;
        return inside ? Shown(ImagePixel(logo, x - 110, y - 17)) : kBackground;
    });
    canvas.Fill(kBackground);
    // Top 48 - 15.5 = 32.5 goes to the even 32.
    gfx::DrawImage(logo, canvas.Dc(), 160, 48, 100.0, 31.0, 1.0f, 0.0f);
    ExpectCanvas(canvas, [&](int x, int y) {
        const bool inside = x >= 110 && x <= 209 && y >= 32 && y <= 62;
        return inside ? Shown(ImagePixel(logo, x - 110, y - 32)) : kBackground;
    });
}

TEST_F(ModImage, OpacityActsOnColouredPixelsAndLeavesGreysAlone) {
    const uint32_t row[] = {0xFFFFFFFFu, 0xFF808080u, 0xFF000000u, kRed, 0xFF20C040u};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 4; ++y)
        for (uint32_t p : row)
            for (int i = 0; i < 4; ++i) pixels.push_back(p);
    const TempPng file(20, 4, pixels);
    gfx::Bitmap image;
    image.FromFile(file.Path());
    ASSERT_NE(image.Handle(), nullptr);
    const auto colourAt = [&](int column) { return canvas.At(10 + column * 4 + 1, 11); };

    gfx::DrawImage(image, canvas.Dc(), 20, 12, std::nullopt, std::nullopt, 0.0f, 0.0f);
    EXPECT_EQ(colourAt(0), 0xFFFFFFu);
    EXPECT_EQ(colourAt(1), 0x808080u);
    EXPECT_EQ(colourAt(2), 0x000000u);
    EXPECT_EQ(colourAt(3), kBackground);
    EXPECT_EQ(colourAt(4), kBackground);

    canvas.Fill(kBackground);
    gfx::DrawImage(image, canvas.Dc(), 20, 12, std::nullopt, std::nullopt, 1.0f, 0.0f);
    EXPECT_EQ(colourAt(3), 0xFF0000u);
    EXPECT_EQ(colourAt(4), 0x20C040u);

    canvas.Fill(kBackground);
    gfx::DrawImage(image, canvas.Dc(), 20, 12, std::nullopt, std::nullopt, 0.5f, 0.0f);
    EXPECT_TRUE(Near(colourAt(3), 0x983048, 3)) << std::hex << colourAt(3);
    EXPECT_EQ(colourAt(1), 0x808080u);
}

TEST_F(ModImage, NonZeroAngleTurnsTheImageClockwiseAboutTheCentre) {
    // Left half red, right half blue, 20 x 10.
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) pixels.push_back(x < 10 ? kRed : kBlue);
    const TempPng file(20, 10, pixels);
    gfx::Bitmap image;
    image.FromFile(file.Path());
    ASSERT_NE(image.Handle(), nullptr);

    gfx::DrawImage(image, canvas.Dc(), 50, 50, std::nullopt, std::nullopt, 1.0f, 0.0f);
    EXPECT_EQ(canvas.At(43, 50), 0xFF0000u);
    EXPECT_EQ(canvas.At(57, 50), 0x0000FFu);
    EXPECT_EQ(canvas.At(50, 43), kBackground);

    canvas.Fill(kBackground);
    gfx::DrawImage(image, canvas.Dc(), 50, 50, std::nullopt, std::nullopt, 1.0f, 180.0f);
    EXPECT_EQ(canvas.At(43, 50), 0x0000FFu);
    EXPECT_EQ(canvas.At(57, 50), 0xFF0000u);
    EXPECT_EQ(canvas.At(50, 43), kBackground);

    canvas.Fill(kBackground);
    gfx::DrawImage(image, canvas.Dc(), 50, 50, std::nullopt, std::nullopt, 1.0f, 90.0f);
    EXPECT_EQ(canvas.At(50, 43), 0xFF0000u);  // the left end now points up
    EXPECT_EQ(canvas.At(50, 57), 0x0000FFu);
    EXPECT_EQ(canvas.At(43, 50), kBackground);
}

TEST_F(ModImage, EmptyImageOrUnusableDeviceContextDrawsNothingAndRaisesNothing) {
    gfx::Bitmap empty;
    gfx::DrawImage(empty, canvas.Dc(), 160, 48, std::nullopt, std::nullopt, 1.0f, 0.0f);
    gfx::DrawImage(empty, canvas.Dc(), 160, 48, std::nullopt, std::nullopt, 1.0f, 45.0f);
    gfx::DrawImage(logo, nullptr, 160, 48, std::nullopt, std::nullopt, 1.0f, 0.0f);
    gfx::FillTexture(logo, nullptr, 0, 0, 10, 10, 0);
    gfx::FillTexture(empty, canvas.Dc(), 0, 0, 320, 97, 0);
    ExpectCanvas(canvas, [](int, int) { return kBackground; });
}

TEST_F(ModImage, RectangleBeyondThirtyTwoBitsIsAnOverflowError) {
    // Raised before anything is drawn.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        testing_support::RaiseIn(
            [&] { gfx::DrawImage(logo, canvas.Dc(), 160, 48, 1e10, std::nullopt, 1.0f, 0.0f); },
            [&] { return std::to_string(DrawnPixels(canvas)) + " pixels drawn"; }),
        testing_support::EndedByError(),
        testing_support::RaisedPattern(fw::ErrorCode::Overflow, "", "0 pixels drawn"));
}

TEST_F(ModImage, FillTextureTilesTheImageOverTheRectangleOnly) {
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 16; ++i)
        pixels.push_back(0xFF000000u | static_cast<uint32_t>(i * 0x0F0A05));
    const TempPng file(4, 4, pixels);
    gfx::Bitmap image;
    image.FromFile(file.Path());
    ASSERT_NE(image.Handle(), nullptr);
    gfx::FillTexture(image, canvas.Dc(), 10, 5, 21, 13, 0 /* WrapModeTile */);
    ExpectCanvas(canvas, [&](int x, int y) {
        const bool inside = x >= 10 && x < 31 && y >= 5 && y < 18;
        return inside ? pixels[static_cast<size_t>((y % 4) * 4 + x % 4)] & 0xFFFFFFu : kBackground;
    });
}

}  // namespace
