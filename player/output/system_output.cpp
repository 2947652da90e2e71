// The native build's system output: threads from the standard library and no sound device, so
// PlaySong behaves as on a machine without a sound card. The Windows build has its own.
#ifndef _WIN32

#include "player/output/output_platform.h"

namespace xm {
namespace {

class NoDevice final : public OutputDevice {
  public:
    void* Open() override { return nullptr; }
    void PrepareLoop(int16_t*, uint32_t) override {}
    bool StartLoop() override { return false; }
    uint32_t PlayedBytes() override { return 0; }
    void Close() override {}
};

}  // namespace

OutputPlatform SystemOutputPlatform() {
    static NoDevice device;
    return {&device, &StandardThreads()};
}

void InstallSystemResources() {}

}  // namespace xm

#endif
