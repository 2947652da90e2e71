// The last step of every channel on every tick: its result goes into its current voice.
#include <algorithm>
#include <cstdlib>

#include "player/replay/replay.h"

namespace xm {

namespace {

// round(64 * sin(pi * i / 128)) for i = 0..64: a quarter of the auto-vibrato sine.
constexpr uint8_t kQuarterSine[65] = {
    0,  2,  3,  5,  6,  8,  9,  11, 12, 14, 16, 17, 19, 20, 22, 23, 24, 26, 27, 29, 30, 32,
    33, 34, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56,
    56, 57, 58, 59, 59, 60, 60, 61, 61, 62, 62, 62, 63, 63, 63, 64, 64, 64, 64, 64, 64};

// 255 x 64 x 64: the loudest channel volume x global volume product.
constexpr int64_t kVolumeProductTop = 1044480;

void AutoVibrato(Channel& channel, const Instrument& instrument) {
    const int32_t wave = AutoVibratoWave(instrument.vibratoType, channel.autoVibratoPosition);
    const int32_t sweep = instrument.vibratoSweep;
    const int32_t depth = instrument.vibratoDepth;
    const int32_t amount =
        sweep > 0 ? channel.autoVibratoSweep * depth * wave / sweep : depth * wave;
    channel.periodDelta += amount >> 6;
    channel.autoVibratoSweep = std::min(channel.autoVibratoSweep + 1, sweep);
    channel.autoVibratoPosition = (channel.autoVibratoPosition + instrument.vibratoRate) & 0xFF;
    channel.flags |= kUpdateFrequency;
}

Voice& OtherVoice(Module& module, int channelIndex, const Voice* voice) {
    Voice* pair = &module.voices[2 * channelIndex];
    return voice == pair ? pair[1] : pair[0];
}

// The new note fades in on the pair's other voice while the old one fades out where it is.
void StartNote(Module& module, int channelIndex, Channel& channel, const Sample& sample) {
    Voice* voice = channel.voice;
    if (voice->sample != nullptr) {
        Voice& next = OtherVoice(module, channelIndex, voice);
        next.finalVolume = voice->finalVolume;
        next.finalPanning = voice->finalPanning;
        next.startOffset = voice->startOffset;
        next.rightTarget = voice->rightTarget;
        next.leftTarget = voice->leftTarget;
        next.position = voice->position;
        next.stepFraction = voice->stepFraction;
        next.stepInteger = voice->stepInteger;
        next.rampTargets = voice->rampTargets;
        next.rightIncrement = voice->rightIncrement;
        next.leftIncrement = voice->leftIncrement;
        voice->finalVolume = 0;
        voice->rightTarget = 0;
        voice->leftTarget = 0;
        voice = &next;
        channel.voice = voice;
    }
    voice->sample = &sample;
    voice->positionFraction = 0;
    voice->rightVolume = voice->leftVolume = 0;
    voice->rampFramesLeft = 0;
    voice->direction = 0;
    voice->position = static_cast<int32_t>(voice->startOffset);
    voice->startOffset = 0;
}

void SetTargets(Voice& voice) {
    voice.rightTarget = voice.finalVolume * voice.finalPanning / 255;
    voice.leftTarget = voice.finalVolume * (255 - voice.finalPanning) / 255;
}

void UpdateVolume(const Module& module, const Channel& channel, Voice& voice) {
    // Each factor is pinned where the product's limit is passed anyway, keeping signs.
    const int64_t volume = std::clamp<int64_t>(int64_t{channel.volume} + channel.volumeDelta,
                                               -kVolumeProductTop - 1, kVolumeProductTop + 1);
    const int64_t global =
        std::clamp<int64_t>(module.globalVolume, -kVolumeProductTop - 1, kVolumeProductTop + 1);
    const int64_t product = std::clamp<int64_t>(255 * volume * global, 0, kVolumeProductTop);
    const int64_t envelope = std::clamp(channel.volumeEnvelopeOutput, 0, 64);
    const int64_t fade = std::clamp(channel.fadeVolume, 0, 65536);
    voice.finalVolume = static_cast<int32_t>((product * envelope * fade) >> 35);
    SetTargets(voice);
}

void UpdatePanning(const Channel& channel, Voice& voice) {
    const int64_t panning = channel.panning;
    const int64_t room = (128 - std::abs(panning - 128)) >> 5;
    const int64_t envelope = std::clamp(channel.panningEnvelopeOutput, 0, 64);
    voice.finalPanning =
        static_cast<int32_t>(std::clamp<int64_t>(panning + (envelope - 32) * room, 0, 255));
    SetTargets(voice);
}

}  // namespace

int32_t AutoVibratoWave(int type, int position) {
    const int q = position & 0xFF;
    switch (type) {
        case 0: {
            const int i = q & 0x7F;
            const int32_t value = kQuarterSine[i <= 64 ? i : 128 - i];
            return q >= 128 ? -value : value;
        }
        case 1:
            return q < 128 ? 64 : -64;
        case 2:
            return (128 - ((q - 128) & 0xFF)) >> 1;
        default:
            return (128 - ((128 - q) & 0xFF)) >> 1;
    }
}

void UpdateChannel(Module& module, int channelIndex, Sample& sample, const Instrument& instrument) {
    Channel& channel = module.channels[channelIndex];
    AutoVibrato(channel, instrument);
    if (channel.flags & kUpdateStart) StartNote(module, channelIndex, channel, sample);
    Voice& voice = *channel.voice;
    if (channel.flags & kUpdateVolume) UpdateVolume(module, channel, voice);
    if (channel.flags & kUpdatePanning) UpdatePanning(channel, voice);
    if (channel.flags & kUpdateFrequency) {
        SetVoiceStep(voice, FrequencyHz(module, channel.period, channel.periodDelta));
    }
}

}  // namespace xm
