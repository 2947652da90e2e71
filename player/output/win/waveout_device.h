// The sound card through waveOut: one looping WAVEHDR over the player's buffer, no callbacks.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "player/output/output_device.h"

namespace xm {

class WaveOutDevice final : public OutputDevice {
  public:
    WaveOutDevice() = default;
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;
    ~WaveOutDevice() override;

    // Fails (null) when waveOutOpen does, e.g. without a sound server under Wine.
    void* Open() override;
    void PrepareLoop(int16_t* buffer, uint32_t bytes) override;
    bool StartLoop() override;
    // The last position the device reported, should a query fail.
    uint32_t PlayedBytes() override;
    void Close() override;

  private:
    HWAVEOUT handle_ = nullptr;
    WAVEHDR header_{};
    bool prepared_ = false;
    uint32_t lastPlayedBytes_ = 0;
};

}  // namespace xm
