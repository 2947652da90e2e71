#include "framework/win/backing_image.h"

#include "framework/errors.h"

namespace fw {

BackingImage::BackingImage(int width, int height, COLORREF fill)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
    {
        WindowDc screen(nullptr);
        bitmap_.Reset(CreateCompatibleBitmap(screen.Get(), width_, height_));
    }
    if (!dc_.Get() || !bitmap_) Raise(ErrorCode::PlatformCallFailed, "backing image");
    original_ = SelectObject(dc_.Get(), bitmap_.Get());
    GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
    const RECT all{0, 0, width_, height_};
    FillRect(dc_.Get(), &all, brush.Get());
}

BackingImage::~BackingImage() {
    // The bitmap cannot be deleted while it is selected into the device context.
    if (original_) SelectObject(dc_.Get(), original_);
}

void BackingImage::CopyTo(HDC target, const RECT& area) const {
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_.Get(),
           area.left, area.top, SRCCOPY);
}

}  // namespace fw
