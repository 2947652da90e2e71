// The effect column: what each effect does on the row's first tick and on its later ticks.
#include <algorithm>

#include "player/replay/replay.h"
#include "player/replay/saturating.h"

namespace xm {

namespace {

constexpr uint8_t kNotStarting = static_cast<uint8_t>(~(kUpdateStart | kUpdateFrequency));

// 9xx: a start offset beyond the loop end rewinds the playing voice instead of starting a note.
void SampleOffset(ChannelTick& t) {
    Channel& channel = t.channel;
    if (t.cell.param != 0) channel.sampleOffset = t.cell.param * 256;
    const int64_t loopEnd = int64_t{t.sample.loopStart} + t.sample.loopLength;
    Voice& voice = *channel.voice;
    if (channel.sampleOffset < loopEnd) {
        voice.startOffset = static_cast<uint32_t>(channel.sampleOffset);
        return;
    }
    channel.flags &= static_cast<uint8_t>(~kUpdateStart);
    voice.position = 0;
    voice.positionFraction = 0;
    voice.startOffset = 0;
}

void SetSpeedOrTempo(Module& module, uint8_t param) {
    if (param < 32) {
        module.speed = param;
    } else {
        SetTempo(module, param);
    }
}

void ExtraFinePortamento(Channel& channel, uint8_t param) {
    const uint8_t y = param & 0x0F;
    switch (param >> 4) {
        case 1:
            Remember(channel.extraFinePortamentoUpMemory, y);
            channel.period = SaturatingAdd(channel.period, -channel.extraFinePortamentoUpMemory);
            break;
        case 2:
            Remember(channel.extraFinePortamentoDownMemory, y);
            channel.period = SaturatingAdd(channel.period, channel.extraFinePortamentoDownMemory);
            break;
        default:
            break;
    }
}

void PanningSlide(Channel& channel) {
    const int right = channel.panningSlideMemory >> 4, left = channel.panningSlideMemory & 0x0F;
    if (right != 0) {
        channel.panning = std::min(SaturatingAdd(channel.panning, right), 255);
    } else {
        channel.panning = std::max(SaturatingAdd(channel.panning, -left), 0);
    }
    channel.flags |= kUpdatePanning;
}

void GlobalVolumeSlide(Module& module) {
    const int up = module.globalVolumeSlideMemory >> 4;
    const int down = module.globalVolumeSlideMemory & 0x0F;
    module.globalVolume = SaturatingAdd(module.globalVolume, up != 0 ? up : -down);
}

// Portamento up (-1) or down (+1) by four times the shared memory, never below period 1.
void Portamento(Channel& channel, int direction) {
    const int64_t period = int64_t{channel.period} + direction * 4 * channel.portamentoMemory;
    channel.period = Saturate(std::max<int64_t>(period, 1));
    channel.flags |= kUpdateFrequency;
}

}  // namespace

void RunRowEffect(ChannelTick& t) {
    Channel& channel = t.channel;
    const uint8_t p = t.cell.param;
    switch (t.cell.effect) {
        case 0x01:  // 1 portamento up
        case 0x02:  // 2 portamento down
            Remember(channel.portamentoMemory, p);
            break;
        case 0x03:  // 3 tone portamento
            Remember(channel.tonePortamentoSpeed, p);
            channel.portamentoTarget = channel.notePeriod;
            channel.flags &= kNotStarting;
            break;
        case 0x04:  // 4 vibrato
            if (p >> 4) channel.vibratoSpeed = p >> 4;
            if (p & 0x0F) channel.vibratoDepth = p & 0x0F;
            Vibrato(channel);
            break;
        case 0x05:  // 5 tone portamento + volume slide
            Remember(channel.volumeSlideMemory, p);
            channel.portamentoTarget = channel.notePeriod;
            channel.flags &= kNotStarting;
            break;
        case 0x06:  // 6 vibrato + volume slide
            Remember(channel.volumeSlideMemory, p);
            Vibrato(channel);
            break;
        case 0x07:  // 7 tremolo
            if (p >> 4) channel.tremoloSpeed = p >> 4;
            if (p & 0x0F) channel.tremoloDepth = p & 0x0F;
            break;
        case 0x08:  // 8 set panning
            channel.panning = p;
            channel.flags |= kUpdatePanning;
            break;
        case 0x09:  // 9 sample offset
            SampleOffset(t);
            break;
        case 0x0A:  // A volume slide
            Remember(channel.volumeSlideMemory, p);
            break;
        case 0x0B:  // B position jump
            PositionJump(t);
            break;
        case 0x0C:  // C set volume
            channel.volume = p;
            break;
        case 0x0D:  // D pattern break
            PatternBreak(t);
            break;
        case 0x0E:  // E extended
            RunExtendedRowEffect(t);
            break;
        case 0x0F:  // F speed or tempo
            SetSpeedOrTempo(t.module, p);
            break;
        case 0x10:  // G set global volume
            t.module.globalVolume = p;
            break;
        case 0x11:  // H global volume slide
            Remember(t.module.globalVolumeSlideMemory, p);
            break;
        case 0x15:  // L set envelope position
            SetVolumeEnvelopePosition(channel, t.instrument, p);
            break;
        case 0x19:  // P panning slide
            if (p != 0) {
                channel.panningSlideMemory = p;
                channel.flags |= kUpdatePanning;
            }
            break;
        case 0x1B:  // R multi retrigger
            if (p != 0) {
                channel.retriggerAction = p >> 4;
                channel.retriggerInterval = p & 0x0F;
            }
            break;
        case 0x1D:  // T tremor
            if (p != 0) {
                channel.tremorOnTime = p >> 4;
                channel.tremorOffTime = p & 0x0F;
            }
            Tremor(channel);
            break;
        case 0x21:  // X extra fine portamento
            ExtraFinePortamento(channel, p);
            break;
        default:  // 0 arpeggio and K key off act elsewhere; the rest are unassigned
            break;
    }
}

void RunTickEffect(ChannelTick& t) {
    Channel& channel = t.channel;
    switch (t.cell.effect) {
        case 0x00:  // 0 arpeggio
            if (t.cell.param != 0) Arpeggio(t);
            break;
        case 0x01:  // 1 portamento up
            Portamento(channel, -1);
            break;
        case 0x02:  // 2 portamento down
            Portamento(channel, +1);
            break;
        case 0x03:  // 3 tone portamento
            TonePortamento(channel);
            break;
        case 0x04:  // 4 vibrato
            Vibrato(channel);
            break;
        case 0x05:  // 5 tone portamento + volume slide
            TonePortamento(channel);
            VolumeSlide(channel);
            break;
        case 0x06:  // 6 vibrato + volume slide
            Vibrato(channel);
            VolumeSlide(channel);
            break;
        case 0x07:  // 7 tremolo
            Tremolo(channel);
            break;
        case 0x0A:  // A volume slide
            VolumeSlide(channel);
            break;
        case 0x0E:  // E extended
            RunExtendedTickEffect(t);
            break;
        case 0x11:  // H global volume slide
            GlobalVolumeSlide(t.module);
            break;
        case 0x19:  // P panning slide
            PanningSlide(channel);
            break;
        case 0x1B:  // R multi retrigger
            MultiRetrigger(t);
            break;
        case 0x1D:  // T tremor
            Tremor(channel);
            break;
        default:
            break;
    }
}

}  // namespace xm
