// One frame of the starfield: erase and draw order, motion, reseeding, brightness and colour, and
// the per-frame logo decisions and pacing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "framework/errors.h"
#include "gfx/frame_pacing.h"
#include "gfx/logo_frame.h"
#include "gfx/starfield.h"
#include "tests/native/starfield_script.h"
#include "tests/native/support/raised_errors.h"

namespace {

using gfx_test::Pixel;
using gfx_test::PixelRecorder;
using gfx_test::ScriptedDraws;

constexpr gfx::ColorRef kWhite = 0xFFFFFF;

// A 318 x 95 box whose stars all sit still at the centre (radius 0), so that a test can set up
// the few stars it looks at and read their two pixels from the frame.
std::unique_ptr<gfx::Starfield> StillField() {
    auto field = std::make_unique<gfx::Starfield>();
    field->SetGeometry(318, 95);
    return field;
}

gfx::Star& PlaceStar(gfx::Starfield& field, int32_t index, float radius, float speed,
                     float angle = 0.0f, float startRadius = 0.0f) {
    gfx::Star& star = field.StarAt(index);
    star.Radius = radius;
    star.Speed = speed;
    star.Angle = angle;
    star.StartRadius = startRadius;
    return star;
}

TEST(StarfieldFrame, FirstFrameErasesTheOriginThenDrawsEachStarInIndexOrder) {
    auto field = StillField();
    std::vector<float> script;
    for (int i = 0; i < 400; ++i) {
        // Angles spread over the turn, start radii from 0 to almost 42.4, no jitter.
        const float spread = static_cast<float>(i) / 400.0f;
        script.insert(script.end(), {0.0f, 0.0f, 0.0f, spread, spread, 0.25f, 0.25f});
    }
    ScriptedDraws seeding(script);
    field->SeedStars(seeding);
    PixelRecorder recorder;
    ScriptedDraws none({});
    field->DrawStars(recorder, none);

    ASSERT_EQ(recorder.pixels.size(), 800u);
    EXPECT_EQ(none.draws, 0);
    for (int32_t i = 0; i < 400; ++i) {
        const gfx::Star& star = field->StarAt(i);
        EXPECT_EQ(recorder.pixels[2 * i], (Pixel{0, 0, 0})) << i;
        // Speed 1 exactly, so the radius is still the start radius: black, at the star's place.
        const double angle = star.Angle;
        const Pixel drawn{static_cast<int32_t>(std::nearbyint(star.Radius * std::cos(angle))) + 159,
                          static_cast<int32_t>(std::nearbyint(star.Radius * std::sin(angle))) + 48,
                          0};
        EXPECT_EQ(recorder.pixels[2 * i + 1], drawn) << i;
        EXPECT_EQ(star.X, drawn.x);
        EXPECT_EQ(star.Y, drawn.y);
    }
}

TEST(StarfieldFrame, StarMovesAcceleratesTurnsAndErasesWhereItWas) {
    auto field = StillField();
    gfx::Star& star = PlaceStar(*field, 0, 20.0f, 1.5f, 0.0f, 20.0f);
    star.X = 100;
    star.Y = 30;
    PixelRecorder recorder;
    ScriptedDraws none({});
    field->DrawStars(recorder, none);
    EXPECT_EQ(star.Radius, 30.0f);
    EXPECT_EQ(star.Speed, 1.5f * 1.00001f);
    EXPECT_EQ(star.Angle, 1e-6f);
    // 10 pixels out at 768/212 levels per pixel: level 36.
    EXPECT_EQ(recorder.pixels[0], (Pixel{100, 30, 0}));
    EXPECT_EQ(recorder.pixels[1], (Pixel{189, 48, gfx::MakeColorRef(36, 36, 36)}));
}

TEST(StarfieldFrame, MotionIsKeptInSinglesAndThePixelIsPlacedInDoublePrecision) {
    // Each case sits next to a rounding boundary, where a wrong constant or a wrong precision
    // lands one unit in the last place (or one pixel) away. An angle of -1e-6 turns to exactly 0.
    constexpr float kToZero = -gfx::kAngleStep_rad;
    struct Case {
        const char* what;
        float radius, speed, angle;
        float newRadius, newSpeed, newAngle;
        int32_t x, y;
    };
    const Case cases[] = {
        // 1.04296875 * 1.00001 in double precision would give 0x1.0b00aep+0.
        {"acceleration is the single nearest 1.00001", 1.0f, 1.04296875f, kToZero, 1.04296875f,
         0x1.0b00b0p+0f, 0.0f, 160, 48},
        // Adding 1e-6 in double precision would give 0x1.8637bep-19.
        {"angle step is the single nearest 1e-6", 0.0f, 1.0f, 0x1p-19f, 0.0f, gfx::kAcceleration,
         0x1.8637bcp-19f, 159, 48},
        // The product is 0.5 - 2^-35, stored as 0.5: 159.5 goes to the even 160; the unrounded
        // product would give 159.
        {"radius is stored as a single", 0x1.00008p-1f, 0x1.ffffp-1f, kToZero, 0.5f, 0x1.000028p+0f,
         0.0f, 160, 48},
        // 159.49999997 gives 159; summed in single precision it would be 159.5 and give 160.
        {"x is placed in double precision", 0x1.fffffep-2f, 1.0f, kToZero, 0x1.fffffep-2f,
         gfx::kAcceleration, 0.0f, 159, 48},
        // At a quarter turn 48 + 1.49999988 gives 49; in single precision 49.5 would give 50.
        {"y is placed in double precision", 0x1.7ffffep+0f, 1.0f, 0x1.921fa6p+0f, 0x1.7ffffep+0f,
         gfx::kAcceleration, 0x1.921fb6p+0f, 159, 49},
    };
    for (const Case& c : cases) {
        auto field = StillField();
        gfx::Star& star = PlaceStar(*field, 0, c.radius, c.speed, c.angle);
        PixelRecorder recorder;
        ScriptedDraws none({});
        field->DrawStars(recorder, none);
        EXPECT_EQ(star.Radius, c.newRadius) << c.what;
        EXPECT_EQ(star.Speed, c.newSpeed) << c.what;
        EXPECT_EQ(star.Angle, c.newAngle) << c.what;
        EXPECT_EQ(star.X, c.x) << c.what;
        EXPECT_EQ(star.Y, c.y) << c.what;
    }
}

TEST(StarfieldFrame, OnlyARadiusStrictlyBeyondTheMaximumReseeds) {
    auto field = StillField();
    PlaceStar(*field, 0, 212.0f, 1.0f);
    PlaceStar(*field, 1, std::nextafter(212.0f, 300.0f), 1.0f);
    ScriptedDraws draws({0.0f, 0.0f, 0.0f, 0.0f, 0.5f});
    PixelRecorder recorder;
    field->DrawStars(recorder, draws);
    EXPECT_EQ(draws.draws, 5);  // star 1 only, without jitter
    EXPECT_EQ(field->StarAt(0).Radius, 212.0f);
    EXPECT_EQ(field->StarAt(1).Radius, 21.2f);
}

TEST(StarfieldFrame, StarSeededWithTheSmallestDrawFliesOutAndIsReseeded) {
    // The program's generator never draws 0 (a star at radius 0 never moves, and its speed
    // overflows after some 8.9 million frames); its smallest draw, 2^-24, starts a star 2.5e-6
    // pixels out, which still reaches the edge within a few thousand frames.
    auto field = StillField();
    ScriptedDraws seeding({0.0f, 0.0f, 0.0f, 0.0f, 0x1p-24f});
    field->ResetStar(0, false, seeding);
    ASSERT_GT(field->StarAt(0).StartRadius, 0.0f);
    ScriptedDraws reseeding({0.5f}, true);
    PixelRecorder recorder;
    int frames = 0;
    while (reseeding.draws == 0 && frames < 3000) {
        field->DrawStars(recorder, reseeding);
        recorder.pixels.clear();
        ++frames;
    }
    EXPECT_EQ(reseeding.draws, 5);
    EXPECT_GT(frames, 1000);
    EXPECT_EQ(field->StarAt(0).Radius, 21.2f);
    EXPECT_EQ(field->StarAt(0).Speed, 1.0f);
}

TEST(StarfieldFrame, ReseededStarIsDrawnBlackAtItsNewStartInTheSameFrame) {
    auto field = StillField();
    gfx::Star& star = PlaceStar(*field, 5, 210.0f, 1.02f, 0.0f, 10.0f);
    star.X = 300;
    star.Y = 40;
    // Bases just under a half, angle a quarter turn (down), start radius 21.2.
    ScriptedDraws draws({0.49f, 0.3f, 0.0f, 0.25f, 0.5f});
    PixelRecorder recorder;
    field->DrawStars(recorder, draws);
    EXPECT_EQ(recorder.pixels[10], (Pixel{300, 40, 0}));
    EXPECT_EQ(recorder.pixels[11], (Pixel{159, 69, 0}));
    EXPECT_EQ(star.Speed, 1.0f);
    EXPECT_EQ(star.Radius, 21.2f);
    EXPECT_EQ(star.Angle, static_cast<float>(0.25 * 6.283185307));
}

TEST(StarfieldFrame, BrightnessGrowsWithDistanceTravelledAndInwardStarsStayBlack) {
    struct Case {
        float startRadius, radius, speed;
        gfx::ColorRef color;
    };
    const Case cases[] = {
        {10.0f, 10.0f, 1.0f, 0},                                 // at its start: black
        {10.0f, 20.0f, 1.0f, gfx::MakeColorRef(36, 36, 36)},     // 36.2 levels
        {10.0f, 80.0f, 1.0f, gfx::MakeColorRef(254, 254, 254)},  // 253.6 levels
        {10.0f, 90.0f, 1.0f, kWhite},                            // 289.8 levels
        {40.0f, 40.0f, 0.5f, 0},                                 // moved inward
    };
    for (const Case& c : cases) {
        auto field = StillField();
        PlaceStar(*field, 0, c.radius, c.speed, 0.0f, c.startRadius);
        PixelRecorder recorder;
        ScriptedDraws none({});
        field->DrawStars(recorder, none);
        EXPECT_EQ(recorder.pixels[1].color, c.color) << c.radius;
    }
}

TEST(StarfieldColor, EveryChannelIsItsBasePlusTheLevelClampedToAByte) {
    gfx::Star star;
    star.RedBase = 0.0f;
    star.GreenBase = 0.6f;
    star.BlueBase = 0.5f;  // 0.5 ties to even: level 0 gives 0, level 1 gives 2
    EXPECT_EQ(gfx::StarColor(star, 0), gfx::MakeColorRef(0, 1, 0));
    EXPECT_EQ(gfx::StarColor(star, 1), gfx::MakeColorRef(1, 2, 2));
    EXPECT_EQ(gfx::StarColor(star, 254), gfx::MakeColorRef(254, 255, 254));
    EXPECT_EQ(gfx::StarColor(star, 255), kWhite);
    EXPECT_EQ(gfx::StarColor(star, 100000), kWhite);
    EXPECT_EQ(gfx::StarColor(star, -1), 0u);
    // Each channel on its own beyond either end.
    for (int channel = 0; channel < 3; ++channel) {
        gfx::Star one;
        float* bases[] = {&one.RedBase, &one.GreenBase, &one.BlueBase};
        *bases[channel] = 0.9f;
        const gfx::ColorRef high = 0xFFu << (8 * channel);
        EXPECT_EQ(gfx::StarColor(one, 255), kWhite) << channel;
        EXPECT_EQ(gfx::StarColor(one, 254), 0xFEFEFEu | high) << channel;
        EXPECT_EQ(gfx::StarColor(one, -1), 0u) << channel;
        EXPECT_EQ(gfx::StarColor(one, -2147483647), 0u) << channel;
    }
}

TEST(StarfieldFrame, CoordinateBeyondThirtyTwoBitsIsAnOverflowError) {
    auto field = std::make_unique<gfx::Starfield>();
    field->SetGeometry(2147483647, 10);  // centre x 2^30, maximum radius about 1.43e9
    PlaceStar(*field, 0, 1.4e9f, 1.0f);
    PixelRecorder recorder;
    ScriptedDraws none({});
    // The erase went out, the draw did not.
    EXPECT_EXIT(testing_support::RaiseIn([&] { field->DrawStars(recorder, none); },
                                         [&] { return std::to_string(recorder.pixels.size()); }),
                testing_support::EndedByError(),
                testing_support::RaisedPattern(fw::ErrorCode::Overflow, "", "1"));
}

TEST(LogoFrame, ReseedsThenDrawsOpacityThenTheReloadDecisionAndCentresOnTheOuterSize) {
    struct Case {
        float opacity, reloadDraw;
        bool reload;
    };
    const Case cases[] = {
        {0.25f, 0.0f, true},
        {0.0f, 0.5f, true},  // a tie rounds to the even 0
        {0.75f, 0.50000006f, false},
        {0.99999994f, 0.99999994f, false},
    };
    for (const Case& c : cases) {
        ScriptedDraws draws({c.opacity, c.reloadDraw});
        const gfx::LogoFrame frame = gfx::NextLogoFrame(draws, 320, 97);
        EXPECT_EQ(draws.log, "RDD");
        EXPECT_EQ(frame.opacity, c.opacity);
        EXPECT_EQ(frame.reload, c.reload) << c.reloadDraw;
        EXPECT_EQ(frame.x, 160);
        EXPECT_EQ(frame.y, 48);  // 48.5 -> 48
    }
    ScriptedDraws draws({0.0f}, true);
    const gfx::LogoFrame odd = gfx::NextLogoFrame(draws, 321, 99);
    EXPECT_EQ(odd.x, 160);  // 160.5
    EXPECT_EQ(odd.y, 50);   // 49.5
}

TEST(FramePacing, AFrameEndsOnlyMoreThanFiveTicksAfterItsStartAcrossEveryWrap) {
    struct Case {
        uint32_t start, now;
        bool over;
        uint32_t remaining;
    };
    const Case cases[] = {
        {1000, 1000, false, 6},
        {1000, 1005, false, 1},
        {1000, 1006, true, 0},
        {1000, 5000, true, 0},
        {0xFFFFFFFEu, 0xFFFFFFFFu, false, 5},
        {0xFFFFFFFEu, 3, false, 1},
        {0xFFFFFFFEu, 4, true, 0},
        {0x7FFFFFFEu, 0x80000003u, false, 1},
        {0x7FFFFFFEu, 0x80000004u, true, 0},
        {0xFFFFFFFAu, 0xFFFFFFFFu, false, 1},
        {0xFFFFFFFAu, 0, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gfx::FrameOver(c.start, c.now), c.over) << c.start << " " << c.now;
        EXPECT_EQ(gfx::FrameRemaining_ms(c.start, c.now), c.remaining) << c.start << " " << c.now;
    }
}

}  // namespace
