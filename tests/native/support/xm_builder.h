// Builds XM modules in memory for tests, and loads them.
//
//   XmSong song;                                  // 4 channels, one order entry (pattern 0)
//   song.patterns.push_back(EmptyPattern(64, 4));
//   song.patterns[0].cells[0] = {49, 1, 0x40, 0, 0};   // row 0, channel 0: C-4, instrument 1
//   song.instruments.push_back(InstrumentWith({Sample8({0, 10, 20, 30})}));
//   auto loaded = LoadXm(BuildXm(song));
//   ASSERT_TRUE(loaded->ok);
//
// Every field has the value of a plain, valid module unless a test sets it; the std::optional
// fields default to what the rest of the song implies (counts, lengths, packed sizes).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace xmtest {

struct XmSample {
    std::optional<uint32_t> lengthBytes;  // default: data.size()
    uint32_t loopStartBytes = 0;
    uint32_t loopLengthBytes = 0;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t type = 0;  // bits 0..1 loop type, bit 4 16-bit data
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    uint8_t reserved = 0;       // 0xAD marks 4-bit compressed data
    std::vector<uint8_t> data;  // stored bytes, exactly as in the file (already delta-coded)
};

struct XmEnvelope {
    std::array<xm::EnvelopePoint, 12> points{};
    uint8_t count = 0, sustain = 0, loopStart = 0, loopEnd = 0, type = 0;
};

struct XmInstrument {
    // The header is the 33 common bytes plus, with samples, the 208 bytes of note map,
    // envelopes and vibrato, cut or zero-padded to this size.
    std::optional<uint32_t> headerSize;   // default: 263 with samples, 29 without
    std::optional<uint16_t> sampleCount;  // default: samples.size()
    uint32_t sampleHeaderSize = 40;       // sample headers are cut or padded to this size
    std::array<uint8_t, 96> sampleForNote{};
    XmEnvelope volume, panning;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    uint16_t fadeout = 0;  // as stored (the loader doubles it)
    std::vector<XmSample> samples;
};

enum class Packing {
    Auto,      // a mask byte with the non-zero fields, or the 5 plain bytes when all are set
    Masked,    // always a mask byte with the non-zero fields
    Unpacked,  // always the 5 plain bytes (the note must be below 0x80)
};

struct XmPattern {
    uint16_t rows = 64;
    std::vector<xm::Cell> cells;  // rows x channels, row by row
    Packing packing = Packing::Auto;
    std::optional<std::vector<uint8_t>> rawData;  // stored instead of encoding `cells`
    std::optional<uint16_t> packedSize;           // default: size of the stored data
};

struct XmSong {
    std::string name = "builder song";  // up to 20 bytes are stored
    // The song header is zero-padded to 60 + this, unless this is below 276 or above 65,536
    // (then the patterns follow the order table).
    uint32_t headerSize = 276;
    std::vector<uint8_t> orders{0};
    std::optional<uint16_t> songLength;  // default: orders.size()
    uint16_t restartPosition = 0;
    uint16_t channels = 4;                    // the whole 16-bit field
    std::optional<uint16_t> patternCount;     // default: patterns.size()
    std::optional<uint16_t> instrumentCount;  // default: instruments.size()
    uint16_t flags = xm::kLinearFrequencyTable;
    uint16_t tempo = 6;
    uint16_t bpm = 125;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// The module file for `song`.
std::vector<uint8_t> BuildXm(const XmSong& song);

// A pattern of `rows` rows of empty cells for `channels` channels.
XmPattern EmptyPattern(uint16_t rows, int channels);

// Delta coding as stored in the file: each stored value is the difference to the previous one.
std::vector<uint8_t> DeltaEncode8(const std::vector<int8_t>& values);
std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values);  // little-endian

// An 8-bit sample playing `values`, and a 16-bit one; no loop.
XmSample Sample8(const std::vector<int8_t>& values);
XmSample Sample16(const std::vector<int16_t>& values);

// An instrument whose samples are `samples`, every note mapped to the first.
XmInstrument InstrumentWith(std::vector<XmSample> samples);

// A plain valid song: 4 channels, one order entry, one empty 64-row pattern, and one instrument
// with one 8-bit sample of 4 points; tempo 6, BPM 125, linear frequency table.
XmSong PlainSong();

// A module loaded from memory, together with everything that keeps it alive.
struct LoadedXm {
    explicit LoadedXm(size_t arenaCapBytes) : arena(arenaCapBytes) {}
    std::vector<uint8_t> bytes;
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    xm::Reader reader;
    bool ok = false;
    xm::LoadError error;  // why it failed
};

// Loads `bytes` with LoadModule through a memory reader, into an arena of the given cap.
std::unique_ptr<LoadedXm> LoadXm(std::vector<uint8_t> bytes,
                                 size_t arenaCapBytes = xm::SongArena::kDefaultCapBytes);

// The same through a file reader: `bytes` go to a temporary file, removed after loading.
std::unique_ptr<LoadedXm> LoadXmFromFile(std::vector<uint8_t> bytes);

}  // namespace xmtest
