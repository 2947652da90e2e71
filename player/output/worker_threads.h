// The thread services the output worker runs on: start, priority, sleep, a bounded wait for the
// end, and release of the handle. Windows threads in the Windows build, std::thread natively.
#pragma once

#include <cstdint>

namespace xm {

struct WorkerThread;  // opaque handle of a started thread

class ThreadService {
  public:
    using Procedure = void (*)();
    virtual ~ThreadService() = default;

    // Starts `procedure` on a new thread at once; null when no thread can be created.
    virtual WorkerThread* Start(Procedure procedure) = 0;
    // Raises the thread to the highest priority of the process. Not checked.
    virtual void RaisePriority(WorkerThread* thread) = 0;
    // Waits at most `timeoutMs` for the thread to end; true when it has ended.
    virtual bool WaitForEnd(WorkerThread* thread, uint32_t timeoutMs) = 0;
    // Gives up the handle; the thread itself may go on to its end. Any thread, the thread itself
    // included, once per handle.
    virtual void Release(WorkerThread* thread) = 0;
    // Suspends the calling thread for about `ms` milliseconds.
    virtual void Sleep(uint32_t ms) = 0;
};

// Threads from the C++ standard library (native builds and tests). Priority stays as it is.
ThreadService& StandardThreads();

}  // namespace xm
