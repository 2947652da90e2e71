// Writes XM module files from a plain description: the benchmark's generated songs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct XmCell {
    uint8_t note = 0;  // 1..96, 97 key off
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

// One instrument with one 16-bit sample.
struct XmInstrument {
    std::vector<int16_t> points;
    uint8_t loopType = 0;                    // 0 none, 1 forward, 2 ping-pong
    uint32_t loopStart = 0, loopLength = 0;  // in points
    uint8_t volume = 64, panning = 128;
    int8_t relativeNote = 0, finetune = 0;
};

struct XmSong {
    std::string name;
    int channels = 4;
    int speed = 6, bpm = 125;
    bool linear = true;
    std::vector<uint8_t> orders;
    std::vector<std::vector<XmCell>> patterns;  // rows x channels cells, row by row
    std::vector<XmInstrument> instruments;
};

// The module file's bytes (patterns packed, sample data delta-coded).
std::vector<uint8_t> WriteXm(const XmSong& song);

}  // namespace bench
