// GDI+ flat-interface objects owned by unique_ptr, so that each is deleted exactly once and in
// reverse order of creation.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace gfx {

struct GraphicsDeleter {
    void operator()(Gdiplus::GpGraphics* g) const { Gdiplus::DllExports::GdipDeleteGraphics(g); }
};
struct ImageAttributesDeleter {
    void operator()(Gdiplus::GpImageAttributes* a) const {
        Gdiplus::DllExports::GdipDisposeImageAttributes(a);
    }
};
struct BrushDeleter {
    void operator()(Gdiplus::GpBrush* b) const { Gdiplus::DllExports::GdipDeleteBrush(b); }
};

using GraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;
using ImageAttributesPtr = std::unique_ptr<Gdiplus::GpImageAttributes, ImageAttributesDeleter>;
using BrushPtr = std::unique_ptr<Gdiplus::GpBrush, BrushDeleter>;

}  // namespace gfx
