#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "player/mixer/mixer.h"
#include "player/mixer/mixer_planner.h"
#include "player/song/records.h"

namespace {

using xm::Sample;
using xm::Voice;

constexpr uint32_t kHalf = 0x80000000u;  // 0.5 as a 32-bit fraction

// One song of one channel (two voices) playing a sample built in memory.
struct OneChannel {
    std::vector<int16_t> points;
    Sample sample{};
    xm::Module module{};
    Voice voices[2]{};
    std::vector<int32_t> accumulator;

    // A sample of `length` points given by `point(i)`, with the continuation point the loader
    // stores at the loop end (or a 0 after a one-shot sample).
    OneChannel(uint32_t length, int32_t loopStart, int32_t loopLength, uint8_t loopType,
               const std::function<int16_t(uint32_t)>& point) {
        points.assign(length + 3, 0);
        for (uint32_t i = 0; i < length; ++i) points[i] = point(i);
        const int32_t loopEnd = loopStart + loopLength;
        if (loopType == 1) points[loopEnd] = points[loopStart];
        if (loopType == 2) points[loopEnd] = points[loopEnd - 1];
        if (loopType != 1 && loopType != 2) {
            loopStart = 0;
            loopLength = static_cast<int32_t>(length);
        }
        sample.length = length;
        sample.loopStart = loopStart;
        sample.loopLength = loopLength;
        sample.loopType = loopType;
        sample.data = points.data();
        module.channelCount = 1;
        module.voices = voices;
    }

    // Starts voice `i` at a position with a 32.32 step and a steady volume on the left side
    // (128 = one target step, so the left sum equals the interpolated point).
    Voice& Play(int i, int32_t position, uint32_t fraction, uint32_t stepInteger,
                uint32_t stepFraction, int32_t leftTarget = 1) {
        Voice& v = voices[i];
        v.sample = &sample;
        v.position = position;
        v.positionFraction = fraction;
        v.stepInteger = stepInteger;
        v.stepFraction = stepFraction;
        v.leftTarget = leftTarget;
        v.leftVolume = leftTarget * 128;
        return v;
    }

