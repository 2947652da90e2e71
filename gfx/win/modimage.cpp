#include "gfx/win/modimage.h"

#include "framework/rounding.h"
#include "gfx/win/gdiplus_objects.h"

namespace gfx {

using namespace Gdiplus::DllExports;

namespace {

GraphicsPtr GraphicsOn(HDC hdc) {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(hdc, &graphics) != Gdiplus::Ok) return nullptr;
    return GraphicsPtr(graphics);
}

// Alpha scaled by `opacity`, colours unchanged. Grey pixels skip the matrix altogether, so a
// white logo keeps full strength whatever the opacity.
ImageAttributesPtr OpacityAttributes(float opacity) {
    Gdiplus::GpImageAttributes* raw = nullptr;
    GdipCreateImageAttributes(&raw);
    ImageAttributesPtr attributes(raw);
    Gdiplus::ColorMatrix matrix{};
    matrix.m[0][0] = 1.0f;
    matrix.m[1][1] = 1.0f;
    matrix.m[2][2] = 1.0f;
    matrix.m[3][3] = opacity;
    matrix.m[4][4] = 1.0f;
    constexpr BOOL kEnable = -1;
    GdipSetImageAttributesColorMatrix(attributes.get(), Gdiplus::ColorAdjustTypeBitmap, kEnable,
                                      &matrix, &matrix, Gdiplus::ColorMatrixFlagsSkipGrays);
    return attributes;
}

}  // namespace

void DrawImage(const Bitmap& image, HDC hdc, int32_t x, int32_t y, std::optional<double> width_px,
               std::optional<double> height_px, float opacity, float angle_deg) {
    const GraphicsPtr graphics = GraphicsOn(hdc);
    if (!graphics) return;
    const ImageAttributesPtr attributes = OpacityAttributes(opacity);
    const double width = width_px.value_or(image.Width());
    const double height = height_px.value_or(image.Height());
    Gdiplus::GpPointF centre{static_cast<float>(x), static_cast<float>(y)};
    if (angle_deg != 0.0f) {
        // Drawn around the centre as seen from the rotated world, the image turns about (x, y).
        GdipRotateWorldTransform(graphics.get(), angle_deg, Gdiplus::MatrixOrderPrepend);
        GdipTransformPoints(graphics.get(), Gdiplus::CoordinateSpaceWorld,
                            Gdiplus::CoordinateSpaceDevice, &centre, 1);
    }
    const int32_t left = fw::RoundToInt32(centre.X - 0.5 * width);
    const int32_t top = fw::RoundToInt32(centre.Y - 0.5 * height);
    const int32_t drawnWidth = fw::RoundToInt32(width);
    const int32_t drawnHeight = fw::RoundToInt32(height);
    // Source and destination of one size: a smaller region crops, it never scales.
    GdipDrawImageRectRectI(graphics.get(), image.Handle(), left, top, drawnWidth, drawnHeight, 0, 0,
                           drawnWidth, drawnHeight, Gdiplus::UnitPixel, attributes.get(), nullptr,
                           nullptr);
}

void FillTexture(const Bitmap& image, HDC hdc, int32_t x, int32_t y, int32_t width_px,
                 int32_t height_px, int32_t wrapMode) {
    const GraphicsPtr graphics = GraphicsOn(hdc);
    if (!graphics) return;
    Gdiplus::GpTexture* texture = nullptr;
    GdipCreateTexture(image.Handle(), static_cast<Gdiplus::GpWrapMode>(wrapMode), &texture);
    const BrushPtr brush(texture);
    GdipFillRectangleI(graphics.get(), brush.get(), x, y, width_px, height_px);
}

}  // namespace gfx
