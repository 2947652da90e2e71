// The song in memory and the playback state records of the module player.
//
// Module, Pattern, Instrument and Sample are built by the loader; Channel and Voice are the
// replay engine's per-channel state and the mixer's sample-playing voices (two per channel, so a
// new note fades in on one while the old one fades out on the other). Everything here is plain
// data allocated zero-filled from the song's arena; a zero record is the correct initial state
// unless a comment says otherwise.
//
// Fixed-point formats: sample positions and steps are 32.32 (whole part and fraction in separate
// fields); envelope values and slopes are 16.16.
#pragma once

#include <atomic>
#include <cstdint>

namespace xm {

inline constexpr uint32_t kOutputRate = 48000;  // frames per second, fixed
inline constexpr int kMaxChannels = 64;
inline constexpr int kSamplesPerInstrument = 16;
inline constexpr int kEnvelopePoints = 12;
inline constexpr int kNotes = 96;

// One pattern cell, as unpacked at load time (5 bytes).
struct Cell {
    uint8_t note;        // 0 none, 1..96 notes (1 = C-0), 97 key off; not checked
    uint8_t instrument;  // 1-based, 0 none (the loader turns numbers above the count into 0)
    uint8_t volume;      // volume column byte
    uint8_t effect;      // effect type
    uint8_t param;       // effect parameter
};
static_assert(sizeof(Cell) == 5);

struct Pattern {
    uint16_t rows;
    uint16_t packedSize;  // as stored; not used after loading
    Cell* cells;          // rows x channel count, row by row; null: a pattern without notes
};

// Sample record. `data` points at length + 3 signed 16-bit points; the point at the loop end
// holds the loop's continuation so that interpolation never needs a branch.
struct Sample {
    uint32_t length;     // in points, below 4,194,304
    int32_t loopStart;   // in points
    int32_t loopLength;  // in points; the whole length for a sample without loop
    uint8_t volume;
    int8_t finetune;
    uint8_t is16Bit;
    uint8_t panning;
    int8_t relativeNote;
    uint8_t compression;  // 0xAD marked 4-bit compressed data
    uint8_t loopType;     // 0 none, 1 forward, 2 ping-pong, 3 both file bits (plays once)
    uint8_t spare;
    int16_t* data;
};

// The all-zero sample with one point played when an instrument has no sample for a note.
extern Sample NullSample;

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;
};

// Envelope type bits.
inline constexpr uint8_t kEnvelopeOn = 1, kEnvelopeSustain = 2, kEnvelopeLoop = 4;

struct Instrument {
    Sample* samples[kSamplesPerInstrument];  // null beyond the instrument's sample count
    // The file's instrument header bytes 33..240, field by field:
    uint8_t sampleForNote[kNotes];  // not checked against the sample count
    EnvelopePoint volumeEnvelope[kEnvelopePoints];
    EnvelopePoint panningEnvelope[kEnvelopePoints];
    uint8_t volumePointCount;
    uint8_t panningPointCount;
    uint8_t volumeSustain, volumeLoopStart, volumeLoopEnd;
    uint8_t panningSustain, panningLoopStart, panningLoopEnd;
    uint8_t volumeType, panningType;  // kEnvelope* bits; 0 when fewer than 2 points
    uint8_t vibratoType, vibratoSweep, vibratoDepth, vibratoRate;
    uint16_t fadeout;  // twice the file's value, wrapping at 16 bits
};

// Voice: the mixer's unit of playback.
struct Voice {
    int32_t finalVolume;              // 0..127
    int32_t finalPanning;             // 0..255
    uint32_t startOffset;             // sample point at which the next note start begins
    int32_t rightTarget, leftTarget;  // 0..127
    // -- the fields above are copied to the other voice of the pair at a note start --
    int32_t position;       // whole sample points (two's complement; -1 only transiently)
    uint32_t stepFraction;  // 32.32 step: stepInteger + stepFraction / 2^32 points per frame
    uint32_t stepInteger;
    uint32_t rampTargets;                   // right target in the low half, left in the high half
    int32_t rightIncrement, leftIncrement;  // per-frame volume change of the running ramp
    // -- end of the copied range --
    const Sample* sample;  // null: idle
    uint32_t positionFraction;
    int32_t rightVolume, leftVolume;  // current volumes in 1/128 target steps (0..16256)
    uint16_t rampFramesLeft;
    uint8_t direction;  // 0 forward, 1 backward (ping-pong)
};

// Channel update flags, set during a tick and consumed by UpdateChannel.
inline constexpr uint8_t kUpdateFrequency = 1, kUpdateVolume = 2, kUpdatePanning = 4,
                         kUpdateStart = 8;

