#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "player/mixer/block_conversion.h"
#include "player/mixer/mixer.h"
#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_kernels.h"
#include "player/song/records.h"
#include "tests/native/support/mixer_widths.h"

namespace {

using xm::Sample;
using xm::Voice;
using xm::test::MixerWidth;

// The plain loops alone: what every shortcut and vector loop must match.
constexpr xm::MixerOptions kPlain{false, 0};

// Random samples with every loop type, and random voices on them: silent, fading, loud, moving
// either way, at steps from the 40 Hz floor to far above the limit.
struct RandomSong {
    std::vector<std::vector<int16_t>> points;
    std::vector<Sample> samples;
    std::vector<Voice> voices;
    xm::Module module{};

    explicit RandomSong(uint32_t seed, int channels) {
        std::mt19937 engine(seed);
        auto rng = [&] { return static_cast<uint32_t>(engine()); };
        auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
        const int sampleCount = 6;
        points.resize(sampleCount);
        samples.resize(sampleCount);
        for (int i = 0; i < sampleCount; ++i) {
            const uint32_t length = 1 + pick(i % 2 ? 64 : 5000);
            points[i].resize(length + 3);
            for (auto& p : points[i]) p = static_cast<int16_t>(rng());
            Sample& s = samples[i];
            s.length = length;
            s.loopType = static_cast<uint8_t>(pick(4));
            s.loopStart = static_cast<int32_t>(pick(length));
            s.loopLength = 1 + static_cast<int32_t>(pick(length - s.loopStart));
            // Mostly the continuation point the loader stores at the loop end; now and then not.
            const int32_t end = s.loopStart + s.loopLength;
            if (s.loopType == 1 && pick(4) != 0) points[i][end] = points[i][s.loopStart];
            if (s.loopType == 2 && pick(4) != 0) points[i][end] = points[i][end - 1];
            s.data = points[i].data();
        }
        voices.resize(2 * channels);
        for (auto& v : voices) {
            if (pick(8) == 0) continue;  // idle
            const Sample& s = samples[pick(sampleCount)];
            v.sample = &s;
            v.position = static_cast<int32_t>(pick(s.length + 2));
            v.positionFraction = rng();
            v.direction = s.loopType == 2 && v.position > s.loopStart &&
                                  v.position <= s.loopStart + s.loopLength
                              ? static_cast<uint8_t>(pick(2))
                              : 0;
            const uint32_t stepKind = pick(4);
            v.stepInteger = stepKind == 0 ? 0 : stepKind == 3 ? pick(40) : pick(3);
            v.stepFraction = stepKind == 0 ? pick(64) : rng();
            const bool silent = pick(2) == 0;
            v.leftTarget = silent ? 0 : static_cast<int32_t>(pick(128));
            v.rightTarget = silent ? 0 : static_cast<int32_t>(pick(128));
            v.leftVolume = pick(3) == 0 ? static_cast<int32_t>(pick(16257)) : 0;
            v.rightVolume = pick(3) == 0 ? static_cast<int32_t>(pick(16257)) : 0;
            v.rampTargets =
                static_cast<uint32_t>(v.leftTarget) << 16 | static_cast<uint32_t>(v.rightTarget);
        }
        module.channelCount = channels;
        module.voices = voices.data();
    }

