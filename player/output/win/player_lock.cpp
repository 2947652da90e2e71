#include "player/output/player_lock.h"

#include <windows.h>

namespace xm {

namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*));

PSRWLOCK Slim(void** storage) {
    return reinterpret_cast<PSRWLOCK>(storage);
}

}  // namespace

void PlayerLock::lock() {
    AcquireSRWLockExclusive(Slim(&slim_));
}

void PlayerLock::unlock() {
    ReleaseSRWLockExclusive(Slim(&slim_));
}

}  // namespace xm
