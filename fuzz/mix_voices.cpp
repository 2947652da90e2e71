// Differential target for the mixer: voices the fuzzer builds, on samples it builds, mixed span by
// span with every vector width this machine runs and with the shortcuts, against the plain loops
// alone. The sums, the block conversion and every voice's state must match bit for bit; any
// difference aborts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "player/mixer/block_conversion.h"
#include "player/mixer/mixer.h"
#include "player/mixer/mixer_kernels.h"
#include "player/song/records.h"

namespace {

constexpr int kMaxSamples = 4;
constexpr int kMaxChannels = 4;
constexpr int kMaxSpans = 8;
constexpr uint32_t kBlockFrames = 1024;

struct Song {
    std::vector<std::vector<int16_t>> points;
    std::vector<xm::Sample> samples;
    std::vector<xm::Voice> voices;
    std::vector<uint32_t> spans;
    std::vector<int32_t> targetChanges;  // per span: voice index << 16 | left << 8 | right, or -1
};

// Samples of every loop kind, with the point after the loop end mostly as the loader stores it.
void BuildSamples(FuzzedDataProvider& in, Song& song) {
    const int count = in.ConsumeIntegralInRange(1, kMaxSamples);
    song.points.resize(count);
    song.samples.resize(count);
    for (int i = 0; i < count; ++i) {
        const uint32_t length = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(1, 64)
                                                 : in.ConsumeIntegralInRange<uint32_t>(1, 6000);
        std::vector<int16_t>& p = song.points[i];
        p.resize(length + 3);
        const uint16_t seed = in.ConsumeIntegral<uint16_t>();
        const bool extremes = in.ConsumeBool();
        for (uint32_t k = 0; k < p.size(); ++k) {
            const uint32_t x = (seed + k * 40503u) * 2654435761u;
            p[k] = extremes ? (x >> 31 ? int16_t{32767} : int16_t{-32768})
                            : static_cast<int16_t>(x >> 16);
        }
        xm::Sample& s = song.samples[i];
        s.length = length;
        s.loopType = in.ConsumeIntegralInRange<uint8_t>(0, 3);
        s.loopStart = static_cast<int32_t>(in.ConsumeIntegralInRange<uint32_t>(0, length - 1));
        s.loopLength = static_cast<int32_t>(
            in.ConsumeIntegralInRange<uint32_t>(1, length - static_cast<uint32_t>(s.loopStart)));
        const int32_t end = s.loopStart + s.loopLength;
        if (!in.ConsumeBool() || in.ConsumeBool()) {
            if (s.loopType == 1) p[end] = p[s.loopStart];
            if (s.loopType == 2) p[end] = p[end - 1];
        }
        s.data = p.data();
    }
}

// Voices anywhere the replay engine can leave them, and ramps under way.
void BuildVoices(FuzzedDataProvider& in, Song& song, int channels) {
    song.voices.resize(2 * channels);
    for (xm::Voice& v : song.voices) {
        if (in.ConsumeIntegralInRange(0, 7) == 0) continue;  // idle
        const xm::Sample& s =
            song.samples[in.ConsumeIntegralInRange<size_t>(0, song.samples.size() - 1)];
        v.sample = &s;
        v.position = static_cast<int32_t>(in.ConsumeIntegralInRange<uint32_t>(0, s.length + 1));
        v.positionFraction = in.ConsumeIntegral<uint32_t>();
        const bool insideLoop =
            v.position > s.loopStart && v.position <= s.loopStart + s.loopLength;
        v.direction = s.loopType == 2 && insideLoop && in.ConsumeBool() ? 1 : 0;
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:  // around the 40 Hz floor
                v.stepInteger = 0;
                v.stepFraction = in.ConsumeIntegralInRange<uint32_t>(0, 1u << 28);
                break;
            case 1:  // short loops unrolled, long steps spreading a group's reads
                v.stepInteger = in.ConsumeIntegralInRange<uint32_t>(0, 40);
                v.stepFraction = in.ConsumeIntegral<uint32_t>();
                break;
            default:
                v.stepInteger = in.ConsumeIntegralInRange<uint32_t>(0, 2);
                v.stepFraction = in.ConsumeIntegral<uint32_t>();
        }
        const bool silent = in.ConsumeBool();
        v.leftTarget = silent ? 0 : in.ConsumeIntegralInRange(0, 127);
        v.rightTarget = silent ? 0 : in.ConsumeIntegralInRange(0, 127);
        v.leftVolume = in.ConsumeBool() ? 128 * in.ConsumeIntegralInRange(0, 127)
                                        : in.ConsumeIntegralInRange(0, 16256);
        v.rightVolume = in.ConsumeBool() ? 128 * in.ConsumeIntegralInRange(0, 127)
                                         : in.ConsumeIntegralInRange(0, 16256);
        v.rampTargets =
            static_cast<uint32_t>(v.leftTarget) << 16 | static_cast<uint32_t>(v.rightTarget);
        if (in.ConsumeBool()) {
            v.rampFramesLeft = in.ConsumeIntegralInRange<uint16_t>(1, 128);
            v.leftIncrement = in.ConsumeIntegralInRange(-128, 128);
            v.rightIncrement = in.ConsumeIntegralInRange(-128, 128);
        }
    }
}