// Channel: the replay engine's state for one module channel.
struct Channel {
    uint8_t note;        // 0..95 (0 = C-0), the last note taken from a cell
    uint8_t flags;       // kUpdate* bits
    uint8_t instrument;  // 0-based index of the current instrument
    Voice* voice;        // current voice: one of the channel's two
    int32_t period;
    int32_t volume;       // nominally 0..64; slides do not limit it
    int32_t volumeDelta;  // this tick's tremolo / tremor change
    int32_t periodDelta;  // this tick's vibrato / arpeggio / auto-vibrato change
    int32_t panning;      // nominally 0..255
    int32_t volumeEnvelopeTick, volumeEnvelopeNext, volumeEnvelopeSlope;  // slope 16.16 per tick
    int32_t panningEnvelopeTick, panningEnvelopeNext, panningEnvelopeSlope;
    int32_t autoVibratoSweep;
    int32_t autoVibratoPosition;  // 0..255
    uint8_t keyOff;
    uint8_t volumeEnvelopeFinished, panningEnvelopeFinished;
    int32_t volumeEnvelopeValue;    // 16.16
    int32_t volumeEnvelopeOutput;   // 0..64
    int32_t fadeVolume;             // 65536 = full
    int32_t panningEnvelopeValue;   // 16.16
    int32_t panningEnvelopeOutput;  // 0..64, 32 = centre
    int32_t notePeriod;             // period of the last note (tone portamento target source)
    int32_t sampleOffset;           // memory of 9xx, in points (parameter x 256)
    int32_t portamentoTarget;
    uint8_t patternLoopCounter;
    int32_t patternLoopStartRow;
    uint8_t realNote;          // note + the sample's relative note (8 bits as stored)
    uint8_t previousEffect;    // effect number of the previous row
    uint8_t portamentoMemory;  // shared by 1xx and 2xx
    uint8_t extraFinePortamentoDownMemory, extraFinePortamentoUpMemory;  // X2y, X1y
    uint8_t volumeSlideMemory;                                           // shared by 5xy, 6xy, Axy
    uint8_t panningSlideMemory;                                          // Pxy
    uint8_t retriggerAction, retriggerInterval;                          // x and y of Rxy
    uint8_t tonePortamentoSpeed;                                         // 3xx and volume column F
    uint8_t vibratoPosition, vibratoSpeed, vibratoDepth;                 // position 0..63
    uint8_t tremoloPosition, tremoloSpeed, tremoloDepth;
    uint8_t tremorCounter, tremorOnTime, tremorOffTime;
    uint8_t waveformControl;                                   // low nibble E4x, high nibble E7x
    int8_t fineVolumeSlideMemory;                              // EAx stores -x, EBx stores +x
    uint8_t finePortamentoUpMemory, finePortamentoDownMemory;  // E1x, E2x
};

inline constexpr uint16_t kLinearFrequencyTable = 1;  // Module::flags bit 0

// The song: header fields, song-wide playback state and the tables of records.
struct Module {
    Pattern* patterns;        // patternSlotCount entries
    Instrument* instruments;  // max(instrumentCount & 0xFF, 1) entries
    uint32_t framesLeftInTick;
    int32_t globalVolume;  // 64 at load; Gxx/Hxy store any value
    int32_t tick;          // tick counter within the row
    int32_t speed;         // ticks per row
    int32_t order;         // current order position
    int32_t row;           // current row
    int32_t patternDelay;  // extra ticks added to the current row
    // Where the next row start goes; -1 none. Written by JumpToOrder on the caller's thread.
    std::atomic<int32_t> pendingOrder;
    std::atomic<int32_t> pendingRow;
    int32_t channelCount;  // 1..64
    Voice* voices;         // 2 x channelCount; voices 2i and 2i+1 belong to channel i
    Channel* channels;     // channelCount
    uint32_t framesPerTick;
    uint16_t songLength;  // 1..256
    uint16_t restartPosition;
    uint8_t storedChannelCount;
    uint8_t globalVolumeSlideMemory;
    uint16_t patternSlotCount;
    uint16_t instrumentCount;  // only the low 8 bits are used
    uint16_t flags;            // kLinearFrequencyTable
    uint16_t defaultTempo;
    uint16_t defaultBpm;
    uint8_t orders[256];
};

// The tempo rule: frames per tick = 120000 div BPM (2.5 / BPM seconds); BPM 0 gives 120000.
uint32_t FramesPerTick(uint32_t bpm);
inline void SetTempo(Module& module, uint32_t bpm) {
    module.framesPerTick = FramesPerTick(bpm);
}

}  // namespace xm
