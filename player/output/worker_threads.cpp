// ThreadService over std::thread. std::thread has no timed join, so each thread reports its end
// through a small shared record that outlives a released handle.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "player/output/worker_threads.h"

namespace xm {

struct WorkerThread {
    struct Ending {
        std::mutex lock;
        std::condition_variable ended;
        bool done = false;
    };
    std::shared_ptr<Ending> ending = std::make_shared<Ending>();
    std::thread thread;
};

namespace {

class StandardThreadService final : public ThreadService {
  public:
    WorkerThread* Start(Procedure procedure) override {
        // No thread, or no memory for its records: both are a thread that cannot start.
        try {
            auto worker = std::make_unique<WorkerThread>();
            worker->thread = std::thread([procedure, ending = worker->ending] {
                procedure();
                std::lock_guard guard(ending->lock);
                ending->done = true;
                ending->ended.notify_all();
            });
            return worker.release();
        } catch (const std::system_error&) {
            return nullptr;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    void RaisePriority(WorkerThread*) override {}

    bool WaitForEnd(WorkerThread* worker, uint32_t timeoutMs) override {
        WorkerThread::Ending& ending = *worker->ending;
        std::unique_lock lock(ending.lock);
        if (!ending.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return ending.done; })) {
            return false;
        }
        lock.unlock();
        worker->thread.join();
        return true;
    }

    void Release(WorkerThread* worker) override {
        if (worker->thread.joinable()) worker->thread.detach();
        delete worker;
    }

    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

ThreadService& StandardThreads() {
    static StandardThreadService service;
    return service;
}

}  // namespace xm
