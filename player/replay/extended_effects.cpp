// The extended effects (Exy), selected by x, on the row's first tick and on later ticks.
#include "player/replay/replay.h"
#include "player/replay/saturating.h"

namespace xm {

namespace {

// EDy on the row's first tick: the note, volume and panning of this row wait for tick y.
void HoldDelayedNote(ChannelTick& t) {
    t.channel.period = t.periodBeforeRow;
    t.channel.volume = t.volumeBeforeRow;
    t.channel.panning = t.panningBeforeRow;
    t.channel.flags = 0;
}

// EDy on tick y: the held note starts as if its row began now.
void StartDelayedNote(ChannelTick& t) {
    Channel& channel = t.channel;
    channel.fadeVolume = 65536;
    channel.volume = t.sample.volume;
    channel.volumeEnvelopeOutput = channel.volumeEnvelopeOutput >= 10 ? 64 : 0;
    RestartInstrumentState(channel);
    channel.period = channel.notePeriod;
    channel.flags |= kUpdateStart | kUpdateFrequency | kUpdateVolume;
    ApplyVolumeColumnRow(t);
}

void SetFinetune(Sample& sample, uint8_t value) {
    // The shared silent sample stays all-zero whatever a song does to it.
    if (&sample != &NullSample) sample.finetune = static_cast<int8_t>(value);
}

}  // namespace

void RunExtendedRowEffect(ChannelTick& t) {
    Channel& channel = t.channel;
    const uint8_t y = t.cell.param & 0x0F;
    switch (t.cell.param >> 4) {
        case 0x1:  // E1 fine portamento up
            Remember(channel.finePortamentoUpMemory, y);
            channel.period = SaturatingAdd(channel.period, -4 * channel.finePortamentoUpMemory);
            break;
        case 0x2:  // E2 fine portamento down
            Remember(channel.finePortamentoDownMemory, y);
            channel.period = SaturatingAdd(channel.period, 4 * channel.finePortamentoDownMemory);
            break;
        case 0x4:  // E4 vibrato waveform
            channel.waveformControl = static_cast<uint8_t>((channel.waveformControl & 0xF0) | y);
            break;
        case 0x5:  // E5 set finetune
            SetFinetune(t.sample, y);
            break;
        case 0x6:  // E6 pattern loop
            PatternLoop(t);
            break;
        case 0x7:  // E7 tremolo waveform
            channel.waveformControl =
                static_cast<uint8_t>((channel.waveformControl & 0x0F) | (y << 4));
            break;
        case 0x8:  // E8 set panning
            channel.panning = y * 16;
            channel.flags |= kUpdatePanning;
            break;
        case 0xA:  // EA fine volume slide up
            if (y != 0) channel.fineVolumeSlideMemory = static_cast<int8_t>(-y);
            channel.volume = SaturatingAdd(channel.volume, -channel.fineVolumeSlideMemory);
            break;
        case 0xB:  // EB fine volume slide down
            if (y != 0) channel.fineVolumeSlideMemory = static_cast<int8_t>(y);
            channel.volume = SaturatingAdd(channel.volume, -channel.fineVolumeSlideMemory);
            break;
        case 0xD:  // ED note delay
            HoldDelayedNote(t);
            break;
        case 0xE:  // EE pattern delay
            t.module.patternDelay = y * t.module.speed;
            break;
        default:  // E0, E3, E9, EC and EF do nothing on the first tick
            break;
    }
}

void RunExtendedTickEffect(ChannelTick& t) {
    Channel& channel = t.channel;
    const int y = t.cell.param & 0x0F;
    const int tick = t.module.tick;
    switch (t.cell.param >> 4) {
        case 0x9:  // E9 retrigger
            if (y != 0 && tick % y == 0) {
                channel.flags |= kUpdateStart | kUpdateFrequency | kUpdateVolume;
            }
            break;
        case 0xC:  // EC note cut
            if (tick == y) {
                channel.volume = 0;
                channel.flags |= kUpdateVolume;
            }
            break;
        case 0xD:  // ED note delay
            if (tick == y) {
                StartDelayedNote(t);
            } else {
                channel.flags = 0;
            }
            break;
        default:
            break;
    }
}

}  // namespace xm
