// The persistent image behind a picture box: a memory bitmap of the box's inner size that all
// drawing goes into and that painting copies to the screen.
#pragma once

#include <windows.h>

#include "framework/win/gdi.h"

namespace fw {

class BackingImage {
  public:
    // A bitmap of `width` x `height` pixels in the screen's format, filled with `fill`.
    // Raises PlatformCallFailed on failure. Window thread.
    BackingImage(int width, int height, COLORREF fill);
    BackingImage(const BackingImage&) = delete;
    BackingImage& operator=(const BackingImage&) = delete;
    ~BackingImage();

    // Device context with the bitmap selected; valid as long as this object.
    HDC Dc() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Copies `area` (pixels, same place in both) to `target`.
    void CopyTo(HDC target, const RECT& area) const;

  private:
    MemoryDc dc_;
    GdiObject<HBITMAP> bitmap_;
    HGDIOBJ original_ = nullptr;
    int width_;
    int height_;
};

}  // namespace fw