    // Mixes spans of random lengths, changing some targets between them, into one long buffer.
    std::vector<int32_t> Render(uint32_t seed, int spans, const xm::MixerOptions& options) {
        std::mt19937 engine(seed);
        auto rng = [&] { return static_cast<uint32_t>(engine()); };
        std::vector<int32_t> out;
        for (int i = 0; i < spans; ++i) {
            const uint32_t frames = 1 + rng() % 1024;
            std::vector<int32_t> accumulator(2 * frames);
            xm::MixVoices(module, accumulator.data(), frames, options);
            out.insert(out.end(), accumulator.begin(), accumulator.end());
            Voice& v = voices[rng() % voices.size()];
            if (rng() % 2)
                v.leftTarget = v.rightTarget = 0;  // a note moving away: fade out
            else
                v.leftTarget = static_cast<int32_t>(rng() % 128);
        }
        return out;
    }
};

// Same state in both songs' voices (samples compared by their index in their own song).
bool SameVoices(const RandomSong& a, const RandomSong& b) {
    auto index = [](const RandomSong& song, const Voice& v) {
        return v.sample == nullptr ? -1 : static_cast<int>(v.sample - song.samples.data());
    };
    for (size_t i = 0; i < a.voices.size(); ++i) {
        const Voice& x = a.voices[i];
        const Voice& y = b.voices[i];
        if (index(a, x) != index(b, y) || x.position != y.position ||
            x.positionFraction != y.positionFraction || x.direction != y.direction ||
            x.leftVolume != y.leftVolume || x.rightVolume != y.rightVolume ||
            x.rampFramesLeft != y.rampFramesLeft || x.stepFraction != y.stepFraction) {
            return false;
        }
    }
    return true;
}

// Mixes `count` random songs with `options` and with the plain loops alone, and compares the
// sums and where every voice ends.
void ExpectRandomSongsMixAsThePlainLoops(const xm::MixerOptions& options, uint32_t count) {
    for (uint32_t seed = 1; seed <= count; ++seed) {
        RandomSong fast(seed, 1 + static_cast<int>(seed % 16));
        RandomSong slow(seed, 1 + static_cast<int>(seed % 16));
        const auto fastOut = fast.Render(seed * 7, 40, options);
        const auto slowOut = slow.Render(seed * 7, 40, kPlain);
        ASSERT_EQ(fastOut.size(), slowOut.size());
        ASSERT_TRUE(fastOut == slowOut) << "seed " << seed << ", vectors of " << options.vectorBits;
        ASSERT_TRUE(SameVoices(fast, slow))
            << "seed " << seed << ", vectors of " << options.vectorBits;
    }
    std::printf("%u random songs compared, vectors of %u bits\n", count, options.vectorBits);
}

class MixerWidths : public testing::TestWithParam<MixerWidth> {
  protected:
    // The options that pick this case's width; the case is skipped where the processor lacks it.
    xm::MixerOptions Options() const {
        const MixerWidth width = GetParam();
        return {true, width.bits()};
    }
};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MixerWidths);
INSTANTIATE_TEST_SUITE_P(Built, MixerWidths, testing::ValuesIn(xm::test::BuiltMixerWidths()),
                         xm::test::MixerWidthName);

TEST(MixerFastPaths, RandomVoicesMixBitIdenticallyWithShortcutsAlone) {
    ExpectRandomSongsMixAsThePlainLoops({true, 0}, xm::test::RandomSongCount(60));
}

TEST_P(MixerWidths, RandomVoicesMixBitIdenticallyToThePlainLoops) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    // The options ask for this width, and get it.
    ASSERT_EQ(xm::mixer::ChooseKernels(Options()).bits, GetParam().bits());
    ExpectRandomSongsMixAsThePlainLoops(Options(), xm::test::RandomSongCount(60));
}

// One voice on one sample, in two one-channel songs: one mixed with the mixer's defaults (or the
// width asked for), the other with the plain loops alone.
struct TwoWays {
    Sample sample{};
    Voice fast[2]{}, plain[2]{};
    xm::Module a{}, b{};

    TwoWays(std::vector<int16_t>& points, uint32_t length, int32_t loopStart, int32_t loopLength,
            uint8_t loopType) {
        sample.length = length;
        sample.loopStart = loopStart;
        sample.loopLength = loopLength;
        sample.loopType = loopType;
        sample.data = points.data();
        fast[0].sample = &sample;
        a.channelCount = b.channelCount = 1;
        a.voices = fast;
        b.voices = plain;
    }
    void Mix(int32_t* fastSums, int32_t* plainSums, uint32_t frames,
             const xm::MixerOptions& options = {}) {
        xm::MixVoices(a, fastSums, frames, options);
        xm::MixVoices(b, plainSums, frames, kPlain);
    }
};

TEST(MixerFastPaths, SilentLoopedVoiceKeepsItsPlaceWhileSkipped) {
    // A faded-out note on a ping-pong loop: skipping lands where mixing every frame would.
    std::vector<int16_t> points(103, 500);
    TwoWays song(points, 100, 37, 63, 2);
    Voice* skipped = song.fast;
    Voice* mixed = song.plain;
    skipped[0].stepInteger = 2;
    skipped[0].stepFraction = 0x9E3779B9;
    mixed[0] = skipped[0];
    std::vector<int32_t> accumulator(2048);
    for (int block = 0; block < 200; ++block) {
        song.Mix(accumulator.data(), accumulator.data(), 1024);
    }
    for (int32_t sum : accumulator) ASSERT_EQ(sum, 0);
    EXPECT_EQ(skipped[0].position, mixed[0].position);
    EXPECT_EQ(skipped[0].positionFraction, mixed[0].positionFraction);
    EXPECT_EQ(skipped[0].direction, mixed[0].direction);
    EXPECT_NE(skipped[0].position, 0);
}

