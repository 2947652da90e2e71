// Helpers of the player tests: a small XM module built in memory (one channel playing a looped
// square wave from row 0), and the same module rendered block by block without the worker.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/song/records.h"
#include "player/render/render.h"

namespace playertest {

struct ToneSong {
    uint16_t orders = 1;  // song length; every order entry plays pattern 0
    uint16_t rows = 64;
    uint16_t speed = 1;  // ticks per row
    uint16_t bpm = 125;  // 960 frames per tick
    std::string name = "Stand-in tone";
};

inline void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

inline std::vector<uint8_t> BuildToneSong(const ToneSong& song) {
    std::vector<uint8_t> xm(336);
    std::memcpy(xm.data(), "Extended Module: ", 17);
    std::memcpy(xm.data() + 17, song.name.data(), std::min<size_t>(song.name.size(), 20));
    xm[37] = 0x1A;
    Put16(xm, 58, 0x0104);
    Put32(xm, 60, 276);
    Put16(xm, 64, song.orders);
    Put16(xm, 68, 1);  // channels
    Put16(xm, 70, 1);  // patterns
    Put16(xm, 72, 1);  // instruments
    Put16(xm, 74, 1);  // linear frequencies
    Put16(xm, 76, song.speed);
    Put16(xm, 78, song.bpm);

    // Pattern 0: C-4 with instrument 1 on row 0, empty rows after it (packed: 0x80).
    const size_t pattern = xm.size();
    xm.resize(pattern + 9);
    Put32(xm, pattern, 9);
    Put16(xm, pattern + 5, song.rows);
    const uint8_t firstRow[] = {49, 1, 0, 0, 0};
    xm.insert(xm.end(), firstRow, firstRow + 5);
    xm.insert(xm.end(), song.rows - 1u, uint8_t{0x80});
    Put16(xm, pattern + 7, static_cast<uint32_t>(xm.size() - pattern - 9));

    // Instrument 1: one 8-bit sample, a 32-point square wave on a forward loop.
    const size_t instrument = xm.size();
    xm.resize(instrument + 263 + 40);
    Put32(xm, instrument, 263);
    Put16(xm, instrument + 27, 1);   // samples
    Put32(xm, instrument + 29, 40);  // sample header size
    const size_t sample = instrument + 263;
    Put32(xm, sample, 32);      // length
    Put32(xm, sample + 8, 32);  // loop length
    xm[sample + 12] = 64;       // volume
    xm[sample + 14] = 1;        // forward loop
    xm[sample + 15] = 128;      // panning
    int8_t previous = 0;
    for (int i = 0; i < 32; ++i) {  // delta-coded points
        const int8_t point = i < 16 ? 96 : -96;
        xm.push_back(static_cast<uint8_t>(point - previous));
        previous = point;
    }
    return xm;
}

// What rendering the song straight through MixBlock gives, block by block.
struct DirectRender {
    std::vector<int16_t> samples;      // 2,048 per block
    std::vector<uint32_t> playTimeMs;  // after each block
    std::vector<uint32_t> position;    // of each block
    std::vector<uint32_t> levels;      // of each block
    bool ended = false;                // a no-loop song ended before `blocks`
};

inline DirectRender RenderDirectly(const std::vector<uint8_t>& xm, size_t blocks,
                                   uint32_t masterVolume, bool noLoop) {
    auto render = std::make_unique<xm::RenderState>();
    auto module = std::make_unique<xm::Module>();
    xm::SongArena arena;
    xm::Reader reader;
    char title[xm::kTitleBytes] = {};
    reader.SelectMemory(xm.data(), static_cast<uint32_t>(xm.size()));
    DirectRender out;
    if (!xm::LoadModule(reader, arena, *module, title)) return out;
    reader.Close();
    render->module = module.get();
    render->masterVolume = masterVolume;
    render->noLoop = noLoop ? 1 : 0;
    std::vector<int16_t> wave(xm::kBufferBytes / 2);
    for (size_t i = 0; i < blocks; ++i) {
        const uint32_t block = render->fillIndex;
        if (xm::MixBlock(*render, wave.data()) == xm::BlockOutcome::SongEnded) {
            out.ended = true;
            break;
        }
        const int16_t* first = wave.data() + block * xm::kBlockFrames * 2;
        out.samples.insert(out.samples.end(), first, first + xm::kBlockFrames * 2);
        out.playTimeMs.push_back(render->playTimeMs);
        out.position.push_back(render->statusRing[block].position);
        out.levels.push_back(render->statusRing[(block + 1) % xm::kBlockCount].levels);
    }
    return out;
}

}  // namespace playertest
