// The effects that run on every later tick: vibrato, tremolo, arpeggio, tone portamento, volume
// slide, tremor and multi retrigger.
#include "player/replay/replay.h"
#include "player/replay/saturating.h"

namespace xm {

namespace {

// round(127 * sin(pi * i / 32)) for i = 0..31: half a cycle of the vibrato and tremolo sine.
constexpr uint8_t kHalfSine[32] = {0,   12,  25,  37,  49,  60,  71,  81,  90,  98,  106,
                                   112, 117, 122, 125, 126, 127, 126, 125, 122, 117, 112,
                                   106, 98,  90,  81,  71,  60,  49,  37,  25,  12};

enum Waveform { kSine = 0, kRamp = 1 };

}  // namespace

int32_t OscillatorWave(int waveform, int position) {
    const int p = position & 63;
    switch (waveform & 3) {
        case kSine:
            return p < 32 ? kHalfSine[p] : -kHalfSine[p & 31];
        case kRamp:
            // A straight ramp down by 4 per position, through 0 at the cycle's start like the
            // sine, jumping from -124 to +127 halfway: always within -127..127.
            return p < 32 ? -4 * p : 255 - 4 * p;
        default:  // square
            return p < 32 ? 127 : -127;
    }
}

void Vibrato(Channel& channel) {
    const int32_t wave = OscillatorWave(channel.waveformControl & 3, channel.vibratoPosition);
    channel.vibratoPosition =
        static_cast<uint8_t>((channel.vibratoPosition + channel.vibratoSpeed) & 63);
    channel.periodDelta = ((wave * channel.vibratoDepth) >> 5) >> 1;
    channel.flags |= kUpdateFrequency;
}

void Tremolo(Channel& channel) {
    const int32_t wave =
        OscillatorWave((channel.waveformControl >> 4) & 3, channel.tremoloPosition);
    channel.tremoloPosition =
        static_cast<uint8_t>((channel.tremoloPosition + channel.tremoloSpeed) & 63);
    channel.volumeDelta = (wave * channel.tremoloDepth) >> 5;
    channel.flags |= kUpdateVolume;
}

void Arpeggio(ChannelTick& t) {
    const int x = t.cell.param >> 4, y = t.cell.param & 0x0F;
    const int semitones = (t.module.tick % 3 == 0) ? 0 : (t.module.tick % 3 == 1) ? x : y;
    if (t.module.flags & kLinearFrequencyTable) {
        t.channel.periodDelta = 64 * semitones;
    } else {
        // Amiga periods fall as the pitch rises: the delta is negative.
        t.channel.periodDelta = AmigaPeriod(t.channel.realNote + semitones, t.sample) -
                                AmigaPeriod(t.channel.realNote, t.sample);
    }
    t.channel.flags |= kUpdateFrequency;
}

void TonePortamento(Channel& channel) {
    const int64_t target = channel.portamentoTarget;
    const int64_t step = 4 * int64_t{channel.tonePortamentoSpeed};
    int64_t distance = channel.period - target;
    if (distance > 0) {
        distance -= step;
        channel.period = Saturate(distance < 0 ? target : target + distance);
    } else {
        distance += step;
        channel.period = Saturate(distance > 0 ? target : target + distance);
    }
    channel.flags |= kUpdateFrequency;
}

void VolumeSlide(Channel& channel) {
    const int up = channel.volumeSlideMemory >> 4, down = channel.volumeSlideMemory & 0x0F;
    channel.volume = SaturatingAdd(channel.volume, up != 0 ? up : -down);
    channel.flags |= kUpdateVolume;
}

void Tremor(Channel& channel) {
    channel.flags |= kUpdateVolume;
    if (channel.tremorCounter > channel.tremorOnTime) channel.volumeDelta = -channel.volume;
    if (channel.tremorCounter > channel.tremorOnTime + channel.tremorOffTime) {
        channel.tremorCounter = 0;
    } else {
        ++channel.tremorCounter;
    }
}

void MultiRetrigger(ChannelTick& t) {
    Channel& channel = t.channel;
    const int interval = channel.retriggerInterval;
    if (interval == 0 || t.module.tick % interval != 0) return;
    channel.flags |= kUpdateStart;
    if (channel.retriggerAction == 0) return;
    const int64_t volume = channel.volume;
    int64_t changed = volume;
    switch (channel.retriggerAction) {
        case 0x1:
            changed = volume - 1;
            break;
        case 0x2:
            changed = volume - 2;
            break;
        case 0x3:
            changed = volume - 4;
            break;
        case 0x4:
            changed = volume - 8;
            break;
        case 0x5:
            changed = volume - 16;
            break;
        case 0x6:
            changed = volume * 2 / 3;
            break;
        case 0x7:
            changed = volume >> 1;
            break;
        case 0x9:
            changed = volume + 1;
            break;
        case 0xA:
            changed = volume + 2;
            break;
        case 0xB:
            changed = volume + 4;
            break;
        case 0xC:
            changed = volume + 8;
            break;
        case 0xD:
            changed = volume + 16;
            break;
        case 0xE:
            changed = (volume * 3) >> 1;
            break;
        case 0xF:
            changed = volume * 2;
            break;
        default:
            break;  // 8: unchanged
    }
    channel.volume = Saturate(changed);
    channel.flags |= kUpdateVolume;
}

}  // namespace xm