    // Mixes `frames` frames in spans of at most `span` and returns the left sums.
    std::vector<int32_t> Mix(uint32_t frames, uint32_t span = 1024) {
        accumulator.assign(2 * frames, 0);
        for (uint32_t done = 0; done < frames; done += span) {
            xm::MixVoices(module, accumulator.data() + 2 * done, std::min(span, frames - done),
                          xm::MixerOptions{});
        }
        std::vector<int32_t> left(frames);
        for (uint32_t i = 0; i < frames; ++i) left[i] = accumulator[2 * i];
        return left;
    }
};

int16_t Ramp(uint32_t i) {
    return static_cast<int16_t>(i);
}
int16_t Dc(uint32_t) {
    return 1000;
}

// With points equal to their index and volume 128, each frame's left sum is 64 x the position.
TEST(MixerLoops, ForwardLoopWrapsToItsStartKeepingTheFraction) {
    OneChannel song(200, 100, 50, 1, Ramp);
    Voice& v = song.Play(0, 140, 0x40000000, 1, 0);
    const auto left = song.Mix(12);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(left[k], 64 * (140 + k) + 16) << k;
    // Frame 9 interpolates from point 149 toward the copy of point 100 stored at 150.
    EXPECT_EQ(left[9], 64 * 149 - 49 * 16);
    EXPECT_EQ(left[10], 64 * 100 + 16);
    EXPECT_EQ(left[11], 64 * 101 + 16);
    EXPECT_EQ(v.position, 102);
    EXPECT_EQ(v.positionFraction, 0x40000000u);
    EXPECT_EQ(v.direction, 0);
}

// Heard or silent (which takes the silent voices' shortcut), and with loops shorter than a step,
// which a frame passes more than once.
TEST(MixerLoops, ForwardLoopFollowsModularArithmeticAcrossSpansAndSteps) {
    for (const int32_t loopLength : {50, 3}) {
        for (const int32_t target : {1, 0}) {
            for (uint32_t stepFraction : {0u, 0x12345660u, kHalf, 0xFFFFFFE0u}) {
                for (uint32_t stepInteger : {0u, 1u, 3u, 31u}) {
                    if (stepInteger == 0 && stepFraction == 0) continue;
                    OneChannel song(300, 100, loopLength, 1, Ramp);
                    Voice& v = song.Play(0, 101, 0x30000000, stepInteger, stepFraction, target);
                    const uint64_t step = uint64_t{stepInteger} << 32 | stepFraction;
                    const uint64_t length = uint64_t(loopLength) << 32;
                    uint64_t expected = (uint64_t{1} << 32) + 0x30000000;  // from the loop start
                    for (uint32_t span : {1u, 7u, 333u, 1024u}) {
                        song.Mix(span, span);
                        expected = (expected + step * span) % length;
                        ASSERT_EQ(v.position, 100 + static_cast<int32_t>(expected >> 32))
                            << loopLength << " " << target << " " << stepInteger << ":"
                            << stepFraction << " span " << span;
                        ASSERT_EQ(v.positionFraction, static_cast<uint32_t>(expected));
                    }
                }
            }
        }
    }
}

TEST(MixerLoops, PingPongTurnsAtBothEndsAndNeverLeavesTheLoop) {
    OneChannel song(200, 100, 50, 2, Ramp);
    Voice& v = song.Play(0, 100, 0, 0, kHalf);
    const auto left = song.Mix(400, 37);
    // A triangle between 100 and 150 at half a point per frame: up 100 frames, down 100.
    for (int k = 0; k < 400; ++k) {
        const int phase = k % 200;
        const int halfPoints = phase <= 100 ? phase : 200 - phase;
        // The copy of point 149 at 150 flattens the top half point.
        const int expected = std::min(64 * 100 + 32 * halfPoints, 64 * 149);
        ASSERT_EQ(left[k], expected) << k;
    }
    EXPECT_EQ(v.position, 100);
    EXPECT_EQ(v.direction, 0);
    v.sample = nullptr;

    for (uint32_t stepFraction : {0x0000001Fu, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        for (uint32_t stepInteger : {0u, 1u, 7u, 49u, 200u}) {
            Voice& w = song.Play(1, 149, 0xFFFFFFFF, stepInteger, stepFraction);
            for (int s = 0; s < 300; ++s) {
                for (int32_t point : song.Mix(1)) {
                    ASSERT_GE(point, 64 * 100) << stepInteger << ":" << stepFraction;
                    ASSERT_LE(point, 64 * 149) << stepInteger << ":" << stepFraction;
                }
                ASSERT_GE(w.position, 100);
                ASSERT_LE(w.position, 150);
            }
            w.sample = nullptr;
        }
    }
}

TEST(MixerLoops, PingPongFromPointZeroMirrorsTheBackwardOvershoot) {
    OneChannel song(64, 0, 50, 2, Ramp);
    Voice& v = song.Play(0, 10, 0, 1, kHalf);
    v.direction = 1;
    const auto left = song.Mix(10);
    // 10, 8.5, 7, 5.5, 4, 2.5, 1, then -0.5 mirrored to 0.5 going forward: 0.5, 2, 3.5.
    const int expectedHalfPoints[] = {20, 17, 14, 11, 8, 5, 2, 1, 4, 7};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(left[k], 32 * expectedHalfPoints[k]) << k;
    EXPECT_EQ(v.direction, 0);
    EXPECT_EQ(v.position, 5);
    EXPECT_EQ(v.positionFraction, 0u);

    // Steps whose low bits make the rounded frame count run a hair past point 0.
    for (uint32_t fraction : {0x0000001Fu, 0x4000001Fu, 0xFFFFFFFFu}) {
        Voice& w = song.Play(1, 3, fraction, 0, fraction);
        w.direction = 1;
        for (int s = 0; s < 2000; ++s) {
            song.Mix(3, 3);
            ASSERT_GE(w.position, 0);
            ASSERT_LE(w.position, 50);
        }
        w.sample = nullptr;
    }
}

// A step longer than the loop passes both ends in one frame: the position is mirrored about the
// end it passed, then about the other end, and so on until it lies within the loop, the
// direction reversing at every mirror. Whole-point steps keep the fraction out of it.
TEST(MixerLoops, PingPongMirrorsAsOftenAsTheStepOvershoots) {
    struct Frame {
        int32_t pointRead, position;
        uint8_t direction;
    };
    // Loop 100..103 at 10 points per frame: 110 -> 96 -> 104 -> 102 backward; 92 -> 108 -> 98 ->
    // 102 forward; 112 -> 94 -> 106 -> 100 backward, where the next frame turns at once.
    const Frame tenOverThree[] = {{100, 102, 1}, {102, 102, 0}, {102, 100, 1}, {100, 102, 1},
                                  {102, 102, 0}, {102, 100, 1}, {100, 102, 1}};
    // Loop 100..105 at 28 points per frame: five or six mirrors each time.
    const Frame twentyEightOverFive[] = {{100, 102, 1}, {102, 104, 1}, {104, 104, 0},
                                         {104, 102, 0}, {102, 100, 1}, {100, 102, 1}};
    // Loop 100..102 at 31 points per frame: 15 mirrors each time; the second frame's end on the
    // loop end (98 -> 102) turns there rather than going on toward the sample's end. Point 102
    // holds the copy of point 101 that follows a ping-pong loop.
    const Frame thirtyOneOverTwo[] = {{100, 101, 1}, {101, 102, 1}, {101, 101, 0},
                                      {101, 100, 1}, {100, 101, 1}, {101, 102, 1}};
    const struct {
        int32_t loopLength;
        uint32_t step;
        const Frame* frames;
        size_t count;
    } cases[] = {{3, 10, tenOverThree, std::size(tenOverThree)},
                 {2, 31, thirtyOneOverTwo, std::size(thirtyOneOverTwo)},
                 {5, 28, twentyEightOverFive, std::size(twentyEightOverFive)}};
    for (const auto& c : cases) {
        OneChannel song(200, 100, c.loopLength, 2, Ramp);
        Voice& v = song.Play(0, 100, 0, c.step, 0);
        for (size_t k = 0; k < c.count; ++k) {
            const Frame& f = c.frames[k];
            EXPECT_EQ(song.Mix(1)[0], 64 * f.pointRead) << c.step << " frame " << k;
            EXPECT_EQ(v.position, f.position) << c.step << " frame " << k;
            EXPECT_EQ(v.direction, f.direction) << c.step << " frame " << k;
            EXPECT_EQ(v.positionFraction, 0u);
        }
    }
}

// A voice that lies beyond the boundary it moves toward (a negative distance) is left exactly
// as it is for the span and adds nothing, although its sample is sound and it would be heard.
TEST(MixerVoices, AVoiceBeyondItsBoundaryIsLeftAsItIs) {
    const struct {
        int32_t loopStart, loopLength;
        uint8_t loopType;
        int32_t position;
        uint8_t direction;
        int32_t target;
    } cases[] = {
        {0, 0, 0, 150, 0, 100},    // past the end of a one-shot sample
        {10, 20, 1, 150, 0, 100},  // past the end of a sample with a forward loop
        {10, 20, 1, 150, 0, 0},    // the same, silent
        {50, 40, 2, 120, 0, 100},  // forward past the end of a ping-pong sample
        {50, 40, 2, 20, 1, 100},   // backward below a ping-pong loop's start
    };
    for (const auto& c : cases) {
        OneChannel song(100, c.loopStart, c.loopLength, c.loopType, Dc);
        Voice& v = song.Play(0, c.position, 0x12345678, 1, 0x100, c.target);
        v.direction = c.direction;
        v.rightTarget = c.target / 2;  // a ramp would start if the voice were mixed
        const Voice before = v;
        song.Mix(64);
        for (int32_t sum : song.accumulator) ASSERT_EQ(sum, 0) << c.position;
        EXPECT_EQ(v.sample, &song.sample) << c.position;
        EXPECT_EQ(v.position, before.position);
        EXPECT_EQ(v.positionFraction, before.positionFraction);
        EXPECT_EQ(v.direction, before.direction);
        EXPECT_EQ(v.leftVolume, before.leftVolume);
        EXPECT_EQ(v.rightVolume, before.rightVolume);
        EXPECT_EQ(v.rampFramesLeft, before.rampFramesLeft);
        EXPECT_EQ(v.rampTargets, before.rampTargets);
        EXPECT_EQ(v.stepFraction, before.stepFraction);
    }
}

TEST(MixerOneShot, PlaysToItsEndThenTheVoiceIsIdle) {
    OneChannel song(1000, 0, 0, 0, Dc);
    Voice& v = song.Play(0, 0, 0, 0, 748308572);  // 8363 Hz
    const auto left = song.Mix(6000);
    // 1000 / 0.17423 = 5739.6: frames 0..5739 read the sample, the last ones toward the 0 after it.
    EXPECT_EQ(left[5700], 64000);
    EXPECT_GT(left[5739], 0);
    EXPECT_LT(left[5739], 64000);
    for (int k = 5740; k < 6000; ++k) ASSERT_EQ(left[k], 0) << k;
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.position, 0);
    EXPECT_EQ(v.positionFraction, 0u);

    // Loop type 3 also plays once, up to its loop end.
    OneChannel both(100, 10, 20, 3, Dc);
    both.sample.loopStart = 10;
    both.sample.loopLength = 20;
    Voice& w = both.Play(0, 0, 0, 1, 0);
    const auto once = both.Mix(40);
    EXPECT_EQ(once[29], 64000);
    EXPECT_EQ(once[30], 0);
    EXPECT_EQ(w.sample, nullptr);
}

TEST(MixerOneShot, ZeroStepPlaysAtFortyHertz) {
    OneChannel song(100, 0, 100, 0, Ramp);
    Voice& v = song.Play(0, 0, 0, 0, 0);
    song.Mix(48000);
    EXPECT_EQ(v.stepFraction, 3579136u);
    // 48000 x 3579136 / 2^32 = 39.9999 points in one second.
    EXPECT_EQ(v.position, 39);
    EXPECT_EQ(v.positionFraction, static_cast<uint32_t>(uint64_t{48000} * 3579136));
}

TEST(MixerOneShot, ExtremeStepsStayInsideTheSample) {
    // A step of 1000 points per frame is held below 32; a step of 32/2^32 on a long sample needs
    // a frame count far above 32 bits.
    OneChannel fast(5000, 0, 0, 0, Dc);
    Voice& v = fast.Play(0, 0, 0, 1000, 0);
    fast.Mix(200);
    EXPECT_EQ(v.sample, nullptr);
    OneChannel slow(4000000, 0, 0, 0, Dc);
    Voice& w = slow.Play(0, 3999999, 0, 0, 32);
    const auto left = slow.Mix(2048);
    EXPECT_EQ(left[0], 64000);
    EXPECT_EQ(left[2047], 63999);  // a 65504/2^32 share of the 0 after the last point
    EXPECT_EQ(w.position, 3999999);
    EXPECT_EQ(w.positionFraction, 32u * 2048);
}

// The frames-to-boundary division works on the step shifted right by 5 in 32 bits, which holds
// steps below 32 points per frame (2^37 in 32.32). A faster voice (an Amiga period of 1 gives
// 14317456 Hz, 298 points) is held at the largest step that fits: 2^37 - 1.
TEST(MixerOneShot, StepsOf32PointsOrMoreAreHeldJustBelow32) {
    OneChannel song(100000, 0, 0, 0, Dc);
    Voice& v = song.Play(0, 0, 0, 298, 1204022498);
    song.Mix(10);
    const uint64_t held = (uint64_t{1} << 37) - 1;
    EXPECT_EQ(v.position, static_cast<int32_t>(10 * held >> 32));  // 319
    EXPECT_EQ(v.positionFraction, static_cast<uint32_t>(10 * held));
    EXPECT_EQ(v.stepInteger, 298u) << "the voice keeps its own step";
}

TEST(MixerRamps, TargetChangeRampsOver128FramesAndRestartsOnEveryChange) {
    OneChannel song(1000, 0, 1000, 1, Dc);
    Voice& v = song.Play(0, 0, 0, 1, 0, 0);
    v.leftTarget = 100;
    song.Mix(127);
    EXPECT_EQ(v.leftVolume, 12700);
    EXPECT_EQ(v.leftIncrement, 100);
    song.Mix(1);
    EXPECT_EQ(v.leftVolume, 12800);
    song.Mix(500);
    EXPECT_EQ(v.leftVolume, 12800);
    EXPECT_EQ(v.leftIncrement, 0);
    EXPECT_EQ(v.rampFramesLeft, 0);

    // Down to 0, then a new target half-way: a fresh 128-frame ramp from 6400.
    v.leftTarget = 0;
    song.Mix(64);
    EXPECT_EQ(v.leftVolume, 6400);
    v.leftTarget = 100;
    song.Mix(64);
    EXPECT_EQ(v.leftVolume, 6400 + 64 * 50);
    EXPECT_EQ(v.rampFramesLeft, 64);
    song.Mix(64);
    EXPECT_EQ(v.leftVolume, 12800);
}

TEST(MixerRamps, ARampEndsInsideALongSpanAndTheRestStaysSteady) {
    OneChannel song(5000, 0, 5000, 1, Dc);
    Voice& v = song.Play(0, 0, 0, 1, 0, 0);
    v.leftTarget = 127;
    v.rightTarget = 64;
    const auto left = song.Mix(960, 960);
    // Rising by 127 per frame for 128 frames (64000 x 127k / 128 per frame), then flat.
    for (int k = 0; k < 128; ++k) ASSERT_EQ(left[k], 500 * 127 * k) << k;
    for (int k = 128; k < 960; ++k) ASSERT_EQ(left[k], 500 * 16256) << k;
    for (int k = 128; k < 960; ++k) ASSERT_EQ(song.accumulator[2 * k + 1], 500 * 8192) << k;
    EXPECT_EQ(v.rightVolume, 8192);
}

TEST(MixerRamps, InterruptedRampsLeaveAtMostAShortfall) {
    OneChannel song(5000, 0, 5000, 1, Dc);
    Voice& v = song.Play(0, 0, 0, 1, 0, 0);
    v.leftTarget = 1;
    song.Mix(5);  // volume 5, then back to 0: an excess of 5 ramps at -1 per frame
    v.leftTarget = 0;
    song.Mix(128);
    EXPECT_EQ(v.leftVolume, 5 - 128);
    song.Mix(300);
    EXPECT_EQ(v.leftVolume, 5 - 128);  // (0 - (-123)) >> 7 is 0: no further ramp
}

TEST(MixerVoices, CrossfadeKeepsBothVoicesSoundingFor128Frames) {
    OneChannel song(5000, 0, 5000, 1, Dc);
    Voice& leaving = song.Play(0, 0, 0, 1, 0, 127);
    Voice& starting = song.Play(1, 0, 0, 1, 0, 0);
    leaving.leftTarget = 0;
    starting.leftTarget = 127;
    const auto left = song.Mix(300);
    for (int k = 0; k < 128; ++k) {
        // 16256 - 127k falling plus 127k rising: the sum stays at full volume.
        ASSERT_EQ(left[k], 500 * (16256 - 127 * k) + 500 * 127 * k) << k;
    }
    EXPECT_EQ(leaving.leftVolume, 0);
    EXPECT_EQ(starting.leftVolume, 16256);
    EXPECT_EQ(leaving.sample, &song.sample);  // the old note keeps running, silently
    EXPECT_EQ(leaving.position, 300);
    EXPECT_EQ(left[299], 500 * 16256);
}

// The frames until a boundary are the least n with n x step >= distance (both taken in 1/2^27
// points), whatever count the last call left as the hint: none, one too few, exact, one or two
// too many, or far off. Distances that are whole multiples of the step are where "reached"
// and "passed" part.
TEST(MixerPlanner, FramesToTheBoundaryAreTheLeastCountWhateverTheHint) {
    constexpr uint64_t kStep = uint64_t{3} << 32;  // 3 points per frame
    const struct {
        int64_t distance;
        uint64_t least;
    } cases[] = {{int64_t{30} << 32, 10},
                 {int64_t{29} << 32, 10},
                 {int64_t{31} << 32, 11},
                 {int64_t{3} << 32, 1},
                 {int64_t{1} << 27, 1}};
    for (const auto& c : cases) {
        for (const uint64_t hint :
             {uint64_t{0}, c.least - 1, c.least, c.least + 1, c.least + 2, uint64_t{100}}) {
            uint64_t near = hint;
            EXPECT_EQ(xm::mixer::FramesToBoundary(c.distance, kStep, 1024, near), c.least)
                << "distance " << (c.distance >> 27) << "/2^5 points, hint " << hint;
            EXPECT_EQ(near, c.least);
        }
    }
}

TEST(MixerVoices, IdleAndInconsistentVoicesAddNothing) {
    OneChannel song(100, 10, 20, 1, Dc);
    Voice& idle = song.voices[0];  // no sample: skipped, whatever else it holds
    idle.position = 7;
    idle.leftTarget = 100;
    idle.leftVolume = 12800;
    Voice& broken = song.Play(1, 0, 0, 1, 0);
    song.sample.loopLength = 200;  // a loop reaching past the sample is never read
    for (int32_t sum : song.Mix(50)) ASSERT_EQ(sum, 0);
    EXPECT_EQ(idle.position, 7);
    EXPECT_EQ(idle.rampFramesLeft, 0);
    EXPECT_EQ(broken.position, 0);
}

}  // namespace
