#include "gfx/starfield.h"

#include <algorithm>
#include <cmath>

#include "framework/errors.h"
#include "framework/rounding.h"

namespace gfx {

namespace {

// Stars start within the inner fifth of the maximum radius.
constexpr double kStartRadiusDivisor = 5.0;
constexpr double kJitterDivisor = 100.0;
constexpr double kLevelsPerMaxRadius = 768.0;  // white after about a third of the way out

int32_t Channel(float base, int32_t level) {
    return std::clamp(fw::RoundToInt32(static_cast<double>(base) + level), 0, 255);
}

}  // namespace

ColorRef StarColor(const Star& star, int32_t level) {
    return MakeColorRef(Channel(star.RedBase, level), Channel(star.GreenBase, level),
                        Channel(star.BlueBase, level));
}

void Starfield::SetGeometry(int32_t scaleWidth_px, int32_t scaleHeight_px) {
    centerX_ = fw::RoundToInt32(scaleWidth_px / 2.0);
    centerY_ = fw::RoundToInt32(scaleHeight_px / 2.0);
    maxRadius_ = fw::RoundToInt32(centerX_ * kRadiusPerHalfWidth);
    angleStep_rad_ = kAngleStep_rad;
    acceleration_ = kAcceleration;
    starCount_ = kStarsInUse;
    if (maxRadius_ == 0) fw::Raise(fw::ErrorCode::DivisionByZero);
    colorScale_ = static_cast<float>(kLevelsPerMaxRadius / maxRadius_);
}

void Starfield::SeedStars(RandomDraws& draws) {
    for (int32_t i = 0; i < starCount_; ++i) ResetStar(i, true, draws);
}

Star& Starfield::StarAt(int32_t index) {
    if (index < 0 || index >= kStarCapacity) fw::Raise(fw::ErrorCode::SubscriptOutOfRange);
    return stars_[static_cast<size_t>(index)];
}

void Starfield::ResetStar(int32_t index, bool jitter, RandomDraws& draws) {
    Star& star = StarAt(index);
    star.RedBase = draws.Draw();
    star.GreenBase = draws.Draw();
    star.BlueBase = draws.Draw();
    star.Angle = static_cast<float>(draws.Draw() * kTurn_rad);
    star.StartRadius = static_cast<float>(double{draws.Draw()} * maxRadius_ / kStartRadiusDivisor);
    star.Radius = star.StartRadius;
    star.Speed = 1.0f;
    if (jitter) {
        const double a = draws.Draw();
        const double b = draws.Draw();
        star.Speed = static_cast<float>(a / kJitterDivisor + star.Speed - b / kJitterDivisor);
    }
}

void Starfield::DrawStars(PixelSink& pixels, RandomDraws& draws) {
    for (int32_t i = 0; i < starCount_; ++i) StepStar(i, pixels, draws);
}

void Starfield::StepStar(int32_t index, PixelSink& pixels, RandomDraws& draws) {
    Star& star = StarAt(index);
    pixels.SetPixel(star.X, star.Y, 0);
    star.Radius = star.Radius * star.Speed;
    star.Speed = acceleration_ * star.Speed;
    star.Angle = angleStep_rad_ + star.Angle;
    // Only strictly beyond the maximum; a reseeded star is drawn at once, black, at its start.
    if (static_cast<double>(star.Radius) > maxRadius_) ResetStar(index, false, draws);
    const int32_t level = fw::RoundToInt32((star.Radius - star.StartRadius) * colorScale_);
    const ColorRef color = StarColor(star, level);
    const double radius = star.Radius;
    const double angle_rad = star.Angle;
    star.X = fw::RoundToInt32(radius * std::cos(angle_rad) + centerX_);
    star.Y = fw::RoundToInt32(radius * std::sin(angle_rad) + centerY_);
    pixels.SetPixel(star.X, star.Y, color);
}

}  // namespace gfx
