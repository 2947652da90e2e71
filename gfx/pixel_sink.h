// Where the starfield puts its pixels: a device context on Windows, a recorder in tests.
#pragma once

#include <cstdint>

namespace gfx {

// A colour as Windows packs it: red in the low byte, then green, then blue.
using ColorRef = uint32_t;

constexpr ColorRef MakeColorRef(int red, int green, int blue) {
    return static_cast<ColorRef>(red) | static_cast<ColorRef>(green) << 8 |
           static_cast<ColorRef>(blue) << 16;
}

class PixelSink {
  public:
    virtual ~PixelSink() = default;
    // Sets one pixel; coordinates outside the surface are ignored, and nothing is reported.
    virtual void SetPixel(int32_t x, int32_t y, ColorRef color) = 0;
};

}  // namespace gfx
