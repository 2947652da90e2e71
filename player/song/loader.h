// Loading an XM module into the song arena.
#pragma once

#include <cstdint>
#include <string>

#include "player/song/arena.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace xm {

inline constexpr int kTitleBytes = 24;

// Which check refused a module.
enum class LoadFailure : uint8_t {
    None,
    CannotOpen,        // the source cannot be opened
    NoPatterns,        // the header stores no patterns
    SongLength,        // value: song length, not 1..256
    Channels,          // value: channel count, not 1..64
    PatternRows,       // pattern: with notes; value: rows, not 1..256
    SampleCount,       // instrument; value: samples, above 16
    SampleHeaderSize,  // instrument; value: bytes per sample header, above 40
    SampleLength,      // instrument, sample; value: points, 4,194,304 or more
    OutOfMemory,       // value: the arena's cap in bytes
};

// Why LoadModule refused a module, with the figures that say where. Numbers are as trackers
// show them: patterns from 0, instruments and an instrument's samples from 1.
struct LoadError {
    LoadFailure failure = LoadFailure::None;
    uint32_t pattern = 0;
    uint32_t instrument = 0;
    uint32_t sample = 0;
    uint64_t value = 0;
};

// Opens `reader`, reads one module from it into records allocated from `arena`, and fills
// `module` and `title` (the printable bytes of the module name, zero-terminated). Returns false
// when the source cannot be opened, a limit of the format is broken or the arena runs out; the
// module is then unusable, and `error`, when given, says which check failed. Does not close the
// reader. Caller's thread, before any rendering.
bool LoadModule(Reader& reader, SongArena& arena, Module& module, char (&title)[kTitleBytes],
                LoadError* error = nullptr);

// One line of text for a refusal, such as "pattern 3 has 300 rows; 1 to 256 are supported".
std::string DescribeLoadError(const LoadError& error);

}  // namespace xm
