#include "gfx/win/starfield.h"

#include <memory>
#include <optional>

#include "gfx/frame_pacing.h"
#include "gfx/logo_frame.h"
#include "gfx/random_draws.h"
#include "gfx/starfield.h"
#include "gfx/win/bitmap.h"
#include "gfx/win/modimage.h"

namespace gfx {

namespace {

class DcPixels final : public PixelSink {
  public:
    explicit DcPixels(HDC dc) : dc_(dc) {}
    void SetPixel(int32_t x, int32_t y, ColorRef color) override { SetPixelV(dc_, x, y, color); }

  private:
    HDC dc_;
};

// The stars live as long as the program. On the heap: 10000 records are too many for the
// stack, and as a static object the compiler stores their 360 KB of zeros in the executable.
Starfield& Stars() {
    static const std::unique_ptr<Starfield> field = std::make_unique<Starfield>();
    return *field;
}

// Serves the window's events until the frame has lasted more than 5 ms of tick count. Between
// pumps the thread sleeps until a message arrives or the frame is due, instead of spinning.
void Pace(StarfieldStage& stage, uint32_t frameStart_ms) {
    for (;;) {
        stage.DoEvents();
        const uint32_t now_ms = GetTickCount();
        if (FrameOver(frameStart_ms, now_ms)) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, FrameRemaining_ms(frameStart_ms, now_ms),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

[[noreturn]] void AnimateStarfield(StarfieldStage& stage, Starfield& field, RandomDraws& draws) {
    std::optional<Bitmap> logo;
    for (;;) {
        const uint32_t frameStart_ms = GetTickCount();
        DcPixels pixels(stage.Dc());
        field.DrawStars(pixels, draws);
        const LogoFrame frame = NextLogoFrame(draws, stage.OuterWidth(), stage.OuterHeight());
        if (!logo) logo.emplace();
        if (frame.reload) logo->FromResource(L"PNG", L"png");
        DrawImage(*logo, stage.Dc(), frame.x, frame.y, std::nullopt, std::nullopt, frame.opacity,
                  0.0f);
        stage.Refresh();
        Pace(stage, frameStart_ms);
    }
}

}  // namespace

void InitStarfield(StarfieldStage& stage, RandomDraws& draws) {
    stage.ShowModeless();
    stage.DoEvents();
    draws.Reseed();
    Starfield& field = Stars();
    field.SetGeometry(stage.ScaleWidth(), stage.ScaleHeight());
    field.SeedStars(draws);
    AnimateStarfield(stage, field, draws);
}

}  // namespace gfx
