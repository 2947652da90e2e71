#include "player/output/win/waveout_device.h"

#include "player/song/records.h"

namespace xm {

WaveOutDevice::~WaveOutDevice() {
    if (handle_ != nullptr) Close();
}

void* WaveOutDevice::Open() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kOutputRate;
    format.nAvgBytesPerSec = kOutputRate * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    HWAVEOUT handle = nullptr;
    if (waveOutOpen(&handle, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        return nullptr;
    }
    handle_ = handle;
    lastPlayedBytes_ = 0;
    return handle;
}

void WaveOutDevice::PrepareLoop(int16_t* buffer, uint32_t bytes) {
    header_ = WAVEHDR{};
    header_.lpData = reinterpret_cast<LPSTR>(buffer);
    header_.dwBufferLength = bytes;
    header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header_.dwLoops = 0xFFFFFFFF;
    prepared_ = waveOutPrepareHeader(handle_, &header_, sizeof header_) == MMSYSERR_NOERROR;
}

bool WaveOutDevice::StartLoop() {
    return waveOutWrite(handle_, &header_, sizeof header_) == MMSYSERR_NOERROR;
}

uint32_t WaveOutDevice::PlayedBytes() {
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(handle_, &time, sizeof time) == MMSYSERR_NOERROR &&
        time.wType == TIME_BYTES) {
        lastPlayedBytes_ = time.u.cb;
    }
    return lastPlayedBytes_;
}

void WaveOutDevice::Close() {
    HWAVEOUT handle = handle_;
    handle_ = nullptr;
    waveOutReset(handle);
    if (prepared_) waveOutUnprepareHeader(handle, &header_, sizeof header_);
    prepared_ = false;
    waveOutClose(handle);
}

}  // namespace xm
