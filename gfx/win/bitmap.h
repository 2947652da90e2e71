// One GDI+ image with everything it needs to stay valid: when decoded from one of the program's
// resources, the resource bytes and the stream the image reads them through.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

namespace gfx {

// Window thread only; GDI+ must have been started before a load. Loads report nothing: success
// shows only in Handle() being non-null afterwards.
class Bitmap {
  public:
    Bitmap() = default;
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    Gdiplus::GpImage* Handle() const { return image_; }
    // Size of the image in pixels as GDI+ reports it. A load that fails keeps the previous size
    // (0 before any image).
    float Width() const { return width_px_; }
    float Height() const { return height_px_; }

    // Replaces the image with the one decoded from a file; empty if that fails.
    void FromFile(const std::wstring& path);
    // Replaces the image with the one decoded from the program's resource of this type and name
    // (either may be "#<number>"; letter case does not matter). A missing, empty or undecodable
    // resource leaves the object empty, without error.
    void FromResource(const std::wstring& type, const std::wstring& name);

  private:
    void SetImage(Gdiplus::GpImage* image);
    void ClearImage();
    bool CopyResourceBytes(const std::wstring& type, const std::wstring& name);

    // Released in this order: the image may read from the stream, the stream reads the bytes.
    Gdiplus::GpImage* image_ = nullptr;
    IStream* stream_ = nullptr;
    HGLOBAL bytes_ = nullptr;
    float width_px_ = 0;
    float height_px_ = 0;
};

}  // namespace gfx
