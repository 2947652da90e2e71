// Loads arbitrary bytes as a module from memory. A module that loads must keep every promise the
// replay engine and the mixer rely on; a broken one stops the fuzzer here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/song/records.h"

// Every sample point is read into it, so that the sanitizers check the sample's size.
volatile int16_t lastPointRead = 0;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// Reads every cell, so that the sanitizers see a pattern shorter than its rows.
void CheckPatterns(const xm::Module& m) {
    const int instruments = m.instrumentCount & 0xFF;
    for (int p = 0; p < m.patternSlotCount; ++p) {
        const xm::Pattern& pattern = m.patterns[p];
        if (pattern.cells == nullptr) continue;
        Require(pattern.rows >= 1 && pattern.rows <= 256);
        for (size_t i = 0; i < size_t{pattern.rows} * static_cast<size_t>(m.channelCount); ++i) {
            Require(pattern.cells[i].note <= 97);
            Require(pattern.cells[i].instrument <= instruments);
        }
    }
    for (int i = 0; i < m.songLength; ++i) Require(m.orders[i] < m.patternSlotCount);
}

void CheckEnvelope(uint8_t count, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd,
                   uint8_t type) {
    Require(count <= xm::kEnvelopePoints);
    Require(sustain < xm::kEnvelopePoints && loopEnd < xm::kEnvelopePoints);
    Require(loopStart < xm::kEnvelopePoints);
    if (type & xm::kEnvelopeLoop) Require(loopEnd < count);
    if (count < 2) Require(type == 0);
}

// The mixer reads every point up to and including the loop end's continuation point.
void CheckSample(const xm::Sample& s) {
    Require(s.length < 4194304);
    Require(s.loopStart >= 0 && s.loopLength >= 0);
    Require(static_cast<uint64_t>(s.loopStart) + static_cast<uint64_t>(s.loopLength) <= s.length);
    if (s.loopType != 0) Require(s.loopLength > 0);
    for (uint32_t i = 0; i < s.length + 3; ++i) lastPointRead = s.data[i];
}

void CheckInstruments(const xm::Module& m) {
    const int count = m.instrumentCount & 0xFF;
    for (int i = 0; i < (count > 0 ? count : 1); ++i) {
        const xm::Instrument& in = m.instruments[i];
        CheckEnvelope(in.volumePointCount, in.volumeSustain, in.volumeLoopStart, in.volumeLoopEnd,
                      in.volumeType);
        CheckEnvelope(in.panningPointCount, in.panningSustain, in.panningLoopStart,
                      in.panningLoopEnd, in.panningType);
        bool ended = false;
        for (const xm::Sample* s : in.samples) {
            if (s == nullptr) {
                ended = true;
                continue;
            }
            Require(!ended);  // samples fill the first slots
            CheckSample(*s);
        }
    }
}

void CheckSong(const xm::Module& m) {
    Require(m.channelCount >= 1 && m.channelCount <= xm::kMaxChannels);
    Require(m.songLength >= 1 && m.songLength <= 256);
    for (int c = 0; c < m.channelCount; ++c) {
        Require(m.channels[c].voice == &m.voices[2 * c]);
        Require(m.voices[2 * c].stepInteger == 1);
    }
    CheckPatterns(m);
    CheckInstruments(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    static auto module = std::make_unique<xm::Module>();
    auto reader = std::make_unique<xm::Reader>();
    xm::SongArena arena;
    char title[xm::kTitleBytes];
    reader->SelectMemory(data, static_cast<uint32_t>(size));
    const bool loaded = xm::LoadModule(*reader, arena, *module, title);
    Require(title[xm::kTitleBytes - 1] == 0 && title[xm::kTitleBytes - 4] == 0);
    if (loaded) CheckSong(*module);
    return 0;
}
