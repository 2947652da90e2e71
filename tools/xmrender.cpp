// Renders an XM module through the player's engine and conversion into a WAV file.
//
//   xmrender [--seconds N] [--no-loop] [--volume STEP] IN.xm OUT.wav
//
// 48,000 Hz, 16-bit stereo. Renders N seconds (default 60); with --no-loop it stops at the end
// of the order list, or after N seconds (default 3600) for a song that never ends. STEP is the
// player's volume step 0..25 (default 25, unity). The output appears only when complete: it is
// written under a temporary name and renamed.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/render/render.h"

namespace {

constexpr uint32_t kRate = xm::kOutputRate;
// A WAV file's sizes are 32-bit: six hours of 48 kHz stereo is about 4 GB.
constexpr double kMaxSeconds = 6 * 3600;

struct Options {
    double seconds = 60;
    bool secondsGiven = false;
    bool noLoop = false;
    uint32_t volumeStep = 25;
    std::string in, out;
};

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options& o) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        double value = 0;
        if (a == "--seconds" && i + 1 < argc && ParseNumber(argv[i + 1], value)) {
            o.seconds = value;
            o.secondsGiven = true;
            ++i;
        } else if (a == "--volume" && i + 1 < argc && ParseNumber(argv[i + 1], value)) {
            if (value < 0 || value > 1000) return false;
            o.volumeStep = static_cast<uint32_t>(value);
            ++i;
        } else if (a == "--no-loop") {
            o.noLoop = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2 || !(o.seconds > 0) || o.seconds > kMaxSeconds) return false;
    if (o.noLoop && !o.secondsGiven) o.seconds = 3600;
    o.in = files[0];
    o.out = files[1];
    return true;
}

// Why a module file cannot be read, or an empty text when it can.
std::string Unreadable(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "is a directory";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::strerror(errno);
    std::fclose(f);
    return "";
}

void PutU16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}

std::vector<uint8_t> WavHeader(uint32_t dataBytes) {
    std::vector<uint8_t> h;
    auto text = [&](const char* s) { h.insert(h.end(), s, s + 4); };
    text("RIFF");
    PutU32(h, 36 + dataBytes);
    text("WAVE");
    text("fmt ");
    PutU32(h, 16);
    PutU16(h, 1);  // PCM
    PutU16(h, 2);
    PutU32(h, kRate);
    PutU32(h, kRate * 4);
    PutU16(h, 4);
    PutU16(h, 16);
    text("data");
    PutU32(h, dataBytes);
    return h;
}

// The output file under a temporary name; removed unless committed.
class PendingFile {
  public:
    explicit PendingFile(const std::string& target) : target_(target) {
        std::string pattern = target + ".XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) return;
        temp_ = pattern;
        file_ = fdopen(fd, "wb");
        if (file_ == nullptr) close(fd);
    }
    ~PendingFile() {
        if (file_ != nullptr) std::fclose(file_);
        if (!temp_.empty()) std::remove(temp_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return file_ != nullptr; }
    bool Write(const void* data, size_t bytes) {
        return std::fwrite(data, 1, bytes, file_) == bytes;
    }
    bool Rewind() { return std::fseek(file_, 0, SEEK_SET) == 0; }
    // Closes the file and gives it its real name.
    bool Commit() {
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed) return false;
        chmod(temp_.c_str(), 0644);
        if (std::rename(temp_.c_str(), target_.c_str()) != 0) return false;
        temp_.clear();
        return true;
    }

  private:
    std::string target_, temp_;
    std::FILE* file_ = nullptr;
};

// Shows how far a long render is, on a terminal only.
class Progress {
  public:
    explicit Progress(double totalSeconds)
        : total_(totalSeconds), shown_(isatty(STDERR_FILENO) != 0) {}
    void Update(uint64_t frames) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::fprintf(stderr, "\rxmrender: %.1f / %.0f s", static_cast<double>(frames) / kRate,
                     total_);
    }
    void Finish() {
        if (shown_ && last_ != std::chrono::steady_clock::time_point{}) std::fprintf(stderr, "\n");
    }

  private:
    double total_;
    bool shown_;
    std::chrono::steady_clock::time_point last_{};
};

int Fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "xmrender: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: xmrender [--seconds N] [--no-loop] [--volume STEP] IN.xm OUT.wav\n");
        return 2;
    }
    const std::string why = Unreadable(o.in);
    if (!why.empty()) return Fail(o.in, why);

    xm::Reader reader;
    reader.SelectFile(o.in.c_str());
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    const bool loaded = xm::LoadModule(reader, arena, module, title);
    reader.Close();
    if (!loaded) return Fail(o.in, "not a playable XM module (rejected by the loader)");

    auto state = std::make_unique<xm::RenderState>();
    state->module = &module;
    state->noLoop = o.noLoop ? 1 : 0;
    state->masterVolume = xm::MasterVolumeForStep(o.volumeStep);

    PendingFile out(o.out);
    if (!out.ok()) return Fail(o.out, std::string("cannot create: ") + std::strerror(errno));
    if (!out.Write(WavHeader(0).data(), 44)) return Fail(o.out, "write failed");

    const auto limit = static_cast<uint64_t>(o.seconds * kRate);
    std::vector<int16_t> buffer(xm::kBufferBytes / 2);
    Progress progress(o.seconds);
    uint64_t frames = 0;
    while (frames < limit) {
        const uint32_t index = state->fillIndex;
        if (xm::MixBlock(*state, buffer.data()) == xm::BlockOutcome::SongEnded) break;
        const uint64_t take = std::min<uint64_t>(xm::kBlockFrames, limit - frames);
        if (!out.Write(buffer.data() + index * xm::kBlockFrames * 2, take * 4)) {
            progress.Finish();
            return Fail(o.out, "write failed");
        }
        frames += take;
        progress.Update(frames);
    }
    progress.Finish();
    const auto header = WavHeader(static_cast<uint32_t>(frames * 4));
    if (!out.Rewind() || !out.Write(header.data(), header.size()) || !out.Commit()) {
        return Fail(o.out, std::string("cannot write: ") + std::strerror(errno));
    }
    return 0;
}
