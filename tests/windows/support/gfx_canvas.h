// Helpers for drawing tests: GDI+ started for the test program, a memory device context whose
// pixels can be read back, small coloured PNG files, and the pixels of a loaded image.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/win/bitmap.h"

namespace gfx_test {

// Starts GDI+ for as long as it lives.
class GdiplusSession {
  public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

  private:
    ULONG_PTR token_ = 0;
};

// A memory device context over a 32-bit top-down DIB section.
class Canvas {
  public:
    Canvas(int width, int height, uint32_t rgb);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Fill(uint32_t rgb);
    // 0xRRGGBB of one pixel (the unused top byte cleared).
    uint32_t At(int x, int y) const;

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// Writes a PNG of `width` x `height` pixels given as 0xAARRGGBB, rows top to bottom, to a new
// file in the temporary folder, and returns its path. The file is deleted with the object.
class TempPng {
  public:
    TempPng(int width, int height, const std::vector<uint32_t>& argb);
    ~TempPng();
    TempPng(const TempPng&) = delete;
    TempPng& operator=(const TempPng&) = delete;
    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

// 0xAARRGGBB of one pixel of a loaded image.
uint32_t ImagePixel(const gfx::Bitmap& image, int x, int y);

}  // namespace gfx_test