// A silent voice left beyond its sample's end stays there, and keeps its step as the chunk loop
// leaves it: the 40 Hz floor is only taken on where a boundary lies ahead.
TEST(MixerFastPaths, SilentVoiceBeyondItsSampleKeepsItsStep) {
    std::vector<int16_t> points(22, 100);
    TwoWays song(points, 19, 15, 2, 1);
    song.fast[0].position = 20;
    song.fast[0].stepFraction = 5;
    song.plain[0] = song.fast[0];
    std::vector<int32_t> fastSums(2 * 64), plainSums(2 * 64);
    song.Mix(fastSums.data(), plainSums.data(), 64);
    EXPECT_EQ(song.plain[0].stepFraction, 5u);
    EXPECT_EQ(song.fast[0].stepFraction, 5u);
    EXPECT_EQ(song.fast[0].position, 20);
    EXPECT_TRUE(fastSums == plainSums);
}

// A one-point loop at the first point, the voice a hair short of the loop end: the frame count to
// the end is 0, and a wrap that fell short keeps it at the first point; it must still move on
// (it once stood there for ever), the same way with and without shortcuts.
TEST(MixerFastPaths, VoiceJustShortOfAOnePointLoopsEndMovesOn) {
    std::vector<int16_t> points{1000, 1000, 0, 0};
    for (const bool heard : {true, false}) {
        TwoWays song(points, 1, 0, 1, 1);
        song.fast[0].positionFraction = 0xFFFFFFF0;
        song.fast[0].stepFraction = 0xFFFFFFFF;
        const int32_t volume = heard ? 64 * 128 : 0;
        song.fast[0].leftTarget = song.fast[0].rightTarget = volume / 128;
        song.fast[0].leftVolume = song.fast[0].rightVolume = volume;
        song.fast[0].rampTargets = static_cast<uint32_t>(volume / 128) * 0x10001u;
        song.plain[0] = song.fast[0];
        std::vector<int32_t> fastSums(2 * 300), plainSums(2 * 300);
        song.Mix(fastSums.data(), plainSums.data(), 300);
        EXPECT_TRUE(fastSums == plainSums);
        EXPECT_EQ(song.fast[0].positionFraction, song.plain[0].positionFraction);
        EXPECT_EQ(plainSums[2 * 299], heard ? 64 * 1000 * 64 : 0);  // 64 s0 x volume / 128
    }
}

// The frames to a loop's end are counted on positions and steps shifted right by 5, which now
// and then gives a frame more or less than the exact count. Loop 4..12, 1/32 point per frame:
// - a step 31/2^32 longer, from 2^27 - 32 past the loop start: 256 frames where 255 reach the
//   end, so the 256th reads the point after the loop end (30000), not the loop's second point;
// - from 2^27 - 5 past it: 255 frames where 256 are needed, so the voice wraps from just short
//   of the end to just short of the loop start, and its 256th frame reads point 3, not 11.
void ExpectLoopEndsCountedAFrameOffPlayAsThePlainLoops(const xm::MixerOptions& options) {
    struct Case {
        uint32_t fraction, stepFraction;
    };
    for (const Case c : {Case{(1u << 27) - 32, (1u << 27) + 31}, Case{(1u << 27) - 5, 1u << 27}}) {
        {
            std::vector<int16_t> points(23, 0);
            points[3] = -20000;
            points[11] = 20000;
            points[13] = 30000;
            TwoWays song(points, 20, 4, 8, 1);
            Voice* fast = song.fast;
            Voice* plain = song.plain;
            fast[0].position = 4;
            fast[0].positionFraction = c.fraction;
            fast[0].stepFraction = c.stepFraction;
            fast[0].leftTarget = fast[0].rightTarget = 127;
            fast[0].leftVolume = fast[0].rightVolume = 127 * 128;
            fast[0].rampTargets = 127u << 16 | 127u;
            plain[0] = fast[0];
            std::vector<int32_t> fastSums(2 * 600), plainSums(2 * 600);
            song.Mix(fastSums.data(), plainSums.data(), 600, options);
            EXPECT_NE(plainSums[2 * 255], 0);
            EXPECT_TRUE(fastSums == plainSums)
                << c.fraction << ", vectors of " << options.vectorBits;
            EXPECT_EQ(fast[0].position, plain[0].position);
            EXPECT_EQ(fast[0].positionFraction, plain[0].positionFraction);
        }
    }
}

TEST(MixerFastPaths, LoopEndsCountedAFrameLateOrEarlyPlayAsInThePlainLoops) {
    ExpectLoopEndsCountedAFrameOffPlayAsThePlainLoops({true, 0});
}

TEST_P(MixerWidths, LoopEndsCountedAFrameLateOrEarlyPlayAsInThePlainLoops) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    ExpectLoopEndsCountedAFrameOffPlayAsThePlainLoops(Options());
}

