// The starfield's arithmetic: star records, geometry from the picture box's size, seeding, and one
// frame's erase-and-draw pass. Portable; the Windows frame loop (gfx/win/starfield.h) drives it.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "gfx/pixel_sink.h"
#include "gfx/random_draws.h"

namespace gfx {

struct Star {
    float Radius = 0;   // distance from the centre, pixels
    float Angle = 0;    // direction, radians (not kept within one turn)
    float Speed = 0;    // factor applied to Radius each frame
    float RedBase = 0;  // channel offsets in [0, 1)
    float GreenBase = 0;
    float BlueBase = 0;
    float StartRadius = 0;  // Radius when last seeded
    int32_t X = 0;          // pixel last drawn; seeding leaves it so the next frame erases it
    int32_t Y = 0;
};

// The constants are given by their bits so that no compiler's decimal conversion can move them.
inline constexpr float kAngleStep_rad = std::bit_cast<float>(0x358637BDu);  // 1e-6
inline constexpr float kAcceleration = std::bit_cast<float>(0x3F800054u);   // 1.00001
inline constexpr double kRadiusPerHalfWidth = std::bit_cast<double>(0x3FF55551D68C692Full);
inline constexpr double kTurn_rad = std::bit_cast<double>(0x401921FB54411744ull);  // < 2 pi
static_assert(kAngleStep_rad == 1e-6f && kAcceleration == 1.00001f);
static_assert(kRadiusPerHalfWidth == 1.33333 && kTurn_rad == 6.283185307);

inline constexpr int32_t kStarCapacity = 10000;
inline constexpr int32_t kStarsInUse = 400;

class Starfield {
  public:
    // Derives the centre, the maximum radius (from the width alone) and the colour scale from the
    // inner drawing size of the picture box, in pixels, and puts 400 stars in use. Raises
    // Overflow for sizes whose results leave 32 bits, DivisionByZero when the maximum radius is 0.
    void SetGeometry(int32_t scaleWidth_px, int32_t scaleHeight_px);

    // Seeds every star in use, in index order, with jitter.
    void SeedStars(RandomDraws& draws);

    // Seeds the star at `index`: five draws (bases, angle, start radius), two more for the speed
    // jitter. Leaves X and Y alone. Raises SubscriptOutOfRange outside 0..9999.
    void ResetStar(int32_t index, bool jitter, RandomDraws& draws);

    // One frame's pass over the stars in use, in index order: erase the old pixel, move, reseed
    // past the maximum radius, draw the new pixel. Raises Overflow on a coordinate beyond 32 bits.
    void DrawStars(PixelSink& pixels, RandomDraws& draws);

    // Bounds-checked access to the star array (SubscriptOutOfRange outside 0..9999).
    Star& StarAt(int32_t index);

    int32_t CenterX() const { return centerX_; }
    int32_t CenterY() const { return centerY_; }
    int32_t MaxRadius() const { return maxRadius_; }
    int32_t StarCount() const { return starCount_; }
    float ColorScale() const { return colorScale_; }

  private:
    void StepStar(int32_t index, PixelSink& pixels, RandomDraws& draws);

    std::array<Star, kStarCapacity> stars_{};
    int32_t centerX_ = 0;
    int32_t centerY_ = 0;
    int32_t maxRadius_ = 0;
    int32_t starCount_ = 0;
    float colorScale_ = 0;  // brightness levels per pixel travelled
    float angleStep_rad_ = 0;
    float acceleration_ = 0;
};

// The colour of a star at brightness `level`: each channel is its base plus the level, rounded,
// then clamped to 0..255.
ColorRef StarColor(const Star& star, int32_t level);

}  // namespace gfx
