// The module-level state of the one player, shared by the entry points (on the caller's thread)
// and the output worker. Internal to the player; tests read it to watch the worker.
//
// Sharing rules: values both threads touch while a song plays are atomics. The device handle,
// the arena, the worker handle and the fill index change hands only under `lock`: the caller
// takes it to start or stop a song, the worker to release a no-loop song that has ended. Nobody
// holds `lock` while waiting for the worker, so the worker can always finish its release.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "player/output/player_lock.h"
#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/output/output_platform.h"
#include "player/song/reader.h"
#include "player/song/records.h"
#include "player/render/render.h"

namespace xm {

// Longest wait for the worker to end after the stop signal. It ends within one 5 ms pause and
// one block of rendering; the bound only keeps a stuck worker from hanging the caller.
inline constexpr uint32_t kStopWaitMs = 2000;

// Stop signal values.
inline constexpr uint32_t kRun = 0;
inline constexpr uint32_t kStopRequested = 1;  // by StopPlayback, on the caller's thread
inline constexpr uint32_t kStopSongEnded = 2;  // by the worker, at the end of a no-loop song

struct PlayerState {
    PlayerLock lock;
    OutputPlatform platform{};           // lock; fixed while a worker runs
    std::atomic<void*> device{nullptr};  // the open device's handle; lock to change
    bool arenaInUse = false;             // lock: the arena holds a song
    WorkerThread* worker = nullptr;      // lock: the running worker, released by whoever ends it
    WorkerThread* stopping = nullptr;    // caller only: a worker told to stop that has not ended
    std::atomic<uint32_t> stopSignal{kRun};
    std::atomic<bool> hasSong{false};  // a song is loaded (the title is worth showing)

    RenderState render;  // the accumulator doubles as the reader's cache while loading
    Module module{};
    SongArena arena;
    Reader reader;
    char title[kTitleBytes] = {};  // caller's thread only
    alignas(64) int16_t waveBuffer[kBufferBytes / 2] = {};
};

PlayerState& Player();

// The worker's procedure: keeps the looping buffer rendered behind the play position.
void OutputThread();

// Closes the device, releases the song's arena and clears the fill index and the values the
// getters report. `lock` held; either thread.
void ReleaseSongLocked(PlayerState& player);

}  // namespace xm
