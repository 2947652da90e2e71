// Renders modules for 300 seconds with our player, libxmp and libopenmpt and prints seconds of
// audio per second of CPU for each (medians of several runs) and our ratio to each peer.
//
//   bench_render [--seconds N] [--runs N] [--no-fast-paths] [--vector-bits 0|128|256|512]
//                [--write-songs DIR] [FILE.xm ...]
//
// Without files it renders res/music.xm (when present) and the generated songs.
// --write-songs DIR stores every song it would render without files (music.xm included) there as
// XM files instead of rendering, so that whole programs can be timed on the same songs.
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/mixer/mixer_options.h"
#include "player/render/render.h"
#include "songs.h"

namespace {

constexpr int kRate = 48000;

struct Options {
    double seconds = 300;
    int runs = 3;
    bool fastPaths = true;
    uint32_t vectorBits = 512;  // 0 plain loops, 128 the SSE2 loops every build has, 256 AVX2
    std::string writeDir;
    std::vector<std::string> files;
};

struct Module {
    std::string name;
    std::vector<uint8_t> bytes;
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU seconds to render `frames` frames with our player; negative when the module is rejected.
double RenderOurs(const Module& m, uint64_t frames, const Options& o) {
    xm::Reader reader;
    reader.SelectMemory(m.bytes.data(), static_cast<uint32_t>(m.bytes.size()));
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    if (!xm::LoadModule(reader, arena, module, title)) return -1;
    reader.Close();
    auto state = std::make_unique<xm::RenderState>();
    state->module = &module;
    state->masterVolume = 32768;
    state->mixer = {o.fastPaths, o.vectorBits};
    std::vector<int16_t> buffer(xm::kBufferBytes / 2);
    const double start = CpuSeconds();
    for (uint64_t done = 0; done < frames; done += xm::kBlockFrames) {
        if (xm::MixBlock(*state, buffer.data()) != xm::BlockOutcome::Rendered) break;
    }
    return CpuSeconds() - start;
}

double RenderXmp(const Module& m, uint64_t frames, const Options& /*o*/) {
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, m.bytes.data(), static_cast<long>(m.bytes.size())) != 0) {
        xmp_free_context(ctx);
        return -1;
    }
    xmp_start_player(ctx, kRate, 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    std::vector<int16_t> buffer(2 * xm::kBlockFrames);
    const double start = CpuSeconds();
    for (uint64_t done = 0; done < frames; done += xm::kBlockFrames) {
        xmp_play_buffer(ctx, buffer.data(), static_cast<int>(buffer.size() * 2), 0);
    }
    const double seconds = CpuSeconds() - start;
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return seconds;
}

double RenderOpenmpt(const Module& m, uint64_t frames, const Options& /*o*/) {
    openmpt_module* mod =
        openmpt_module_create_from_memory2(m.bytes.data(), m.bytes.size(), nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
    if (mod == nullptr) return -1;
    openmpt_module_set_repeat_count(mod, -1);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    std::vector<int16_t> buffer(2 * xm::kBlockFrames);
    const double start = CpuSeconds();
    for (uint64_t done = 0; done < frames; done += xm::kBlockFrames) {
        openmpt_module_read_interleaved_stereo(mod, kRate, xm::kBlockFrames, buffer.data());
    }
    const double seconds = CpuSeconds() - start;
    openmpt_module_destroy(mod);
    return seconds;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds of audio per CPU second of each player, median over the runs, and the medians of each
// run's ratios. The players take turns run by run, so that a change in the machine's speed
// meets all three alike. A player that rejects the module gets 0.
struct Figures {
    double ours, xmp, mpt, toXmp, toMpt;
};

Figures Measure(const Module& m, const Options& o) {
    const auto frames = static_cast<uint64_t>(o.seconds * kRate);
    auto speed = [&](double (*render)(const Module&, uint64_t, const Options&)) {
        const double cpu = render(m, frames, o);
        return cpu < 0 ? 0.0 : o.seconds / std::max(cpu, 1e-9);
    };
    std::vector<double> ours, xmp, mpt, toXmp, toMpt;
    for (int i = 0; i < o.runs; ++i) {
        ours.push_back(speed(RenderOurs));
        xmp.push_back(speed(RenderXmp));
        mpt.push_back(speed(RenderOpenmpt));
        toXmp.push_back(xmp.back() > 0 ? ours.back() / xmp.back() : 0.0);
        toMpt.push_back(mpt.back() > 0 ? ours.back() / mpt.back() : 0.0);
    }
    return {Median(ours), Median(xmp), Median(mpt), Median(toXmp), Median(toMpt)};
}

std::vector<Module> GeneratedModules() {
    std::vector<Module> modules;
    for (int channels : {4, 8, 16, 24}) {
        modules.push_back({"tracker" + std::to_string(channels),
                           xmtest::BuildXm(bench::TrackerSong(channels, 2000 + channels))});
    }
    modules.push_back({"chip10", xmtest::BuildXm(bench::ChipSong(10, 3010))});
    for (int channels : {8, 16, 24, 32}) {
        modules.push_back({"busy" + std::to_string(channels),
                           xmtest::BuildXm(bench::BusySong(channels, 1000 + channels))});
    }
    return modules;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--no-fast-paths") {
            o.fastPaths = false;
        } else if (a == "--no-vectors") {
            o.vectorBits = 0;
        } else if (a == "--vector-bits" && i + 1 < argc) {
            o.vectorBits = static_cast<uint32_t>(std::atoi(argv[++i]));
        } else if ((a == "--write-songs" || a == "--write") && i + 1 < argc) {
            o.writeDir = argv[++i];
        } else if (!a.empty() && a[0] != '-') {
            o.files.push_back(a);
        } else {
            return false;
        }
    }
    return o.seconds > 0;
}

int WriteModules(const std::vector<Module>& modules, const std::string& dir) {
    for (const Module& m : modules) {
        const bool named = m.name.size() > 3 && m.name.compare(m.name.size() - 3, 3, ".xm") == 0;
        const std::string path = dir + "/" + m.name + (named ? "" : ".xm");
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(m.bytes.data()),
                  static_cast<std::streamsize>(m.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "bench_render: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(
            stderr,
            "usage: bench_render [--seconds N] [--runs N] [--no-fast-paths] [--no-vectors] "
            "[--vector-bits 0|128|256|512] "
            "[--write-songs DIR] [FILE.xm ...]\n");
        return 2;
    }
    std::vector<Module> modules;
    if (o.files.empty() || !o.writeDir.empty()) {
        Module music{"music.xm", {}};
        if (ReadFile(std::string(LS_SOURCE_DIR) + "/res/music.xm", music.bytes)) {
            modules.push_back(std::move(music));
        }
        for (auto& m : GeneratedModules()) modules.push_back(std::move(m));
        if (!o.writeDir.empty()) return WriteModules(modules, o.writeDir);
    }
    for (const std::string& path : o.files) {
        Module m{path.substr(path.find_last_of('/') + 1), {}};
        if (!ReadFile(path, m.bytes)) {
            std::fprintf(stderr, "bench_render: cannot read %s\n", path.c_str());
            return 1;
        }
        modules.push_back(std::move(m));
    }
    const uint32_t vectors = o.fastPaths ? std::min(o.vectorBits, xm::WidestMixerVectors()) : 0;
    std::printf(
        "%.0f s of audio at 48 kHz, median of %d runs taken in turn; x realtime = audio s / CPU s, "
        "ratios = median of each run's; "
        "mixer: %s, vector loops of %u bits\n",
        o.seconds, o.runs, o.fastPaths ? "shortcuts" : "no shortcuts",
        vectors >= 512   ? 512u
        : vectors >= 256 ? 256u
        : vectors != 0   ? 128u
                         : 0u);
    std::printf("%-12s %10s %10s %10s %9s %9s\n", "module", "ours", "libxmp", "openmpt", "/libxmp",
                "/openmpt");
    bool allOnTarget = true;
    for (const Module& m : modules) {
        const Figures f = Measure(m, o);
        std::printf("%-12s %10.0f %10.0f %10.0f %9.2f %9.2f\n", m.name.c_str(), f.ours, f.xmp,
                    f.mpt, f.toXmp, f.toMpt);
        std::fflush(stdout);
        allOnTarget = allOnTarget && f.toXmp >= 2 && f.toMpt >= 3;
    }
    std::printf("at least 2 x libxmp and 3 x libopenmpt on every module: %s\n",
                allOnTarget ? "yes" : "no");
    return 0;
}
