// The output worker: keeps the looping buffer rendered behind the device's play position.
#include <cstdint>
#include <mutex>

#include "player/output/player_state.h"

namespace xm {
namespace {

inline constexpr uint32_t kPollMs = 5;

uint32_t PlayingBlock(OutputDevice& device) {
    return (device.PlayedBytes() / kBlockBytes) % kBlockCount;
}

// A no-loop song has reached its end: release it from here, unless the caller is stopping this
// worker already (it then releases everything itself once the worker has ended). Nobody waits
// on this thread any more, so its own handle goes too.
void EndSongFromWorker(PlayerState& player) {
    std::lock_guard guard(player.lock);
    if (player.stopSignal.load() != kRun) return;
    player.stopSignal.store(kStopSongEnded);
    if (player.worker != nullptr) {
        player.platform.threads->Release(player.worker);
        player.worker = nullptr;
    }
    ReleaseSongLocked(player);
}

}  // namespace

// Renders one block per pause until it reaches the block that was playing when it last asked,
// so the rendered sound stays up to 15 blocks ahead of what is heard. After releasing a song it
// ends at once: a new song may reset the stop signal, and this worker must not see that.
void OutputThread() {
    PlayerState& player = Player();
    OutputDevice& device = *player.platform.device;
    ThreadService& threads = *player.platform.threads;
    RenderState& render = player.render;

    uint32_t playingBlock = PlayingBlock(device);
    for (;;) {
        threads.Sleep(kPollMs);
        if (player.stopSignal.load() != kRun) return;
        if (render.fillIndex == playingBlock) {
            playingBlock = PlayingBlock(device);
            continue;
        }
        if (render.paused.load() == 0) {
            render.statusIndex.store((render.statusIndex.load() + 1) % kBlockCount);
        }
        if (MixBlock(render, player.waveBuffer) == BlockOutcome::SongEnded) {
            EndSongFromWorker(player);
            return;
        }
    }
}

}  // namespace xm
