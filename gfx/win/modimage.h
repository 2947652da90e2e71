// Drawing a Bitmap into a device context through GDI+: centred with opacity and rotation, or as
// a tiling brush. Each call creates and deletes its own GDI+ objects. Window thread only; GDI+
// must have been started.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "gfx/win/bitmap.h"

namespace gfx {

// Draws `image` centred on (x, y), device pixels, one image pixel per device pixel. A width or
// height that is given selects that much of the image from its top-left corner instead of
// scaling. `opacity` scales the alpha of coloured pixels only; grey ones (white, black) are drawn
// as they are. A non-zero `angle` rotates the image about (x, y), degrees clockwise. Draws
// nothing if no graphics object can be made on `hdc` or the image is empty; raises Overflow
// when the rectangle leaves 32 bits.
void DrawImage(const Bitmap& image, HDC hdc, int32_t x, int32_t y, std::optional<double> width_px,
               std::optional<double> height_px, float opacity, float angle_deg);

// Fills the rectangle (device pixels) with `image` as a brush tiled with the GDI+ wrap mode
// `wrapMode`. Failures are silent.
void FillTexture(const Bitmap& image, HDC hdc, int32_t x, int32_t y, int32_t width_px,
                 int32_t height_px, int32_t wrapMode);

}  // namespace gfx
