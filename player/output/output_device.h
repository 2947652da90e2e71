// The sound device behind the player: one 48,000 Hz 16-bit stereo stream that plays a single
// buffer in an endless loop. waveOut in the Windows build; a stand-in in the native tests.
#pragma once

#include <cstdint>

namespace xm {

class OutputDevice {
  public:
    virtual ~OutputDevice() = default;

    // Opens a 48,000 Hz 16-bit stereo PCM stream on the default device, without callbacks.
    // Returns the device's handle, or null when there is no device. Caller's thread.
    virtual void* Open() = 0;
    // Hands the device the looping buffer (`bytes` bytes of 16-bit stereo frames); the player
    // keeps rewriting parts of it while it plays. Not checked. Open device only.
    virtual void PrepareLoop(int16_t* buffer, uint32_t bytes) = 0;
    // Starts playing the buffer from its start, repeating endlessly. False when it cannot.
    virtual bool StartLoop() = 0;
    // Bytes played since the stream started, counting across repetitions (wraps at 2^32).
    // Worker thread while playing.
    virtual uint32_t PlayedBytes() = 0;
    // Stops the sound at once, takes the buffer back and closes the stream. Open device only.
    virtual void Close() = 0;
};

}  // namespace xm
