#include "framework/win/font.h"

#include "framework/errors.h"
#include "framework/rounding.h"
#include "framework/win/twips.h"

namespace fw {

Font::Font(const std::wstring& face, double points, int weight, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = -RoundToInt32(points * ScreenDpiY() / 72.0);
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    font_.Reset(CreateFontIndirectW(&lf));
    if (!font_) Raise(ErrorCode::PlatformCallFailed, "CreateFontIndirect");
}

}  // namespace fw
