#include "player/mixer/mixer_span.h"

namespace xm::mixer {

namespace {

void StopVoice(Voice& voice) {
    voice.position = 0;
    voice.positionFraction = 0;
    voice.sample = nullptr;
}

// Reflects the position into the loop, reversing the direction at every mirror.
void TurnPingPong(Voice& voice, int64_t loopStart, int64_t loopEnd) {
    const int64_t low = loopStart << 32, high = loopEnd << 32, period = 2 * (high - low);
    int64_t p = JoinPosition(voice.position, voice.positionFraction);
    bool backward = voice.direction == 0;  // the first mirror is about the boundary just passed
    p = backward ? 2 * high - p : 2 * low - p;
    // Two mirrors, one about each end, move the position by a whole period: skip those at once.
    if (p > high + period) p -= (p - high - 1) / period * period;
    if (p < low - period) p += (low - p - 1) / period * period;
    while (p < low || p > high) {
        backward = p > high;
        p = backward ? 2 * high - p : 2 * low - p;
    }
    // Mend: a mirror about the loop start can land exactly on the loop end. Moving forward from
    // there, the distance would be measured to the sample's end and the voice would leave the
    // loop; it turns there instead, as a position that reaches the end does.
    if (p == high) backward = true;
    voice.direction = backward ? 1 : 0;
    StorePosition(voice, p);
}

}  // namespace

void HandleBoundary(Voice& voice) {
    const Sample& s = *voice.sample;
    const int64_t loopLength = s.loopLength;
    if ((s.loopType != 1 && s.loopType != 2) || loopLength <= 0) {
        StopVoice(voice);
        return;
    }
    const int64_t loopEnd = LoopEnd(s);
    if (s.loopType == 2) {
        TurnPingPong(voice, s.loopStart, loopEnd);
        return;
    }
    StorePosition(voice, WrapForward(JoinPosition(voice.position, voice.positionFraction),
                                     s.loopStart, loopLength));
}

}  // namespace xm::mixer
