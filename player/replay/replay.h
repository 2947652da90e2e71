// The replay engine's inner steps, shared by its files: tick processing, envelopes, frequencies,
// the voice update, the volume column and the pattern effects. All of it runs on the worker
// thread (or whichever single thread owns the song) and allocates nothing.
#pragma once

#include <cstdint>

#include "player/song/records.h"

namespace xm {

// State shared by the channels of one row start.
struct RowFlow {
    bool jumped = false;  // a position jump (Bxx) in an earlier channel of this row
};

// What one channel's work on one tick sees: its cell, its sample and instrument, the song.
struct ChannelTick {
    Module& module;
    Channel& channel;
    int channelIndex;
    const Cell& cell;
    Sample& sample;  // NullSample when the instrument has none for the note
    const Instrument& instrument;
    RowFlow* flow;  // row start only; null on later ticks
    // Period, volume and panning before this row's note and instrument (note delay restores
    // them on the row's first tick).
    int32_t periodBeforeRow = 0, volumeBeforeRow = 0, panningBeforeRow = 0;
};

// An effect memory: a non-zero parameter is stored, zero keeps what was stored before.
inline void Remember(uint8_t& memory, uint8_t value) {
    if (value != 0) memory = value;
}

// --- Rows and ticks (engine.cpp) ---

// The first tick of the current row, for every channel in order.
void ProcessRow(Module& module);
// Any later tick of the current row, for every channel in order.
void ProcessTick(Module& module);
// The channel's instrument record; an empty one when the song has no record at its index.
const Instrument& InstrumentOf(const Module& module, const Channel& channel);
// The sample the instrument maps the channel's note to, or NullSample.
Sample& SampleOf(const Instrument& instrument, const Channel& channel);
// The resets an instrument number (or a delayed note) causes: envelope, auto-vibrato and key-off
// state, and the oscillator positions unless the waveform control keeps them.
void RestartInstrumentState(Channel& channel);

// --- Envelopes (envelopes.cpp) ---

enum class EnvelopeKind { Volume, Panning };

// Advances the volume or panning envelope by one tick and sets the matching update flag. Every
// point index is kept within the 12 points; values are taken as 0..64.
void StepEnvelope(Channel& channel, const Instrument& instrument, EnvelopeKind kind);
// Moves the volume envelope to `ticks` (effect Lxx). No-op unless the volume envelope is on.
void SetVolumeEnvelopePosition(Channel& channel, const Instrument& instrument, int ticks);
// Lowers the fade volume by the instrument's fadeout, not below 0.
void StepFadeout(Channel& channel, const Instrument& instrument);

// --- Periods and frequencies (frequency.cpp) ---

// Amiga-table period of real note `realNote` (any value) with the sample's finetune.
int32_t AmigaPeriod(int realNote, const Sample& sample);
// The period of real note `realNote` in the song's frequency table.
int32_t NotePeriod(const Module& module, int realNote, const Sample& sample);
// Playback frequency in Hz for a period and period delta: 40 Hz when their sum is 0 or less;
// otherwise 14317456 div the sum (Amiga table), or 8363 x 2^((4608 - period + periodDelta) / 768)
// rounded (linear table, where a positive delta raises the pitch).
uint32_t FrequencyHz(const Module& module, int32_t period, int32_t periodDelta);
// Writes the 32.32 step for `frequencyHz` into the voice.
void SetVoiceStep(Voice& voice, uint32_t frequencyHz);

// --- Voice update (voice_update.cpp) ---

// Moves the channel's result into its current voice: auto-vibrato, note start on the other
// voice of the pair, final volume, final panning and step, as the update flags ask.
void UpdateChannel(Module& module, int channelIndex, Sample& sample, const Instrument& instrument);
// The auto-vibrato wave value (-64..64) of instrument vibrato type `type` at position 0..255.
int32_t AutoVibratoWave(int type, int position);

// --- Volume column (volume_column.cpp) ---

// The cell's volume column on the row's first tick (and when a delayed note starts), and on
// every later tick. Volumes and panning are changed without limits.
void ApplyVolumeColumnRow(ChannelTick& t);
void ApplyVolumeColumnTick(ChannelTick& t);

// --- Effects (effects.cpp, extended_effects.cpp, song_flow.cpp, oscillators.cpp) ---

// The cell's effect on the row's first tick, and on every later tick (t.module.tick: 1 and up).
// Unassigned effect numbers do nothing.
void RunRowEffect(ChannelTick& t);
void RunTickEffect(ChannelTick& t);
// The same for the extended effects Exy, selected by x.
void RunExtendedRowEffect(ChannelTick& t);
void RunExtendedTickEffect(ChannelTick& t);

// Bxx, Dxy and E6y: they set the pending order and row; the row start takes them.
void PositionJump(ChannelTick& t);
void PatternBreak(ChannelTick& t);
void PatternLoop(ChannelTick& t);

// Vibrato and tremolo wave value at position 0..63 for waveform 0..3: -127..127.
int32_t OscillatorWave(int waveform, int position);
// One step of each oscillator or slide: they set this tick's deltas or change the channel, set
// the matching update flag, and run on the channel's memories.
void Vibrato(Channel& channel);
void Tremolo(Channel& channel);
void Arpeggio(ChannelTick& t);
void TonePortamento(Channel& channel);
void VolumeSlide(Channel& channel);
void Tremor(Channel& channel);
void MultiRetrigger(ChannelTick& t);

}  // namespace xm
