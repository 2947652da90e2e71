// Which device and threads the player uses: the system's own unless a test installs others.
#pragma once

#include "player/output/output_device.h"
#include "player/output/worker_threads.h"

namespace xm {

struct OutputPlatform {
    OutputDevice* device;
    ThreadService* threads;
};

// The system's output: waveOut and Windows threads in the Windows build; natively no sound
// device (the player then behaves as on a machine without a sound card).
OutputPlatform SystemOutputPlatform();

// Makes the program's own resources readable by the player's resource source. Caller's thread,
// before a resource is loaded; does nothing where the system has no resources.
void InstallSystemResources();

// Installs `platform` for the following songs (null: the system's). Caller's thread, while no
// song plays.
void SetOutputPlatform(const OutputPlatform* platform);

}  // namespace xm
