#include "tests/native/support/standin_device.h"

namespace xm {

namespace {
int standInHandle;  // what Open hands out: any non-null address will do
}

void* StandInDevice::Open() {
    std::lock_guard guard(lock_);
    if (openFails_) return nullptr;
    open_ = true;
    looping_ = false;
    position_ = 0;
    heard_.clear();
    ++opens_;
    return &standInHandle;
}

void StandInDevice::PrepareLoop(int16_t* buffer, uint32_t bytes) {
    std::lock_guard guard(lock_);
    buffer_ = buffer;
    bufferBytes_ = bytes;
}

bool StandInDevice::StartLoop() {
    std::lock_guard guard(lock_);
    if (!open_ || buffer_ == nullptr) return false;
    looping_ = true;
    return true;
}

uint32_t StandInDevice::PlayedBytes() {
    std::lock_guard guard(lock_);
    ++queries_;
    changed_.notify_all();
    return position_;
}

void StandInDevice::Close() {
    std::lock_guard guard(lock_);
    open_ = false;
    looping_ = false;
    buffer_ = nullptr;
    ++closes_;
    changed_.notify_all();
}

void StandInDevice::SetOpenFails(bool fails) {
    std::lock_guard guard(lock_);
    openFails_ = fails;
}

void StandInDevice::Advance(uint32_t bytes) {
    std::lock_guard guard(lock_);
    if (!looping_) return;
    for (uint32_t i = 0; i < bytes; i += 2) {
        heard_.push_back(buffer_[((position_ + i) % bufferBytes_) / 2]);
    }
    position_ += bytes;
}

void StandInDevice::Skip(uint32_t bytes) {
    std::lock_guard guard(lock_);
    if (looping_) position_ += bytes;
}

bool StandInDevice::WaitForQueries(uint32_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    const uint64_t target = queries_ + count;
    return changed_.wait_for(lock, timeout, [&] { return queries_ >= target; });
}

bool StandInDevice::WaitForQueriesOrClose(uint32_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    const uint64_t target = queries_ + count;
    return changed_.wait_for(lock, timeout, [&] { return queries_ >= target || !open_; });
}

std::vector<int16_t> StandInDevice::Heard() const {
    std::lock_guard guard(lock_);
    return heard_;
}

bool StandInDevice::IsOpen() const {
    std::lock_guard guard(lock_);
    return open_;
}

bool StandInDevice::IsLooping() const {
    std::lock_guard guard(lock_);
    return looping_;
}

int StandInDevice::OpenCount() const {
    std::lock_guard guard(lock_);
    return opens_;
}

int StandInDevice::CloseCount() const {
    std::lock_guard guard(lock_);
    return closes_;
}

}  // namespace xm
