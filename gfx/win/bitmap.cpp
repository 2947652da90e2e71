#include "gfx/win/bitmap.h"

#include <cstring>

namespace gfx {

using namespace Gdiplus::DllExports;

Bitmap::~Bitmap() {
    ClearImage();
}

void Bitmap::SetImage(Gdiplus::GpImage* image) {
    image_ = image;
    Gdiplus::REAL width = 0, height = 0;
    if (GdipGetImageDimension(image, &width, &height) == Gdiplus::Ok) {
        width_px_ = width;
        height_px_ = height;
    }
}

// Both loads clear unconditionally, not only when an image is held: a resource that failed to
// decode leaves its stream and bytes behind, and they must go before anything new is read.
void Bitmap::ClearImage() {
    if (image_) {
        GdipDisposeImage(image_);
        image_ = nullptr;
    }
    if (stream_) {
        stream_->Release();
        stream_ = nullptr;
    }
    if (bytes_) {
        GlobalFree(bytes_);
        bytes_ = nullptr;
    }
}

void Bitmap::FromFile(const std::wstring& path) {
    ClearImage();
    Gdiplus::GpImage* image = nullptr;
    GdipLoadImageFromFile(path.c_str(), &image);
    SetImage(image);
}

bool Bitmap::CopyResourceBytes(const std::wstring& type, const std::wstring& name) {
    const HMODULE self = GetModuleHandleW(nullptr);
    const HRSRC info = FindResourceW(self, name.c_str(), type.c_str());
    if (!info) return false;
    const DWORD size = SizeofResource(self, info);
    const HGLOBAL loaded = LoadResource(self, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return false;
    // A block of our own that the stream can read in place: resource memory is not an HGLOBAL.
    bytes_ = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = bytes_ ? GlobalLock(bytes_) : nullptr;
    if (!target) {
        if (bytes_) bytes_ = GlobalFree(bytes_);
        return false;
    }
    std::memcpy(target, data, size);
    GlobalUnlock(bytes_);
    return true;
}

void Bitmap::FromResource(const std::wstring& type, const std::wstring& name) {
    ClearImage();
    if (!CopyResourceBytes(type, name)) return;
    // The stream neither copies nor owns the bytes; ClearImage frees them after the stream.
    if (CreateStreamOnHGlobal(bytes_, FALSE, &stream_) != S_OK) stream_ = nullptr;
    Gdiplus::GpImage* image = nullptr;
    if (stream_) GdipLoadImageFromStream(stream_, &image);
    SetImage(image);
}

}  // namespace gfx