// Heard voices on short forward loops whose volumes ramp in most spans: the unrolled loop takes
// the chunks the chunk loop would, and a ramp that ends inside a loop pass makes the planner count
// the rest of that pass from there, on shifted values, which can move the wrap by a frame. Steps
// with every low bit, ramps cut short by new targets and ramps left over from the last span.
void ExpectRampingShortLoopsPlayAsThePlainLoops(const xm::MixerOptions& options) {
    std::mt19937 engine(23);
    auto rng = [&] { return static_cast<uint32_t>(engine()); };
    for (int song = 0; song < 300; ++song) {
        const auto loopLength = static_cast<int32_t>(2 + rng() % 63);
        const auto loopStart = static_cast<int32_t>(rng() % 8);
        const uint32_t length = static_cast<uint32_t>(loopStart + loopLength) + rng() % 4;
        std::vector<int16_t> points(length + 3);
        for (auto& p : points) p = static_cast<int16_t>(rng());
        points[static_cast<size_t>(loopStart + loopLength)] = points[loopStart];
        TwoWays two(points, length, loopStart, loopLength, 1);
        Voice& v = two.fast[0];
        v.position = loopStart + static_cast<int32_t>(rng() % static_cast<uint32_t>(loopLength));
        v.positionFraction = rng();
        v.stepInteger = rng() % 3;
        v.stepFraction = rng();
        v.leftVolume = static_cast<int32_t>(rng() % 16257);
        v.rightVolume = static_cast<int32_t>(128 * (rng() % 128));
        v.leftTarget = static_cast<int32_t>(rng() % 128);
        v.rightTarget = static_cast<int32_t>(rng() % 128);
        two.plain[0] = v;
        for (int span = 0; span < 12; ++span) {
            const uint32_t frames = 1 + rng() % 1024;
            std::vector<int32_t> fastSums(2 * frames), plainSums(2 * frames);
            two.Mix(fastSums.data(), plainSums.data(), frames, options);
            ASSERT_TRUE(fastSums == plainSums)
                << "song " << song << ", span " << span << ", vectors of " << options.vectorBits;
            ASSERT_EQ(v.position, two.plain[0].position) << song;
            ASSERT_EQ(v.positionFraction, two.plain[0].positionFraction) << song;
            ASSERT_EQ(v.leftVolume, two.plain[0].leftVolume) << song;
            ASSERT_EQ(v.rightVolume, two.plain[0].rightVolume) << song;
            ASSERT_EQ(v.rampFramesLeft, two.plain[0].rampFramesLeft) << song;
            // A new target on one side or both, as the ticks give them, now and then.
            if (rng() % 4 != 0) {
                const auto left = static_cast<int32_t>(rng() % 128);
                const auto right = rng() % 2 ? static_cast<int32_t>(rng() % 128) : v.rightTarget;
                v.leftTarget = two.plain[0].leftTarget = left;
                v.rightTarget = two.plain[0].rightTarget = right;
            }
        }
    }
}

TEST_P(MixerWidths, RampingShortLoopsPlayAsThePlainLoops) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    ExpectRampingShortLoopsPlayAsThePlainLoops(Options());
}

// A short loop that a wrap leaves exactly one loop length past its end just as the span ends:
// the voice goes on inside the loop, never into the sample's tail after it. Loop 4..6, 3 points
// per frame from the loop start, spans of 2 frames: each span's second frame lands 2 past the end.
TEST_P(MixerWidths, WrapOfAWholeLoopLengthAtTheEndOfASpanStaysInTheLoop) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    std::vector<int16_t> points(13, 0);
    for (int i = 0; i < 10; ++i) points[i] = static_cast<int16_t>(1000 * (i + 1));
    points[6] = points[4];  // the loop's continuation point
    TwoWays song(points, 10, 4, 2, 1);
    Voice* fast = song.fast;
    fast[0].position = 4;
    fast[0].stepInteger = 3;
    fast[0].leftTarget = fast[0].rightTarget = 64;
    fast[0].leftVolume = fast[0].rightVolume = 64 * 128;
    fast[0].rampTargets = 64u << 16 | 64u;
    song.plain[0] = fast[0];
    for (int span = 0; span < 6; ++span) {
        std::vector<int32_t> fastSums(2 * 2), plainSums(2 * 2);
        song.Mix(fastSums.data(), plainSums.data(), 2, Options());
        ASSERT_TRUE(fastSums == plainSums) << "span " << span;
        ASSERT_EQ(fast[0].position, song.plain[0].position) << "span " << span;
    }
}

