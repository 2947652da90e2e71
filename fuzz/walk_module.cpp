// Loads arbitrary bytes as a module from memory, as xmrender --info does: a refusal must come with
// its reason, and whatever loads is walked without mixing, as far as a minute of music.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "player/render/song_walk.h"
#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"

namespace {

constexpr size_t kArenaBytes = size_t{48} << 20;
constexpr uint64_t kFrameLimit = 60 * 48000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xm::Reader reader;
    reader.SelectMemory(data, static_cast<uint32_t>(size));
    xm::SongArena arena(kArenaBytes);
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    xm::LoadError error;
    const bool loaded = xm::LoadModule(reader, arena, module, title, &error);
    reader.Close();
    if (loaded != (error.failure == xm::LoadFailure::None)) std::abort();
    if (xm::DescribeLoadError(error).empty()) std::abort();
    if (!loaded) return 0;

    const xm::SongWalk walk = xm::WalkSong(module, kFrameLimit);
    if (walk.ending == xm::SongWalk::Ending::OrderListEnd && walk.framesToLastRow >= walk.frames)
        std::abort();
    return 0;
}
