// The frame loop for real (GDI, GDI+, the logo resource, the tick count) on a stage that draws
// into a memory device context and ends the loop after a number of frames.
//
// The loop never returns: the program ends inside the event pump. So the loop runs on a thread
// of its own, which the stage ends from inside the pump after its last frame, as the program ends
// its process there. Nothing is unwound: the program's code is built without exceptions (and,
// for 32 bits, without unwind tables), so an exception thrown through it cannot be caught.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/random_draws.h"
#include "gfx/win/bitmap.h"
#include "gfx/win/starfield.h"
#include "tests/windows/support/gfx_canvas.h"

namespace {

using gfx_test::Canvas;
using gfx_test::ImagePixel;

const gfx_test::GdiplusSession gdiplus;

// Picture1 at 96 dots per inch: 318 x 95 inside a one-pixel border.
class MemoryStage final : public gfx::StarfieldStage {
  public:
    explicit MemoryStage(int frames) : frames_(frames) {}

    void ShowModeless() override { log += 'S'; }
    void DoEvents() override {
        log += 'E';
        if (refreshes == static_cast<size_t>(frames_)) ExitThread(0);
    }
    int ScaleWidth() override { return canvas.Width(); }
    int ScaleHeight() override { return canvas.Height(); }
    int OuterWidth() override { return canvas.Width() + 2; }
    int OuterHeight() override { return canvas.Height() + 2; }
    HDC Dc() override {
        // A frame's first use of the stage follows its tick-count read at once.
        if (frameTicks.size() == refreshes) frameTicks.push_back(GetTickCount());
        return canvas.Dc();
    }
    void Refresh() override {
        log += 'R';
        ++refreshes;
    }

    Canvas canvas{318, 95, 0};
    std::string log;
    std::vector<DWORD> frameTicks;
    size_t refreshes = 0;

