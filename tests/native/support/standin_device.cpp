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
    freeBase_ = 0;
    freeSince_ = std::chrono::steady_clock::now();
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
    freeSince_ = std::chrono::steady_clock::now();
    return true;
}

uint32_t StandInDevice::PositionLocked() {
    if (freeRate_ == 0 || !looping_) return position_;
    const auto elapsed = std::chrono::steady_clock::now() - freeSince_;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    const uint64_t bytes = static_cast<uint64_t>(us) * freeRate_ / 1000000;
    return freeBase_ + static_cast<uint32_t>(bytes & ~uint64_t{3});
}

uint32_t StandInDevice::PlayedBytes() {
    std::lock_guard guard(lock_);
    ++queries_;
    changed_.notify_all();
    return PositionLocked();
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

void StandInDevice::RunFreely(uint32_t bytesPerSecond) {
    std::lock_guard guard(lock_);
    freeBase_ = position_;
    freeSince_ = std::chrono::steady_clock::now();
    freeRate_ = bytesPerSecond;
}

bool StandInDevice::WaitForQueries(uint32_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    const uint64_t target = queries_ + count;
    return changed_.wait_for(lock, timeout, [&] { return queries_ >= target; });
}

bool StandInDevice::WaitForClose(std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return !open_; });
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
