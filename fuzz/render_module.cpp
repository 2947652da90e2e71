// Loads arbitrary bytes as a module from memory and renders two seconds of whatever loads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/render/render.h"

namespace {

// Enough for any module that fits the fuzzer's input size with a few large declared samples,
// small enough that zero-filling a hostile module's declared samples stays quick.
constexpr size_t kArenaBytes = size_t{48} << 20;
constexpr int kBlocks = 94;  // 2 s at 48 kHz in blocks of 1024 frames

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xm::Reader reader;
    reader.SelectMemory(data, static_cast<uint32_t>(size));
    xm::SongArena arena(kArenaBytes);
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    if (!xm::LoadModule(reader, arena, module, title)) return 0;
    reader.Close();

    auto state = std::make_unique<xm::RenderState>();
    state->module = &module;
    // The last byte picks the end-of-song behaviour and the master volume.
    const uint8_t last = size > 0 ? data[size - 1] : 0;
    state->noLoop = last & 1;
    state->masterVolume = xm::MasterVolumeForStep(last >> 3);
    std::vector<int16_t> buffer(xm::kBufferBytes / 2);
    for (int i = 0; i < kBlocks; ++i) {
        if (i == kBlocks / 2) state->paused = (last >> 1) & 1;  // pause half-way, sometimes
        if (xm::MixBlock(*state, buffer.data()) == xm::BlockOutcome::SongEnded) break;
    }
    return 0;
}
