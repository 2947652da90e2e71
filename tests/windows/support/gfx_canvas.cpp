#include "tests/windows/support/gfx_canvas.h"

#include <stdexcept>

namespace gfx_test {

using namespace Gdiplus::DllExports;

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok)
        throw std::runtime_error("GdiplusStartup failed");
}

GdiplusSession::~GdiplusSession() {
    Gdiplus::GdiplusShutdown(token_);
}

Canvas::Canvas(int width, int height, uint32_t rgb) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    dib_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc_ || !dib_) throw std::runtime_error("cannot make a memory canvas");
    bits_ = static_cast<uint32_t*>(bits);
    previous_ = SelectObject(dc_, dib_);
    Fill(rgb);
}

Canvas::~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(dib_);
    DeleteDC(dc_);
}

void Canvas::Fill(uint32_t rgb) {
    GdiFlush();
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = rgb;
}

uint32_t Canvas::At(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFFu;
}

namespace {

std::wstring NewTempPath() {
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"gfx", 0, file))
        throw std::runtime_error("no temporary file");
    return file;
}

// Class id of GDI+'s PNG encoder.
constexpr CLSID kPngEncoder = {
    0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

TempPng::TempPng(int width, int height, const std::vector<uint32_t>& argb) : path_(NewTempPath()) {
    std::vector<uint32_t> pixels(argb);
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok)
        throw std::runtime_error("cannot make a test image");
    const Gdiplus::GpStatus saved =
        GdipSaveImageToFile(bitmap, path_.c_str(), &kPngEncoder, nullptr);
    GdipDisposeImage(bitmap);
    if (saved != Gdiplus::Ok) throw std::runtime_error("cannot save a test image");
}

TempPng::~TempPng() {
    DeleteFileW(path_.c_str());
}

uint32_t ImagePixel(const gfx::Bitmap& image, int x, int y) {
    Gdiplus::ARGB argb = 0;
    GdipBitmapGetPixel(static_cast<Gdiplus::GpBitmap*>(image.Handle()), x, y, &argb);
    return argb;
}

}  // namespace gfx_test
