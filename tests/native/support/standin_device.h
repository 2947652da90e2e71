// A stand-in sound device for tests: only the test moves the play position, and what the
// position passes over is taken from the looping buffer as "heard", as a real device would play
// it. The members lock, so the player's threads and the test's thread may call them at once; only
// Advance reads the looping buffer, so call it while the worker has caught up (WaitForQueries).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/output/output_device.h"

namespace xm {

class StandInDevice final : public OutputDevice {
  public:
    void* Open() override;
    void PrepareLoop(int16_t* buffer, uint32_t bytes) override;
    bool StartLoop() override;
    uint32_t PlayedBytes() override;
    void Close() override;

    // --- the test's side ---
    void SetOpenFails(bool fails);
    // Plays `bytes` more of the buffer (a multiple of 4): appends them to the heard samples.
    void Advance(uint32_t bytes);
    // Plays `bytes` more (a multiple of 4) without recording them: reads nothing of the buffer,
    // so the worker may be rendering meanwhile.
    void Skip(uint32_t bytes);
    // Waits until the position has been asked for `count` more times; false after `timeout`.
    bool WaitForQueries(uint32_t count, std::chrono::milliseconds timeout);
    // The same, or until the stream is closed (a no-loop song that ended stops the asking).
    bool WaitForQueriesOrClose(uint32_t count, std::chrono::milliseconds timeout);

    std::vector<int16_t> Heard() const;
    bool IsOpen() const;
    bool IsLooping() const;
    int OpenCount() const;
    int CloseCount() const;

  private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool openFails_ = false;
    bool open_ = false;
    bool looping_ = false;
    int16_t* buffer_ = nullptr;
    uint32_t bufferBytes_ = 0;
    uint32_t position_ = 0;
    uint64_t queries_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    std::vector<int16_t> heard_;
};

}  // namespace xm
