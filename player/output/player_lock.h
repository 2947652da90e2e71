// The lock of the player's shared state (lockable as std::mutex is). A Windows slim lock in the
// Windows build, so that the program needs no POSIX threads runtime; std::mutex natively, where
// ThreadSanitizer watches it.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace xm {

class PlayerLock {
  public:
    PlayerLock() = default;
    PlayerLock(const PlayerLock&) = delete;
    PlayerLock& operator=(const PlayerLock&) = delete;

    // Not recursive. Any thread.
    void lock();
    void unlock();

  private:
#ifdef _WIN32
    void* slim_ = nullptr;  // an SRWLOCK: one pointer, null while free (output/win/)
#else
    std::mutex mutex_;
#endif
};

#ifndef _WIN32
inline void PlayerLock::lock() {
    mutex_.lock();
}
inline void PlayerLock::unlock() {
    mutex_.unlock();
}
#endif

}  // namespace xm
