// The Windows build's system output: the default waveOut device and Windows threads.
#include <new>

#include "player/output/output_platform.h"
#include "player/output/win/resource_finder.h"
#include "player/output/win/waveout_device.h"
#include "player/output/win/win_threads.h"

namespace xm {

OutputPlatform SystemOutputPlatform() {
    // Never destroyed: the program ends while the worker still plays. In static storage, so
    // that the first song cannot fail for want of memory here.
    alignas(WaveOutDevice) static unsigned char storage[sizeof(WaveOutDevice)];
    static WaveOutDevice& device = *::new (static_cast<void*>(storage)) WaveOutDevice;
    return {&device, &WindowsThreads()};
}

void InstallSystemResources() {
    static const bool installed = (InstallResourceFinder(), true);
    (void)installed;
}

}  // namespace xm
