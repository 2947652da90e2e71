// The player's entry points and its start and stop sequences.
#include "player/output/player.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "player/output/player_state.h"

namespace xm {
namespace {

const OutputPlatform* installedPlatform = nullptr;  // caller's thread only

void SelectSource(Reader& reader, const void* source, uint32_t parameter, uint32_t flags) {
    if (flags & PlayFromMemory) {
        reader.SelectMemory(source, parameter);
    } else if (flags & PlayFromFile) {
        reader.SelectFile(static_cast<const char*>(source));
    } else {
        InstallSystemResources();
        // The module handle travels in a 32-bit parameter; 0 means the program itself.
        reader.SelectResource(reinterpret_cast<const void*>(uintptr_t{parameter}), source);
    }
}

// Waits for the worker told to stop; false when it has not ended in time. The lock is free
// meanwhile so that a worker in the middle of ending its song can finish.
bool WaitForStoppingWorker(PlayerState& player, std::unique_lock<PlayerLock>& lock) {
    ThreadService& threads = *player.platform.threads;
    lock.unlock();
    const bool ended = threads.WaitForEnd(player.stopping, kStopWaitMs);
    lock.lock();
    if (!ended) return false;
    threads.Release(player.stopping);
    player.stopping = nullptr;
    return true;
}

// Ends the worker, the output and the song; safe in any state. If the worker does not end in
// time, the device and the song stay as they are (it may still use them) and the next stop
// waits again; PlaySong refuses to start anything meanwhile.
void StopPlayback() {
    PlayerState& player = Player();
    std::unique_lock lock(player.lock);
    if (player.worker != nullptr) {
        player.stopSignal.store(kStopRequested);
        player.stopping = player.worker;
        player.worker = nullptr;
    }
    if (player.stopping != nullptr && !WaitForStoppingWorker(player, lock)) return;
    ReleaseSongLocked(player);
    std::memset(player.title, 0, 4);
}

void OpenDevice(PlayerState& player) {
    player.device.store(player.platform.device->Open());
}

// Renders the whole buffer before the device starts. False when a no-loop song ended meanwhile.
bool PreFill(PlayerState& player) {
    do {
        if (MixBlock(player.render, player.waveBuffer) == BlockOutcome::SongEnded) return false;
    } while (player.render.fillIndex != 0);
    return true;
}

// Loads, pre-fills and starts the output; the caller has stopped everything before.
bool StartSong(PlayerState& player, const void* source, uint32_t parameter, uint32_t flags) {
    RenderState& render = player.render;
    player.reader.SetCache(reinterpret_cast<uint8_t*>(render.accumulator));
    SelectSource(player.reader, source, parameter, flags);
    render.noLoop.store((flags & PlayNoLoop) ? 1 : 0);
    render.paused.store((flags & PlaySuspended) ? 1 : 0);
    if (render.masterVolume.load() == 0) render.masterVolume.store(32768);

    OpenDevice(player);
    player.arenaInUse = true;
    const bool loaded = LoadModule(player.reader, player.arena, player.module, player.title);
    player.reader.Close();
    if (!loaded) return false;
    player.hasSong.store(true);
    render.module = &player.module;

    if (player.device.load() != nullptr) {
        player.platform.device->PrepareLoop(player.waveBuffer, kBufferBytes);
    }
    if (!PreFill(player)) return false;
    player.stopSignal.store(kRun);
    if (player.device.load() == nullptr || !player.platform.device->StartLoop()) return false;

    ThreadService& threads = *player.platform.threads;
    player.worker = threads.Start(OutputThread);
    if (player.worker == nullptr) return false;
    threads.RaisePriority(player.worker);
    return true;
}

}  // namespace

PlayerState& Player() {
    // Never destroyed: a program may end while its worker still plays. Built in static storage,
    // not on the heap, so that the first call cannot fail for want of memory.
    alignas(PlayerState) static unsigned char storage[sizeof(PlayerState)];
    static PlayerState& player = *::new (static_cast<void*>(storage)) PlayerState;
    return player;
}

void SetOutputPlatform(const OutputPlatform* platform) {
    installedPlatform = platform;
}

void ReleaseSongLocked(PlayerState& player) {
    RenderState& render = player.render;
    render.fillIndex = 0;
    if (player.device.exchange(nullptr) != nullptr) player.platform.device->Close();
    if (!player.arenaInUse) return;
    player.arenaInUse = false;
    player.arena.Release();
    render.statusIndex.store(0);
    render.playTimeMs.store(0);
    for (StatusEntry& entry : render.statusRing) {
        entry.levels.store(0);
        entry.position.store(0);
    }
    // The title goes last: a caller that sees it empty finds the getters at 0 as well.
    player.hasSong.store(false);
}

}  // namespace xm

using xm::Player;
using xm::PlayerState;

void* PlaySong(const void* source, uint32_t parameter, uint32_t flags) {
    xm::StopPlayback();
    if (source == nullptr) return nullptr;
    PlayerState& player = Player();
    std::lock_guard guard(player.lock);
    if (player.stopping != nullptr) return nullptr;  // an earlier worker has not ended yet
    player.platform = xm::installedPlatform ? *xm::installedPlatform : xm::SystemOutputPlatform();
    if (!xm::StartSong(player, source, parameter, flags)) {
        xm::ReleaseSongLocked(player);
        std::memset(player.title, 0, 4);
        return nullptr;
    }
    return &player.device;
}

void SetVolume(uint32_t step) {
    Player().render.masterVolume.store(xm::MasterVolumeForStep(step));
}

void PauseSong() {
    Player().render.paused.store(1);
}

void ResumeSong() {
    Player().render.paused.store(0);
}

void JumpToOrder(uint32_t order) {
    xm::Module& module = Player().module;
    const uint32_t position = order & 0xFFFF;
    module.pendingOrder.store(position < module.songLength ? static_cast<int32_t>(position) : 0);
    module.pendingRow.store(0);
}

uint32_t GetLevels() {
    const xm::RenderState& render = Player().render;
    return render.statusRing[render.statusIndex.load() % xm::kBlockCount].levels.load();
}

uint32_t GetPosition() {
    const xm::RenderState& render = Player().render;
    return render.statusRing[render.statusIndex.load() % xm::kBlockCount].position.load();
}

uint32_t GetPlayTime() {
    return Player().render.playTimeMs.load();
}

const char* GetSongTitle() {
    return Player().hasSong.load() ? Player().title : "";
}
