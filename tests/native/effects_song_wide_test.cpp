// Song-wide values changed by effects (global volume, its slide memory, speed and tempo): the
// channels after the one that changes them see the change in the same tick.
#include <gtest/gtest.h>

#include <vector>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;

// `channels` channels that all play C-4 with instrument 1 (volume 64, centre) on row 0.
struct WideSong {
    SongBuilder song;
    WideSong(int channels, int speed) : song(channels) {
        song.AddPattern(16);
        song.AddSample(1, 1000000, 64, 128);
        song.SetSpeed(speed);
        for (int c = 0; c < channels; ++c) song.At(0, 0, c) = Cell{kC4, 1, 0, 0, 0};
    }
    void Effect(int row, int channel, uint8_t effect, uint8_t param) {
        song.At(0, row, channel).effect = effect;
        song.At(0, row, channel).param = param;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) RunOneTick(song.module());
    }
    std::vector<int32_t> FinalVolumes() {
        std::vector<int32_t> out;
        for (int c = 0; c < song.module().channelCount; ++c) {
            out.push_back(song.channel(c).voice->finalVolume);
        }
        return out;
    }
    // How many ticks each of the next `rows` rows lasts (rows follow one another here).
    std::vector<int> RowLengths(int rows) {
        std::vector<int> lengths;
        Module& m = song.module();
        int current = -1;
        for (int guard = 0; guard < 1000; ++guard) {
            RunOneTick(m);
            if (m.row != current) {
                if (static_cast<int>(lengths.size()) == rows) break;
                lengths.push_back(0);
                current = m.row;
            }
            ++lengths.back();
        }
        return lengths;
    }
};

TEST(SongWide, GlobalVolumeSetByAChannelReachesTheChannelsAfterItInTheSameTick) {
    WideSong s(3, 2);
    s.Effect(1, 1, 0x10, 0x20);  // G20 in the middle channel
    s.Ticks(2);
    EXPECT_EQ(s.FinalVolumes(), (std::vector<int32_t>{127, 127, 127}));
    s.Ticks(1);
    // Channel 0 was updated before the change; 255 x 64 x 32 x 64 x 65536 >> 35 = 63.
    EXPECT_EQ(s.FinalVolumes(), (std::vector<int32_t>{127, 63, 63}));
    s.Ticks(1);  // a change of the global volume sets no flag of its own
    EXPECT_EQ(s.FinalVolumes(), (std::vector<int32_t>{127, 63, 63}));
    s.Ticks(1);  // the next row start sets every channel's volume flag
    EXPECT_EQ(s.FinalVolumes(), (std::vector<int32_t>{63, 63, 63}));
}

TEST(SongWide, SpeedSetByAChannelIsTheSpeedThatLaterChannelsUse) {
    WideSong s(2, 6);
    s.Effect(0, 0, 0x0F, 0x03);  // F03, then EE1 later in the row: 3 + 1 x 3 ticks
    s.Effect(0, 1, 0x0E, 0xE1);
    s.Effect(1, 0, 0x0E, 0xE1);  // EE1 (with speed 3), then F02: 2 + 1 x 3 ticks
    s.Effect(1, 1, 0x0F, 0x02);
    EXPECT_EQ(s.RowLengths(4), (std::vector<int>{6, 5, 2, 2}));
}

TEST(SongWide, F1FIsTheHighestSpeedAndF20TheLowestTempo) {
    WideSong s(1, 6);
    s.Effect(0, 0, 0x0F, 0x1F);
    s.Effect(1, 0, 0x0F, 0x20);
    s.Ticks(1);
    EXPECT_EQ(s.song.module().speed, 31);
    EXPECT_EQ(s.song.module().framesPerTick, 960u);
    s.Ticks(31);
    EXPECT_EQ(s.song.module().row, 1);
    EXPECT_EQ(s.song.module().speed, 31);
    EXPECT_EQ(s.song.module().framesPerTick, 3750u);  // 120000 div 32
}

TEST(SongWide, GlobalVolumeSlideMemoryIsSharedByAllChannels) {
    WideSong s(2, 3);
    s.Effect(0, 0, 0x11, 0x03);  // H03: down 3 on each later tick
    s.Effect(1, 1, 0x11, 0x00);  // the other channel's H00 slides with the same 03
    s.Effect(2, 0, 0x11, 0x00);  // both slide, and with the 05 that the later channel stores
    s.Effect(2, 1, 0x11, 0x05);
    s.Effect(3, 0, 0x11, 0x20);  // up 2, twice per tick
    s.Effect(3, 1, 0x11, 0x00);
    std::vector<int32_t> afterRows;
    for (int row = 0; row < 4; ++row) {
        s.Ticks(3);
        afterRows.push_back(s.song.module().globalVolume);
    }
    EXPECT_EQ(afterRows, (std::vector<int32_t>{58, 52, 32, 40}));
    EXPECT_EQ(s.song.module().globalVolumeSlideMemory, 0x20);
}

}  // namespace
}  // namespace xm::test