// The vector loops split every 64-bit product of the plain loops into parts that fit their
// multipliers: full-scale points of both signs, every fraction bit, volumes up to the 32767
// they accept and ramps in both directions must give the same sums and positions.
TEST_P(MixerWidths, KernelsMatchPlainLoopsAtTheEdgesOfTheirRange) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    const xm::mixer::MixerKernels& kernels = *GetParam().kernels;
    std::mt19937 engine(11);
    auto rng = [&] { return static_cast<uint32_t>(engine()); };
    std::vector<int16_t> data(4096 + 64);
    for (size_t i = 0; i < data.size(); ++i) {
        const int16_t extremes[] = {-32768, 32767, 0, -1};
        data[i] = rng() % 3 == 0 ? static_cast<int16_t>(rng()) : extremes[rng() % 4];
    }
    const int32_t volumes[] = {0, 1, 127, 16256, 32640, 32767};
    for (int round = 0; round < 600; ++round) {
        // Steps below 2 points keep a group's reads close together; larger ones spread them.
        const bool large = rng() % 4 == 0;
        const uint32_t frames = 1 + rng() % (large ? 64 : 300);
        const int64_t step = large            ? int64_t{2 + rng() % 6} << 32 | rng()
                             : rng() % 3 == 0 ? static_cast<int64_t>(rng())
                                              : int64_t{rng() % 7} << 30;
        const int64_t start = int64_t{512 + rng() % 2048} << 32 | rng();  // either way in bounds
        const int32_t left = volumes[rng() % 6], right = volumes[rng() % 6];
        // A ramp from `left` that stays within 0..32767 over the frames.
        const auto n = static_cast<int32_t>(frames);
        const int32_t increment = rng() % 2 == 0 ? 0
                                  : left > 16383 ? -left / n
                                                 : (32767 - left) / n;
        {
            const uint32_t bits = kernels.bits;
            std::vector<int32_t> plain(2 * frames, 7), vector(2 * frames, 7);
            const auto* points = data.data();
            const auto count = static_cast<uint32_t>(data.size());
            const int64_t a =
                xm::mixer::MixSteady(points, start, step, left, right, plain.data(), frames);
            const int64_t b =
                kernels.mixSteady(points, count, start, step, left, right, vector.data(), frames);
            ASSERT_EQ(a, b) << round;
            ASSERT_TRUE(plain == vector) << "steady, round " << round << ", vectors of " << bits;
            int32_t l1 = left, r1 = left, l2 = left, r2 = left;
            xm::mixer::MixRamping(points, start, -step, l1, r1, increment, 0, plain.data(), frames);
            kernels.mixRamping(points, count, start, -step, l2, r2, increment, 0, vector.data(),
                               frames);
            ASSERT_EQ(l1, l2) << round;
            ASSERT_TRUE(plain == vector) << "ramping, round " << round << ", vectors of " << bits;
        }
    }
}

// Each width's block conversion against the plain one: sums at the rounding edges (remainders
// 8159 and 8160), around the clamp, at both ends of the 32-bit range, at master volumes up to
// unity.
TEST_P(MixerWidths, BlockConversionMatchesThePlainConversion) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    const xm::mixer::MixerKernels& kernels = *GetParam().kernels;
    ASSERT_NE(kernels.convertBlock, nullptr);
    std::mt19937 engine(5);
    constexpr uint32_t kFrames = 1024;
    std::vector<int32_t> sums(2 * kFrames);
    const int32_t edges[] = {0,
                             8159,
                             8160,
                             16320 + 8159,
                             16320 + 8160,
                             32767 * 16320 - 8161,
                             32767 * 16320 + 8160,
                             INT32_MAX,
                             INT32_MIN,
                             -1};
    for (size_t i = 0; i < sums.size(); ++i) {
        const int32_t edge = edges[engine() % 10];
        sums[i] = engine() % 3 == 0 ? static_cast<int32_t>(engine())
                  : engine() % 2    ? edge
                                    : static_cast<int32_t>(0u - static_cast<uint32_t>(edge));
    }
    for (uint32_t volume : {1u, 12345u, 32767u, 32768u}) {
        std::vector<int16_t> plain(2 * kFrames), vector(2 * kFrames);
        const uint32_t a = xm::ConvertBlock(sums.data(), plain.data(), kFrames, volume, kPlain);
        const uint32_t b = kernels.convertBlock(sums.data(), vector.data(), kFrames, volume);
        EXPECT_EQ(a, b) << "levels at volume " << volume;
        EXPECT_TRUE(plain == vector) << "volume " << volume;
    }
}

}  // namespace
