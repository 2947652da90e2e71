// Volume and panning envelopes, and the fadeout after a key-off.
#include <algorithm>

#include "player/replay/replay.h"

namespace xm {

namespace {

// Envelope values live in 0..64; the file's 16-bit values are taken within that range, so that
// the 16.16 arithmetic below cannot overflow.
constexpr int32_t kEnvelopeTop = 64;
constexpr int32_t kValueTop_fp16_16 = kEnvelopeTop << 16;

// One envelope of an instrument, with every point index kept within the 12 points.
struct EnvelopeView {
    const EnvelopePoint* points;
    int count;  // points in use: 0..12
    uint8_t type;
    int sustain, loopStart, loopEnd;

    static int Clamp(int index) { return std::clamp(index, 0, kEnvelopePoints - 1); }
    int Tick(int index) const { return points[Clamp(index)].tick; }
    int32_t Value(int index) const {
        return std::min<int32_t>(points[Clamp(index)].value, kEnvelopeTop);
    }
    bool IsLast(int index) const { return index >= count - 1; }
};

// The per-channel state of one envelope.
struct EnvelopeState {
    int32_t& tick;
    int32_t& next;
    int32_t& slope_fp16_16;
    int32_t& value_fp16_16;
    int32_t& output;
    uint8_t& finished;
};

EnvelopeView ViewOf(const Instrument& instrument, EnvelopeKind kind) {
    const bool volume = kind == EnvelopeKind::Volume;
    const int count = std::min<int>(
        volume ? instrument.volumePointCount : instrument.panningPointCount, kEnvelopePoints);
    EnvelopeView view{volume ? instrument.volumeEnvelope : instrument.panningEnvelope,
                      count,
                      volume ? instrument.volumeType : instrument.panningType,
                      volume ? instrument.volumeSustain : instrument.panningSustain,
                      volume ? instrument.volumeLoopStart : instrument.panningLoopStart,
                      volume ? instrument.volumeLoopEnd : instrument.panningLoopEnd};
    // Sustain and loop end are only compared with the point reached; the loop start is jumped
    // to, and read even beyond the points in use, so only one beyond the 12 points is held at
    // the last of them.
    view.loopStart = EnvelopeView::Clamp(view.loopStart);
    return view;
}

EnvelopeState StateOf(Channel& c, EnvelopeKind kind) {
    if (kind == EnvelopeKind::Volume) {
        return {c.volumeEnvelopeTick,  c.volumeEnvelopeNext,   c.volumeEnvelopeSlope,
                c.volumeEnvelopeValue, c.volumeEnvelopeOutput, c.volumeEnvelopeFinished};
    }
    return {c.panningEnvelopeTick,  c.panningEnvelopeNext,   c.panningEnvelopeSlope,
            c.panningEnvelopeValue, c.panningEnvelopeOutput, c.panningEnvelopeFinished};
}

int32_t SlopeBetween(const EnvelopeView& view, int from) {
    const int ticks = view.Tick(from + 1) - view.Tick(from);
    if (ticks == 0) return 0;
    return ((view.Value(from + 1) - view.Value(from)) << 16) / ticks;
}

int32_t ClampValue(int64_t value_fp16_16) {
    return static_cast<int32_t>(std::clamp<int64_t>(value_fp16_16, 0, kValueTop_fp16_16));
}

// The envelope reaches its next point. Returns false when it stops there for this tick.
bool ReachPoint(const EnvelopeView& view, EnvelopeState& s, bool keyOff) {
    // The loop jump comes before the sustain hold; the hold is tested on the point jumped to.
    if ((view.type & kEnvelopeLoop) && s.next == view.loopEnd) {
        s.next = view.loopStart;
        s.tick = view.Tick(s.next);
    }
    s.output = view.Value(s.next);
    if (view.IsLast(s.next)) {
        s.finished = 1;
        return false;
    }
    if ((view.type & kEnvelopeSustain) && s.next == view.sustain && !keyOff) return false;
    s.value_fp16_16 = view.Value(s.next) << 16;
    s.slope_fp16_16 = SlopeBetween(view, s.next);
    ++s.next;
    return true;
}

}  // namespace

void StepEnvelope(Channel& channel, const Instrument& instrument, EnvelopeKind kind) {
    channel.flags |= kind == EnvelopeKind::Volume ? kUpdateVolume : kUpdatePanning;
    EnvelopeState s = StateOf(channel, kind);
    if (s.finished) return;
    const EnvelopeView view = ViewOf(instrument, kind);
    if (s.next < view.count) {
        if (s.tick != view.Tick(s.next)) {
            // Points whose ticks do not rise are never met exactly; the value stays in range.
            s.value_fp16_16 = ClampValue(int64_t{s.value_fp16_16} + s.slope_fp16_16);
        } else if (!ReachPoint(view, s, channel.keyOff != 0)) {
            return;
        }
    }
    s.output = s.value_fp16_16 >> 16;
    if (s.tick < INT32_MAX) ++s.tick;
}

void SetVolumeEnvelopePosition(Channel& channel, const Instrument& instrument, int ticks) {
    if (!(instrument.volumeType & kEnvelopeOn)) return;
    const EnvelopeView view = ViewOf(instrument, EnvelopeKind::Volume);
    if (view.count == 0) return;
    int i = 0;
    while (i + 1 < view.count && ticks > view.Tick(i + 1)) ++i;
    if (view.IsLast(i)) {
        channel.volumeEnvelopeFinished = 1;
        channel.volumeEnvelopeOutput = view.Value(view.count - 1);
        return;
    }
    channel.volumeEnvelopeFinished = 0;
    channel.volumeEnvelopeTick = ticks;
    channel.volumeEnvelopeSlope = SlopeBetween(view, i);
    channel.volumeEnvelopeValue =
        ClampValue((int64_t{view.Value(i)} << 16) +
                   int64_t{ticks - view.Tick(i)} * channel.volumeEnvelopeSlope);
    channel.volumeEnvelopeOutput = channel.volumeEnvelopeValue >> 16;
    channel.volumeEnvelopeNext = i + 1;
}

void StepFadeout(Channel& channel, const Instrument& instrument) {
    channel.fadeVolume = std::max(channel.fadeVolume - int32_t{instrument.fadeout}, 0);
}

}  // namespace xm
