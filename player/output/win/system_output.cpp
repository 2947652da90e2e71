// The Windows build's system output: the default waveOut device and Windows threads.
#include "player/output/output_platform.h"
#include "player/output/win/resource_finder.h"
#include "player/output/win/waveout_device.h"
#include "player/output/win/win_threads.h"

namespace xm {

OutputPlatform SystemOutputPlatform() {
    // Never destroyed: the program ends while the worker still plays.
    static WaveOutDevice& device = *new WaveOutDevice;
    return {&device, &WindowsThreads()};
}

void InstallSystemResources() {
    static const bool installed = (InstallResourceFinder(), true);
    (void)installed;
}

}  // namespace xm
