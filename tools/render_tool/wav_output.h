// Where a rendered WAV goes: a regular file (written under a temporary name beside it and
// renamed when complete), standard output, or an existing FIFO or character device (written in
// place, never replaced).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xmrender {

// The 44-byte header of a 48 kHz 16-bit stereo PCM WAV holding `frames` frames; without a
// length, the sizes that mean "unknown length" to players reading a stream (0xFFFFFFFF).
std::vector<uint8_t> WavHeader(std::optional<uint32_t> frames);

class WavOutput {
  public:
    // Opens `path` ("-": standard output). `knownFrames` is the length when it is known before
    // rendering; a stream gets it in its header. Null on failure, with a one-line `error`.
    static std::unique_ptr<WavOutput> Open(const std::string& path,
                                           std::optional<uint32_t> knownFrames, std::string& error);
    ~WavOutput();
    WavOutput(const WavOutput&) = delete;
    WavOutput& operator=(const WavOutput&) = delete;

    // Appends PCM bytes. False with a one-line `error` when the write fails.
    bool Write(const void* data, size_t bytes, std::string& error);
    // Completes the output of `frames` frames: the final header where it can still be written,
    // then the rename of a temporary file. False with a one-line `error`; a temporary file is then
    // removed and the target left as it was.
    bool Finish(uint32_t frames, std::string& error);

  private:
    WavOutput() = default;
    bool Place(const std::string& path, std::optional<uint32_t> knownFrames, std::string& error);

    int fd_ = -1;
    bool ownsFd_ = false;  // not standard output
    std::string target_;   // renamed onto at the end; empty for a stream
    std::string temp_;     // the temporary file while it exists
    std::optional<uint32_t> headerFrames_;
    // A stream that is a seekable regular file (standard output redirected to a file): its header
    // can be corrected at the end.
    std::optional<int64_t> rewriteAt_;
};

}  // namespace xmrender
