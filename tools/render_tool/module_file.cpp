#include "tools/render_tool/module_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "player/render/song_walk.h"
#include "player/song/reader.h"

namespace xmrender {

namespace {

constexpr uint32_t kRate = xm::kOutputRate;
// Bytes of the file header that say what kind of file it is.
constexpr size_t kPeekBytes = 80;
constexpr char kSignature[] = "Extended Module: ";
constexpr uint16_t kVersionRead = 0x0104;
// --info walks at most this much music looking for the end of the order list.
constexpr uint64_t kWalkLimitFrames = uint64_t{24} * 3600 * kRate;

// Why a file cannot be read, or an empty text when it can.
std::string Unreadable(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "is a directory";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::strerror(errno);
    std::fclose(f);
    return "";
}

struct FileStart {
    bool signature = false;
    uint16_t version = 0;
    uint16_t patterns = 0;
};

FileStart PeekFileStart(const std::string& path) {
    uint8_t bytes[kPeekBytes] = {};
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        (void)!std::fread(bytes, 1, sizeof bytes, f);
        std::fclose(f);
    }
    FileStart start;
    start.signature = std::memcmp(bytes, kSignature, sizeof kSignature - 1) == 0;
    start.version = static_cast<uint16_t>(bytes[58] | bytes[59] << 8);
    start.patterns = static_cast<uint16_t>(bytes[70] | bytes[71] << 8);
    return start;
}

// What may explain a refusal beyond the failed check itself.
std::string Hint(const FileStart& start) {
    if (!start.signature) {
        return " (the file does not start with \"Extended Module: \": not an XM module?)";
    }
    if (start.version < kVersionRead) {
        char text[96];
        std::snprintf(text, sizeof text,
                      " (the file is laid out as XM version %x.%02x; only 1.04 is read)",
                      start.version >> 8, start.version & 0xFF);
        return text;
    }
    return "";
}

int SampleCount(const xm::Module& module) {
    int count = 0;
    for (int i = 0; i < (module.instrumentCount & 0xFF); ++i) {
        for (const xm::Sample* sample : module.instruments[i].samples) count += sample != nullptr;
    }
    return count;
}

std::string PlayTime(xm::Module& module) {
    const xm::SongWalk walk = xm::WalkSong(module, kWalkLimitFrames);
    switch (walk.ending) {
        case xm::SongWalk::Ending::OrderListEnd:
            return FormatDuration(walk.frames) +
                   " to the end of the order list (--no-loop stops at " +
                   FormatDuration(walk.framesToLastRow) + ", as the last row starts)";
        case xm::SongWalk::Ending::JumpsBack:
            return "endless: after " + FormatDuration(walk.frames) + ", order " +
                   std::to_string(walk.fromOrder) + " row " + std::to_string(walk.fromRow) +
                   " jumps back to order " + std::to_string(walk.toOrder) + " row " +
                   std::to_string(walk.toRow) + ", and so on for ever";
        case xm::SongWalk::Ending::TooLong:
            break;
    }
    return "more than " + FormatDuration(walk.frames) + " without ending or repeating";
}

}  // namespace

std::string FormatDuration(uint64_t frames) {
    const uint64_t ms = frames * 1000 / kRate;
    const uint64_t seconds = ms / 1000, minutes = seconds / 60, hours = minutes / 60;
    char text[48];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu",
                      static_cast<unsigned long long>(hours),
                      static_cast<unsigned long long>(minutes % 60),
                      static_cast<unsigned long long>(seconds % 60),
                      static_cast<unsigned long long>(ms % 1000));
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                      static_cast<unsigned long long>(minutes),
                      static_cast<unsigned long long>(seconds % 60),
                      static_cast<unsigned long long>(ms % 1000));
    }
    return text;
}

std::unique_ptr<ModuleFile> LoadModuleFile(const std::string& path, std::string& error) {
    error = Unreadable(path);
    if (!error.empty()) return nullptr;
    const FileStart start = PeekFileStart(path);

    auto file = std::make_unique<ModuleFile>();
    xm::Reader reader;
    reader.SelectFile(path.c_str());
    xm::LoadError why;
    const bool loaded = xm::LoadModule(reader, file->arena, file->module, file->title, &why);
    reader.Close();
    if (!loaded) {
        error = "not playable: " + xm::DescribeLoadError(why) + Hint(start);
        return nullptr;
    }
    file->storedPatterns = start.patterns;
    return file;
}

void PrintInfo(std::FILE* out, const std::string& path, ModuleFile& file) {
    const xm::Module& m = file.module;
    std::string patterns = std::to_string(file.storedPatterns);
    if (m.patternSlotCount > file.storedPatterns) {
        const std::string last = std::to_string(m.patternSlotCount - 1);
        patterns += " (the order list names up to pattern " + last + "; " +
                    std::to_string(file.storedPatterns) + " to " + last +
                    " play as empty 64-row patterns)";
    }
    std::string restart = std::to_string(m.restartPosition);
    if (m.restartPosition >= m.songLength) restart += " (beyond the song: plays order 0)";
    std::fprintf(out, "%s\n", path.c_str());
    std::fprintf(out, "  title:            %s\n", file.title);
    std::fprintf(out, "  channels:         %d\n", m.channelCount);
    std::fprintf(out, "  patterns:         %s\n", patterns.c_str());
    std::fprintf(out, "  instruments:      %d\n", m.instrumentCount & 0xFF);
    std::fprintf(out, "  samples:          %d\n", SampleCount(m));
    std::fprintf(out, "  tempo:            %u ticks per row\n", m.defaultTempo);
    std::fprintf(out, "  BPM:              %u\n", m.defaultBpm);
    std::fprintf(out, "  frequency table:  %s\n",
                 (m.flags & xm::kLinearFrequencyTable) ? "linear" : "Amiga");
    std::fprintf(out, "  song length:      %u orders, restart at order %s\n", m.songLength,
                 restart.c_str());
    std::fprintf(out, "  play time:        %s\n", PlayTime(file.module).c_str());
}

}  // namespace xmrender