void BuildSpans(FuzzedDataProvider& in, Song& song) {
    const int spans = in.ConsumeIntegralInRange(1, kMaxSpans);
    for (int i = 0; i < spans; ++i) {
        song.spans.push_back(in.ConsumeIntegralInRange<uint32_t>(1, kBlockFrames));
        int32_t change = -1;
        if (in.ConsumeBool()) {
            const auto voice = in.ConsumeIntegralInRange<uint32_t>(0, 2 * kMaxChannels - 1);
            change = static_cast<int32_t>(voice << 16 | in.ConsumeIntegralInRange(0u, 127u) << 8 |
                                          in.ConsumeIntegralInRange(0u, 127u));
        }
        song.targetChanges.push_back(change);
    }
}

struct Outcome {
    std::vector<int32_t> sums;
    std::vector<int16_t> converted;
    std::vector<uint32_t> levels;
    std::vector<xm::Voice> voices;
};

Outcome Mix(const Song& song, const xm::MixerOptions& options) {
    Outcome out;
    out.voices = song.voices;
    xm::Module module{};
    module.channelCount = static_cast<int32_t>(out.voices.size() / 2);
    module.voices = out.voices.data();
    std::vector<int32_t> block(2 * kBlockFrames);
    std::vector<int16_t> converted(2 * kBlockFrames);
    for (size_t i = 0; i < song.spans.size(); ++i) {
        std::fill(block.begin(), block.end(), 0);
        xm::MixVoices(module, block.data(), song.spans[i], options);
        out.sums.insert(out.sums.end(), block.begin(), block.begin() + 2 * song.spans[i]);
        out.levels.push_back(xm::ConvertBlock(block.data(), converted.data(), kBlockFrames,
                                              1 + (song.spans[i] * 41u) % 32768u, options));
        out.converted.insert(out.converted.end(), converted.begin(), converted.end());
        const int32_t change = song.targetChanges[i];
        if (change >= 0 && static_cast<size_t>(change >> 16) < out.voices.size()) {
            out.voices[change >> 16].leftTarget = (change >> 8) & 0xFF;
            out.voices[change >> 16].rightTarget = change & 0xFF;
        }
    }
    return out;
}

// The ramp's increments and targets matter only while it runs.
bool SameVoice(const xm::Voice& a, const xm::Voice& b) {
    const bool sameRamp = a.rampFramesLeft == b.rampFramesLeft &&
                          (a.rampFramesLeft == 0 || (a.leftIncrement == b.leftIncrement &&
                                                     a.rightIncrement == b.rightIncrement &&
                                                     a.rampTargets == b.rampTargets));
    return a.sample == b.sample && a.position == b.position &&
           a.positionFraction == b.positionFraction && a.direction == b.direction &&
           a.leftVolume == b.leftVolume && a.rightVolume == b.rightVolume && sameRamp &&
           a.stepFraction == b.stepFraction;
}

void Expect(bool same, const char* what, uint32_t bits) {
    if (same) return;
    std::fprintf(stderr, "mix_voices: %s differ from the plain loops with vectors of %u bits\n",
                 what, bits);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Song song;
    BuildSamples(in, song);
    BuildVoices(in, song, in.ConsumeIntegralInRange(1, kMaxChannels));
    BuildSpans(in, song);

    const Outcome plain = Mix(song, {false, 0});
    // The shortcuts alone, then every width this processor runs.
    std::vector<uint32_t> widths{0};
    int count = 0;
    const xm::mixer::BuiltWidth* built = xm::mixer::BuiltWidths(count);
    for (int i = 0; i < count; ++i) {
        if (built[i].runsHere) widths.push_back(built[i].kernels->bits);
    }
    for (uint32_t bits : widths) {
        const Outcome fast = Mix(song, {true, bits});
        Expect(fast.sums == plain.sums, "sums", bits);
        Expect(fast.converted == plain.converted && fast.levels == plain.levels, "converted blocks",
               bits);
        bool sameVoices = fast.voices.size() == plain.voices.size();
        for (size_t i = 0; sameVoices && i < fast.voices.size(); ++i) {
            sameVoices = SameVoice(fast.voices[i], plain.voices[i]);
        }
        Expect(sameVoices, "voices", bits);
    }
    return 0;
}
