// ThreadService over Windows threads: CreateThread, THREAD_PRIORITY_TIME_CRITICAL, Sleep,
// WaitForSingleObject with a time limit, CloseHandle.
#include <windows.h>

#include <new>

#include "player/output/win/win_threads.h"

namespace xm {
namespace {

DWORD WINAPI RunProcedure(LPVOID parameter) {
    auto* procedure = static_cast<ThreadService::Procedure*>(parameter);
    const ThreadService::Procedure run = *procedure;
    delete procedure;
    run();
    return 0;
}

HANDLE AsHandle(WorkerThread* thread) {
    return reinterpret_cast<HANDLE>(thread);
}

class WindowsThreadService final : public ThreadService {
  public:
    WorkerThread* Start(Procedure procedure) override {
        // The player reports what it cannot do through its results, never through the
        // program's out-of-memory error.
        auto* parameter = new (std::nothrow) Procedure(procedure);
        if (parameter == nullptr) return nullptr;
        HANDLE thread = CreateThread(nullptr, 0, RunProcedure, parameter, 0, nullptr);
        if (thread == nullptr) {
            delete parameter;
            return nullptr;
        }
        return reinterpret_cast<WorkerThread*>(thread);
    }

    void RaisePriority(WorkerThread* thread) override {
        SetThreadPriority(AsHandle(thread), THREAD_PRIORITY_TIME_CRITICAL);
    }

    bool WaitForEnd(WorkerThread* thread, uint32_t timeoutMs) override {
        return WaitForSingleObject(AsHandle(thread), timeoutMs) == WAIT_OBJECT_0;
    }

    void Release(WorkerThread* thread) override { CloseHandle(AsHandle(thread)); }

    void Sleep(uint32_t ms) override { ::Sleep(ms); }
};

}  // namespace

ThreadService& WindowsThreads() {
    static WindowsThreadService service;
    return service;
}

}  // namespace xm
