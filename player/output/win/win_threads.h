// The output worker's threads on Windows.
#pragma once

#include "player/output/worker_threads.h"

namespace xm {

// CreateThread-based threads; RaisePriority sets THREAD_PRIORITY_TIME_CRITICAL.
ThreadService& WindowsThreads();

}  // namespace xm