  private:
    int frames_;
};

struct LoopRun {
    MemoryStage& stage;
    gfx::RandomDraws& draws;
};

DWORD WINAPI RunLoop(void* param) {
    auto* run = static_cast<LoopRun*>(param);
    gfx::InitStarfield(run->stage, run->draws);
}

// Runs the loop until the stage ends it; fails the test if its thread ends any other way.
void RunFrames(MemoryStage& stage, gfx::RandomDraws& draws) {
    LoopRun run{stage, draws};
    HANDLE thread = CreateThread(nullptr, 0, RunLoop, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // A generous bound: only a loop that never reaches its last frame comes near it.
    const DWORD waited = WaitForSingleObject(thread, 120000);
    if (waited != WAIT_OBJECT_0) {
        // The stage lives on the caller's stack: the loop must not go on drawing into it.
        TerminateThread(thread, 2);
        WaitForSingleObject(thread, INFINITE);
    }
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the frame loop did not reach frame " << stage.refreshes;
    ASSERT_EQ(code, 0u);
}

void RunFrames(MemoryStage& stage) {
    gfx::ProgramDraws draws;
    ASSERT_NO_FATAL_FAILURE(RunFrames(stage, draws));
}

// Draws that write into the stage's log ('N' a new seed, 'd' a draw), so that the order of draws
// shows among the show, the pumps and the refreshes. The first values come from `script`, every
// later one is `rest`.
class LoggedDraws final : public gfx::RandomDraws {
  public:
    LoggedDraws(std::string& log, std::vector<float> script, float rest)
        : log_(log), script_(std::move(script)), rest_(rest) {}
    float Draw() override {
        log_ += 'd';
        return next_ < script_.size() ? script_[next_++] : rest_;
    }
    void Reseed() override { log_ += 'N'; }

  private:
    std::string& log_;
    std::vector<float> script_;
    size_t next_ = 0;
    float rest_;
};

TEST(StarfieldLoop, ShowsThenPumpsThenPumpsAtLeastOnceBetweenFramesOfMoreThanFiveTicks) {
    MemoryStage stage(40);
    ASSERT_NO_FATAL_FAILURE(RunFrames(stage));
    ASSERT_EQ(stage.refreshes, 40u);
    ASSERT_EQ(stage.frameTicks.size(), 40u);
    EXPECT_EQ(stage.log.substr(0, 3), "SER");
    size_t at = 2;
    for (int frame = 1; frame < 40; ++frame) {
        const size_t next = stage.log.find('R', at + 1);
        ASSERT_NE(next, std::string::npos);
        EXPECT_GE(next - at, 2u) << "no pump before frame " << frame;
        at = next;
    }
    // Each frame starts more than 5 ticks after the one before; allow two ticks between the
    // first frame's tick-count read and its first drawing.
    EXPECT_GE(stage.frameTicks[39] - stage.frameTicks[0], 39u * 6u - 2u);
}

TEST(StarfieldLoop, StarsFlyUnderTheLogoDrawnOverThemEveryFrame) {
    gfx::Bitmap logo;
    logo.FromResource(L"PNG", L"PNG");
    ASSERT_NE(logo.Handle(), nullptr);
    MemoryStage stage(80);
    ASSERT_NO_FATAL_FAILURE(RunFrames(stage));

    int stars = 0, logoMisses = 0;
    for (int y = 0; y < 95; ++y) {
        for (int x = 0; x < 318; ++x) {
            const uint32_t rgb = stage.canvas.At(x, y);
            // Outer size 320 x 97: the logo is centred on (160, 48), from (46, 17).
            const bool inLogo = x >= 46 && x <= 272 && y >= 17 && y <= 78;
            if (inLogo && ImagePixel(logo, x - 46, y - 17) == 0xFFFFFFFFu) {
                logoMisses += rgb != 0xFFFFFFu;
            } else if (rgb != 0) {
                ++stars;
                // A star's channels differ by one at most: it goes from black to white.
                const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
                EXPECT_LE(std::max({r, g, b}) - std::min({r, g, b}), 1) << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(logoMisses, 0);
    EXPECT_GT(stars, 20);  // dim ones still black after 80 frames are not counted
    EXPECT_LE(stars, 400);
}

TEST(StarfieldLoop, DrawsComeInTheDesignedOrderFromSeedingToAFrameThatReseedsEveryStar) {
    // Every star alike: start radius 0.9375 * 212 / 5 = 39.75 and jitter a = 0.9375, b = 0 for a
    // speed of 1.009375, so all 400 pass the maximum radius together, in the 165th frame. Every
    // later draw is 0.25: the reseeded stars start at 10.6, and each frame reloads the logo.
    std::vector<float> seeding;
    for (int star = 0; star < 400; ++star) {
        seeding.insert(seeding.end(), {0.0f, 0.0f, 0.0f, 0.5f, 0.9375f, 0.9375f, 0.0f});
    }
    MemoryStage stage(180);
    LoggedDraws draws(stage.log, seeding, 0.25f);
    ASSERT_NO_FATAL_FAILURE(RunFrames(stage, draws));
    ASSERT_EQ(stage.refreshes, 180u);

    // Show, pump, reseed, then the 400 stars seeded with jitter: seven draws each.
    const std::string start = "SEN" + std::string(2800, 'd');
    ASSERT_EQ(stage.log.substr(0, start.size()), start);
    // Each frame: the stars (a reseeded star takes five draws), then a new seed, the opacity and
    // the reload draw, then the refresh, then at least one pump.
    std::string frames = stage.log.substr(start.size());
    int reseedFrame = -1;
    for (int frame = 0; frame < 180; ++frame) {
        std::string stars;
        while (!frames.empty() && frames[0] == 'd') {
            stars += 'd';
            frames.erase(0, 1);
        }
        if (!stars.empty()) {
            EXPECT_EQ(reseedFrame, -1) << "second reseeding in frame " << frame;
            EXPECT_EQ(stars.size(), 400u * 5u) << frame;
            reseedFrame = frame;
        }
        ASSERT_EQ(frames.substr(0, 5), "NddRE") << "frame " << frame;
        const size_t next = frames.find_first_not_of('E', 4);
        frames.erase(0, next == std::string::npos ? frames.size() : next);
    }
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(reseedFrame, 164);
}

}  // namespace
