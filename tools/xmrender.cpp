// Renders XM modules through the player's engine and block conversion to WAV, and describes
// them. `xmrender --help` lists the options; tools/render_tool/ holds the pieces.
//
// 48,000 Hz, 16-bit stereo, as the player outputs it. A render of N seconds without --no-loop
// has a length known in advance; with --no-loop it ends where the order list ends, or after N.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "player/render/render.h"
#include "tools/render_tool/module_file.h"
#include "tools/render_tool/options.h"
#include "tools/render_tool/wav_output.h"

namespace {

using xmrender::Options;

constexpr uint32_t kRate = xm::kOutputRate;
// Blocks rendered between two writes: 16 wave buffers, 1 MiB of PCM.
constexpr uint32_t kBuffersPerWrite = 16;
constexpr uint32_t kBlocksPerWrite = kBuffersPerWrite * xm::kBlockCount;

void Report(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "xmrender: %s: %s\n", file.c_str(), reason.c_str());
}

// Shows how far a long render is, on a terminal only.
class Progress {
  public:
    Progress(const std::string& name, double totalSeconds)
        : name_(name), total_(totalSeconds), shown_(isatty(STDERR_FILENO) != 0) {}
    void Update(uint64_t frames) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::fprintf(stderr, "\rxmrender: %s: %.1f / %.0f s", name_.c_str(),
                     static_cast<double>(frames) / kRate, total_);
    }
    void Finish() {
        if (shown_ && last_ != std::chrono::steady_clock::time_point{}) std::fprintf(stderr, "\n");
    }

  private:
    std::string name_;
    double total_;
    bool shown_;
    std::chrono::steady_clock::time_point last_{};
};

// Renders blocks into a buffer of kBlocksPerWrite blocks and writes it whole. Returns the frames
// written, or nothing after a write failure (reported in `error`).
std::optional<uint64_t> RenderFrames(xm::RenderState& state, uint64_t limit, Progress& progress,
                                     xmrender::WavOutput& out, std::string& error) {
    constexpr size_t kBufferSamples = xm::kBufferBytes / 2;
    // Whole wave buffers, so that the fill index is back at 0 as each batch begins.
    static_assert(kBlocksPerWrite % xm::kBlockCount == 0);
    std::vector<int16_t> pcm(kBuffersPerWrite * kBufferSamples);
    uint64_t frames = 0;
    bool ended = false;
    while (frames < limit && !ended) {
        // The block at fill index i of wave buffer b lands at block b * 16 + i of `pcm`.
        uint64_t batch = 0;
        for (uint32_t b = 0; b < kBlocksPerWrite && frames + batch < limit; ++b) {
            int16_t* buffer = pcm.data() + (b / xm::kBlockCount) * kBufferSamples;
            if (xm::MixBlock(state, buffer) == xm::BlockOutcome::SongEnded) {
                ended = true;
                break;
            }
            batch += std::min<uint64_t>(xm::kBlockFrames, limit - frames - batch);
        }
        if (!out.Write(pcm.data(), batch * 4, error)) return std::nullopt;
        frames += batch;
        progress.Update(frames);
    }
    return frames;
}

bool Render(const Options& o, const std::string& in, const std::string& out) {
    std::string error;
    const auto file = xmrender::LoadModuleFile(in, error);
    if (!file) {
        Report(in, error);
        return false;
    }
    auto state = std::make_unique<xm::RenderState>();
    state->module = &file->module;
    state->noLoop = o.noLoop ? 1 : 0;
    state->masterVolume = xm::MasterVolumeForStep(o.volumeStep);

    const auto limit = static_cast<uint64_t>(o.seconds * kRate);
    const std::optional<uint32_t> known =
        o.noLoop ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(limit));
    const auto output = xmrender::WavOutput::Open(out, known, error);
    if (!output) {
        Report(out, error);
        return false;
    }
    Progress progress(in, o.seconds);
    const auto frames = RenderFrames(*state, limit, progress, *output, error);
    progress.Finish();
    if (!frames || !output->Finish(static_cast<uint32_t>(*frames), error)) {
        Report(out, error);
        return false;
    }
    return true;
}

// DIR/NAME.wav for IN: the file name without its folder and its last extension.
std::string BatchOutput(const std::string& dir, const std::string& in) {
    std::string name = in.substr(in.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return dir + (dir.back() == '/' ? "" : "/") + name + ".wav";
}

// The output folder, made when it does not exist yet (its parent must).
bool OutputFolder(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        Report(dir, "is not a folder");
        return false;
    }
    if (mkdir(dir.c_str(), 0777) == 0) return true;
    Report(dir, std::string("cannot make the folder: ") + std::strerror(errno));
    return false;
}

int RenderBatch(const Options& o) {
    if (!OutputFolder(o.outputDir)) return 1;
    int failed = 0;
    std::set<std::string> written;
    for (const std::string& in : o.inputs) {
        const std::string out = BatchOutput(o.outputDir, in);
        if (!written.insert(out).second) {
            Report(in, "not rendered: " + out + " was written for an earlier module");
            ++failed;
            continue;
        }
        failed += Render(o, in, out) ? 0 : 1;
    }
    if (failed > 0 && o.inputs.size() > 1) {
        std::fprintf(stderr, "xmrender: %d of %zu modules failed\n", failed, o.inputs.size());
    }
    return failed > 0 ? 1 : 0;
}

int Info(const Options& o) {
    int failed = 0;
    for (const std::string& in : o.inputs) {
        std::string error;
        const auto file = xmrender::LoadModuleFile(in, error);
        if (!file) {
            Report(in, error);
            ++failed;
            continue;
        }
        xmrender::PrintInfo(stdout, in, *file);
    }
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away is reported as a failed write, not a silent death.
    signal(SIGPIPE, SIG_IGN);
    Options o;
    std::string error;
    if (!xmrender::ParseOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "xmrender: %s\n", error.c_str());
        return 2;
    }
    switch (o.mode) {
        case xmrender::Mode::Help:
            std::fputs(xmrender::HelpText(), stdout);
            return 0;
        case xmrender::Mode::Info:
            return Info(o);
        case xmrender::Mode::Batch:
            return RenderBatch(o);
        case xmrender::Mode::Render:
            break;
    }
    return Render(o, o.inputs[0], o.output) ? 0 : 1;
}
