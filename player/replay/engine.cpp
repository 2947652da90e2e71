// The tick scheduler and the per-tick work on the song's rows and channels.
#include "player/replay/engine.h"

#include <algorithm>

#include "player/replay/replay.h"
#include "player/replay/saturating.h"

namespace xm {

namespace {

// Stands in for an instrument index that has no record (a song without instruments).
const Instrument kEmptyInstrument = {};

// Stands in for an order entry naming a pattern slot that does not exist.
const Pattern kEmptyPattern = {64, 0, nullptr};

inline constexpr uint8_t kEffectTonePortamento = 0x03, kEffectTonePortamentoSlide = 0x05,
                         kEffectTremolo = 0x07, kEffectKeyOff = 0x14;
inline constexpr uint8_t kNoteKeyOff = 97;

const Pattern& CurrentPattern(const Module& module) {
    const int slot = module.orders[module.order];
    return slot < module.patternSlotCount ? module.patterns[slot] : kEmptyPattern;
}

// The current row's cell of channel `index`, or null for a pattern without notes.
const Cell* CellOf(const Module& module, int index) {
    const Pattern& pattern = CurrentPattern(module);
    if (pattern.cells == nullptr || module.row >= pattern.rows) return nullptr;
    return &pattern.cells[module.row * module.channelCount + index];
}

bool IsNote(uint8_t note) {
    return note >= 1 && note <= kNotes;
}

// Takes the pending order and row. An order outside the song goes to its start; a row that the
// pattern does not have (a break or loop beyond its end) goes to the pattern's first row, since
// such a row says nothing about where in the pattern to continue.
void EnterPendingPosition(Module& module) {
    const int32_t order = module.pendingOrder.exchange(-1, std::memory_order_acq_rel);
    const int32_t row = module.pendingRow.exchange(-1, std::memory_order_acq_rel);
    if (order >= 0) module.order = order;
    if (row >= 0) module.row = row;
    if (module.order < 0 || module.order >= module.songLength || module.order > 255) {
        module.order = 0;
    }
    if (module.row < 0 || module.row >= CurrentPattern(module).rows) module.row = 0;
}

enum class NextRow {
    Scheduled,     // an effect, the caller or the pattern chose the next row
    OrderListEnd,  // the current row is the last of the order list
};

// Chooses the next row unless an effect (or a jump from the caller) already did. At the end of
// the order list a looping song goes on at its restart position; one that does not loop is left
// without a next row.
NextRow ScheduleNextRow(Module& module, bool noLoop) {
    if (module.pendingRow.load(std::memory_order_acquire) >= 0) return NextRow::Scheduled;
    if (static_cast<int16_t>(module.row + 1) < static_cast<int16_t>(CurrentPattern(module).rows)) {
        module.pendingRow.store(module.row + 1, std::memory_order_release);
        return NextRow::Scheduled;
    }
    module.pendingRow.store(0, std::memory_order_release);
    if (module.order + 1 < module.songLength) {
        module.pendingOrder.store(module.order + 1, std::memory_order_release);
        return NextRow::Scheduled;
    }
    if (noLoop) return NextRow::OrderListEnd;
    const int32_t restart = module.restartPosition < module.songLength ? module.restartPosition : 0;
    module.pendingOrder.store(restart, std::memory_order_release);
    return NextRow::OrderListEnd;
}

// Returns false when a non-looping song has reached its end. `lastRow`, when given, learns
// whether this tick started the last row of the order list.
bool RunOneTick(Module& module, bool noLoop, bool* lastRow = nullptr) {
    if (module.tick == 0) {
        EnterPendingPosition(module);
        ProcessRow(module);
        const bool end = ScheduleNextRow(module, noLoop) == NextRow::OrderListEnd;
        if (lastRow != nullptr) *lastRow = end;
        if (end && noLoop) return false;
    } else {
        ProcessTick(module);
    }
    ++module.tick;
    // Speed 0 makes every tick a row start, hence ">=".
    if (module.tick >= module.speed + module.patternDelay) {
        module.tick = 0;
        module.patternDelay = 0;
    }
    return true;
}

void ResetTickDeltas(Channel& channel, uint8_t flags) {
    channel.volumeDelta = 0;
    channel.periodDelta = 0;
    channel.flags = flags;
}

// A note in the cell: its period becomes the note period (and the period unless a tone
// portamento slides there), and the note starts.
void TakeNote(ChannelTick& t, bool tonePortamento) {
    Channel& channel = t.channel;
    const int realNote = t.cell.note - 1 + t.sample.relativeNote;
    channel.realNote = static_cast<uint8_t>(realNote);
    channel.notePeriod = NotePeriod(t.module, realNote, t.sample);
    if (!tonePortamento) channel.period = channel.notePeriod;
    channel.flags |= kUpdateStart;
}

// An instrument number in the cell: the sample's volume and panning, and a fresh instrument.
void TakeInstrument(ChannelTick& t) {
    Channel& channel = t.channel;
    channel.volume = t.sample.volume;
    channel.panning = t.sample.panning;
    channel.volumeEnvelopeOutput = 64;
    channel.panningEnvelopeOutput = 32;
    channel.fadeVolume = 65536;
    RestartInstrumentState(channel);
    channel.flags |= kUpdateVolume | kUpdatePanning;
}

void StepEnvelopesOnRow(ChannelTick& t) {
    Channel& channel = t.channel;
    if (t.instrument.volumeType & kEnvelopeOn) {
        StepEnvelope(channel, t.instrument, EnvelopeKind::Volume);
    } else if (channel.keyOff) {
        // A released note without a volume envelope is silent at once.
        channel.volumeEnvelopeOutput = 0;
    }
    if (t.instrument.panningType & kEnvelopeOn) {
        StepEnvelope(channel, t.instrument, EnvelopeKind::Panning);
    }
    if (channel.keyOff) StepFadeout(channel, t.instrument);
}

void ProcessRowChannel(Module& module, int index, const Cell& cell, RowFlow& flow) {
    Channel& channel = module.channels[index];
    const bool tonePortamento =
        cell.effect == kEffectTonePortamento || cell.effect == kEffectTonePortamentoSlide;
    if (!tonePortamento) {
        if (cell.instrument >= 1 && cell.instrument <= 128)
            channel.instrument = cell.instrument - 1;
        if (IsNote(cell.note)) channel.note = cell.note - 1;
    }
    const Instrument& instrument = InstrumentOf(module, channel);
    ChannelTick t{module, channel, index, cell, SampleOf(instrument, channel), instrument, &flow};
    t.periodBeforeRow = channel.period;
    t.volumeBeforeRow = channel.volume;
    t.panningBeforeRow = channel.panning;

    // The last tremolo level stays once the tremolo ends.
    if (channel.previousEffect == kEffectTremolo && cell.effect != kEffectTremolo) {
        channel.volume = SaturatingAdd(channel.volume, channel.volumeDelta);
    }
    channel.previousEffect = cell.effect;
    ResetTickDeltas(channel, kUpdateFrequency | kUpdateVolume);

    if (IsNote(cell.note)) TakeNote(t, tonePortamento);
    if (cell.instrument != 0) TakeInstrument(t);
    ApplyVolumeColumnRow(t);
    if (cell.note >= kNoteKeyOff || cell.effect == kEffectKeyOff) channel.keyOff = 1;
    StepEnvelopesOnRow(t);
    RunRowEffect(t);
    UpdateChannel(module, index, t.sample, instrument);
}

void ProcessTickChannel(Module& module, int index, const Cell& cell) {
    Channel& channel = module.channels[index];
    const Instrument& instrument = InstrumentOf(module, channel);
    ChannelTick t{module, channel, index, cell, SampleOf(instrument, channel), instrument, nullptr};
    ResetTickDeltas(channel, 0);
    if (instrument.volumeType & kEnvelopeOn) {
        StepEnvelope(channel, instrument, EnvelopeKind::Volume);
    }
    if (instrument.panningType & kEnvelopeOn) {
        StepEnvelope(channel, instrument, EnvelopeKind::Panning);
    }
    if (channel.keyOff) {
        StepFadeout(channel, instrument);
        channel.flags |= kUpdateVolume;
    }
    ApplyVolumeColumnTick(t);
    RunTickEffect(t);
    UpdateChannel(module, index, t.sample, instrument);
}

}  // namespace

const Instrument& InstrumentOf(const Module& module, const Channel& channel) {
    const int count = module.instrumentCount & 0xFF;
    if (module.instruments == nullptr || channel.instrument >= count) return kEmptyInstrument;
    return module.instruments[channel.instrument];
}

Sample& SampleOf(const Instrument& instrument, const Channel& channel) {
    if (channel.note >= kNotes) return NullSample;
    const uint8_t number = instrument.sampleForNote[channel.note];
    if (number >= kSamplesPerInstrument || instrument.samples[number] == nullptr) {
        return NullSample;
    }
    return *instrument.samples[number];
}

void RestartInstrumentState(Channel& channel) {
    channel.volumeEnvelopeTick = channel.volumeEnvelopeNext = channel.volumeEnvelopeSlope = 0;
    channel.panningEnvelopeTick = channel.panningEnvelopeNext = channel.panningEnvelopeSlope = 0;
    channel.autoVibratoSweep = 0;
    channel.autoVibratoPosition = 0;
    channel.keyOff = 0;
    channel.volumeEnvelopeFinished = channel.panningEnvelopeFinished = 0;
    // Waveform control 0x4F and above (as a signed byte) keeps the tremolo running on.
    if (static_cast<int8_t>(channel.waveformControl) < 0x4F) channel.tremoloPosition = 0;
    if ((channel.waveformControl & 0x0C) == 0) channel.vibratoPosition = 0;
}

void ProcessRow(Module& module) {
    RowFlow flow;
    for (int i = 0; i < module.channelCount; ++i) {
        const Cell* cell = CellOf(module, i);
        if (cell == nullptr) return;  // a pattern without notes: nothing happens on this tick
        ProcessRowChannel(module, i, *cell, flow);
    }
}

void ProcessTick(Module& module) {
    for (int i = 0; i < module.channelCount; ++i) {
        const Cell* cell = CellOf(module, i);
        if (cell == nullptr) return;
        ProcessTickChannel(module, i, *cell);
    }
}

TickOutcome RunTicks(Module& module, uint32_t frames, bool noLoop, SpanMixer mix, void* context) {
    uint32_t framesLeftInBlock = frames;
    uint32_t framesLeftInTick = module.framesLeftInTick;
    while (framesLeftInBlock > 0) {
        if (framesLeftInTick == 0) {
            if (!RunOneTick(module, noLoop)) {
                module.framesLeftInTick = 0;
                return TickOutcome::SongEnded;
            }
            // Read after the tick, so that a tempo change applies to the tick that made it.
            framesLeftInTick = std::max<uint32_t>(module.framesPerTick, 1);
        }
        const uint32_t span = std::min(framesLeftInBlock, framesLeftInTick);
        mix(module, frames - framesLeftInBlock, span, context);
        framesLeftInBlock -= span;
        framesLeftInTick -= span;
    }
    module.framesLeftInTick = framesLeftInTick;
    return TickOutcome::BlockDone;
}

SkippedTick SkipTick(Module& module) {
    SkippedTick result;
    result.rowStart = module.tick == 0;
    RunOneTick(module, false, &result.lastRow);
    result.frames = std::max<uint32_t>(module.framesPerTick, 1);
    module.framesLeftInTick = 0;
    return result;
}

}  // namespace xm
