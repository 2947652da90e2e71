// Geometry and seeding of the starfield, with scripted random draws.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "framework/errors.h"
#include "gfx/starfield.h"
#include "tests/native/starfield_script.h"
#include "tests/native/support/raised_errors.h"

namespace {

using gfx_test::ScriptedDraws;

std::unique_ptr<gfx::Starfield> Field(int32_t width, int32_t height) {
    auto field = std::make_unique<gfx::Starfield>();
    field->SetGeometry(width, height);
    return field;
}

// Expects `action` to raise `code` (in a child process), leaving the state that `state`
// describes as `stateText`.
void ExpectError(fw::ErrorCode code, const std::function<void()>& action,
                 const std::function<std::string()>& state = {},
                 const std::string& stateText = "") {
    EXPECT_EXIT(testing_support::RaiseIn(action, state), testing_support::EndedByError(),
                testing_support::RaisedPattern(code, "", stateText));
}

TEST(StarfieldGeometry, PictureBoxAtNinetySixDpi) {
    const auto field = Field(318, 95);
    EXPECT_EQ(field->CenterX(), 159);
    EXPECT_EQ(field->CenterY(), 48);  // 47.5 goes to the even neighbour
    EXPECT_EQ(field->MaxRadius(), 212);
    EXPECT_EQ(field->ColorScale(), 3.6226416f);
    EXPECT_EQ(field->StarCount(), 400);
}

TEST(StarfieldGeometry, MaximumRadiusFollowsTheRoundedHalfWidthOnly) {
    struct Case {
        int32_t width, height, centerX, centerY, maxRadius;
    };
    const Case cases[] = {
        {2, 2, 1, 1, 1},
        {5, 5, 2, 2, 3},
        {7, 1, 4, 0, 5},
        {318, 500, 159, 250, 212},
        // 50000 * 1.33333 = 66666.4999... in double precision; 4/3, or the factor as a single,
        // would give 66667.
        {100000, 3, 50000, 2, 66666},
        // 600001 * 1.33333 = 799999.33 where 4/3 would give 800001.33.
        {1200002, 3, 600001, 2, 799999},
    };
    for (const Case& c : cases) {
        const auto field = Field(c.width, c.height);
        EXPECT_EQ(field->CenterX(), c.centerX) << c.width;
        EXPECT_EQ(field->CenterY(), c.centerY) << c.height;
        EXPECT_EQ(field->MaxRadius(), c.maxRadius) << c.width;
        EXPECT_EQ(field->ColorScale(), static_cast<float>(768.0 / c.maxRadius)) << c.width;
    }
}

TEST(StarfieldGeometry, BoxAtMostOnePixelWideIsADivisionByZero) {
    for (int32_t width : {1, 0, -1}) {
        auto field = std::make_unique<gfx::Starfield>();
        ExpectError(fw::ErrorCode::DivisionByZero, [&] { field->SetGeometry(width, 95); });
    }
}

TEST(StarfieldSeeding, FiveDrawsInFieldOrderAndNoJitter) {
    auto field = Field(318, 95);
    gfx::Star& star = field->StarAt(3);
    star.X = 7;
    star.Y = 9;
    star.Speed = 3.0f;
    ScriptedDraws draws({0.125f, 0.25f, 0.375f, 0.5f, 0.75f});
    field->ResetStar(3, false, draws);
    EXPECT_EQ(draws.log, "DDDDD");
    EXPECT_EQ(star.RedBase, 0.125f);
    EXPECT_EQ(star.GreenBase, 0.25f);
    EXPECT_EQ(star.BlueBase, 0.375f);
    EXPECT_EQ(star.Angle, 3.1415926535f);  // half of 6.283185307, as a single
    EXPECT_EQ(star.StartRadius, 31.8f);    // 0.75 * 212 / 5
    EXPECT_EQ(star.Radius, 31.8f);
    EXPECT_EQ(star.Speed, 1.0f);
    EXPECT_EQ(star.X, 7);  // left for the next frame to erase
    EXPECT_EQ(star.Y, 9);
}

TEST(StarfieldSeeding, AngleAndStartRadiusAreDoubleProductsStoredAsSingles) {
    // Draws next to a rounding boundary of the single result: with 2 pi for the turn, with the
    // products taken in single precision, or with the radius divided by 5 before the product,
    // each result would land one unit in the last place away.
    struct Case {
        int32_t width;
        float angleDraw, radiusDraw;
        float angle, startRadius;
    };
    const Case cases[] = {
        // 0.57537841796875 * 6.283185307 = 3.6152092217; 2 pi or single precision: 0x1.cebf2ep+1.
        {318, 0.57537841796875f, 0.5f, 0x1.cebf2cp+1f, 21.2f},
        // 0.99999809 * 212 / 5 = 42.3999191; in single precision: 0x1.53330ap+5.
        {318, 0.0f, 0.9999980926513672f, 0.0f, 0x1.533308p+5f},
        // Maximum radius 799999. 0.96875 * 799999 / 5 = 154999.80625; single: 0x1.2ebbe6p+17.
        {1200002, 0.0f, 0.96875f, 0.0f, 0x1.2ebbe8p+17f},
        // 0.80078125 * 799999 / 5 = 128124.8398; 0.80078125 * (799999 / 5): 0x1.f47cd6p+16.
        {1200002, 0.0f, 0.80078125f, 0.0f, 0x1.f47cd8p+16f},
    };
    for (const Case& c : cases) {
        const auto field = Field(c.width, 3);
        ScriptedDraws draws({0.0f, 0.0f, 0.0f, c.angleDraw, c.radiusDraw});
        field->ResetStar(0, false, draws);
        EXPECT_EQ(field->StarAt(0).Angle, c.angle) << c.angleDraw;
        EXPECT_EQ(field->StarAt(0).StartRadius, c.startRadius) << c.radiusDraw;
    }
}

TEST(StarfieldSeeding, JitterTakesTwoMoreDrawsTheFirstAddingTheSecondSubtracting) {
    struct Case {
        float a, b, speed;
    };
    const Case cases[] = {
        {0.5f, 0.0f, 1.005f},
        {0.0f, 0.5f, 0.995f},
        {0.25f, 0.25f, 1.0f},
        // Taken in single precision the sums would give 0x1.fe147cp-1.
        {0.125f, 0.5f, 0x1.fe147ap-1f},
    };
    for (const Case& c : cases) {
        auto field = Field(318, 95);
        ScriptedDraws draws({0, 0, 0, 0, 0, c.a, c.b});
        field->ResetStar(9999, true, draws);
        EXPECT_EQ(draws.draws, 7);
        EXPECT_EQ(field->StarAt(9999).Speed, c.speed) << c.a << " " << c.b;
    }
}

TEST(StarfieldSeeding, IndicesOutsideTheArrayAreASubscriptError) {
    auto field = Field(318, 95);
    ScriptedDraws draws({0.5f}, true);
    for (int32_t index : {-1, 10000, 2147483647}) {
        // Checked before the first draw.
        ExpectError(
            fw::ErrorCode::SubscriptOutOfRange, [&] { field->ResetStar(index, false, draws); },
            [&] { return std::to_string(draws.draws) + " draws"; }, "0 draws");
        ExpectError(fw::ErrorCode::SubscriptOutOfRange, [&] { field->StarAt(index); });
    }
    EXPECT_EQ(draws.draws, 0);
    field->ResetStar(0, false, draws);
    field->ResetStar(9999, false, draws);
    EXPECT_EQ(draws.draws, 10);
}

}  // namespace
