// Any cell contents and instrument data, however odd, keep the voices within what the mixer
// takes (and, under the sanitizers, cause no undefined behaviour).
#include <gtest/gtest.h>

#include <random>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

void RandomiseInstrument(Instrument& ins, std::mt19937& rng) {
    auto byte = [&rng] { return static_cast<uint8_t>(rng() & 0xFF); };
    for (int i = 0; i < kEnvelopePoints; ++i) {
        ins.volumeEnvelope[i] = {static_cast<uint16_t>(rng() % 300), static_cast<uint16_t>(rng())};
        ins.panningEnvelope[i] = {static_cast<uint16_t>(rng() % 300), static_cast<uint16_t>(rng())};
    }
    ins.volumePointCount = byte();
    ins.panningPointCount = byte();
    ins.volumeSustain = byte();
    ins.volumeLoopStart = byte() % 16;
    ins.volumeLoopEnd = byte() % 16;
    ins.panningSustain = byte() % 16;
    ins.panningLoopStart = byte();
    ins.panningLoopEnd = byte() % 16;
    ins.volumeType = byte() & 7;
    ins.panningType = byte() & 7;
    ins.vibratoType = byte();
    ins.vibratoSweep = byte();
    ins.vibratoDepth = byte();
    ins.vibratoRate = byte();
    ins.fadeout = static_cast<uint16_t>(rng());
    for (uint8_t& s : ins.sampleForNote) s = byte() % 20;
}

TEST(Robustness, RandomSongsKeepEveryVoiceWithinRange) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        SongBuilder song(4, 3);
        for (int p = 0; p < 3; ++p) song.AddPattern(1 + static_cast<int>(rng() % 64));
        song.AddPattern(16, /*withCells=*/false);
        song.SetOrders({0, 1, 3, 2, 1, 0}, static_cast<int>(rng() % 8));
        if (seed % 2) song.SetAmiga();
        for (int i = 1; i <= 3; ++i) {
            RandomiseInstrument(song.instrument(i - 1), rng);
            for (int s = 0; s < 3; ++s) {
                Sample& sample =
                    song.AddSample(i, static_cast<uint32_t>(1 + rng() % 5000),
                                   static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()));
                sample.finetune = static_cast<int8_t>(rng());
                sample.relativeNote = static_cast<int8_t>(rng());
                sample.loopStart = static_cast<int32_t>(rng() % sample.length);
                sample.loopLength = static_cast<int32_t>(sample.length) - sample.loopStart;
            }
        }
        for (int p = 0; p < 3; ++p) {
            for (int r = 0; r < song.module().patterns[p].rows; ++r) {
                for (int c = 0; c < 4; ++c) {
                    Cell& cell = song.At(p, r, c);
                    cell.note = static_cast<uint8_t>(rng() % 100);
                    cell.instrument = static_cast<uint8_t>(rng() % 5);
                    cell.volume = static_cast<uint8_t>(rng());
                    cell.effect = static_cast<uint8_t>(rng() % 0x24);
                    cell.param = static_cast<uint8_t>(rng());
                }
            }
        }
        Module& m = song.module();
        SpanRecorder recorder;
        for (int block = 0; block < 400; ++block) {
            ASSERT_EQ(recorder.Run(m, 1024), TickOutcome::BlockDone);
            ASSERT_GE(m.order, 0);
            ASSERT_LT(m.order, m.songLength);
            for (int v = 0; v < 2 * m.channelCount; ++v) {
                const Voice& voice = m.voices[v];
                ASSERT_GE(voice.finalVolume, 0) << "seed " << seed;
                ASSERT_LE(voice.finalVolume, 127) << "seed " << seed;
                ASSERT_GE(voice.finalPanning, 0);
                ASSERT_LE(voice.finalPanning, 255);
                ASSERT_GE(voice.rightTarget, 0);
                ASSERT_LE(voice.rightTarget, 127);
                ASSERT_GE(voice.leftTarget, 0);
                ASSERT_LE(voice.leftTarget, 127);
                // Amiga period 1 gives the highest frequency, 14317456 Hz: 298 points.
                ASSERT_LE(voice.stepInteger, 298u);
            }
            for (int c = 0; c < m.channelCount; ++c) {
                const Channel& channel = m.channels[c];
                ASSERT_TRUE(channel.voice == &m.voices[2 * c] ||
                            channel.voice == &m.voices[2 * c + 1]);
                ASSERT_GE(channel.volumeEnvelopeOutput, 0);
                ASSERT_LE(channel.volumeEnvelopeOutput, 64);
                ASSERT_GE(channel.fadeVolume, 0);
            }
        }
        EXPECT_EQ(recorder.TotalFrames(), 400u * 1024u);
    }
}

}  // namespace
}  // namespace xm::test
