// Loading a module file for xmrender, with a one-line reason when it cannot be played, and the
// --info description of a loaded module.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/records.h"

namespace xmrender {

// A loaded module with the memory that holds it.
struct ModuleFile {
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    uint16_t storedPatterns = 0;  // the header's count; the order list may name more
};

// Loads the module at `path`. Null when it cannot be read or the loader refuses it, with one
// line in `error` saying why (the loader's reason, and a hint when the file does not look like an
// XM module of the version the player reads).
std::unique_ptr<ModuleFile> LoadModuleFile(const std::string& path, std::string& error);

// Prints what --info shows of `file` on `out`: header figures and the play time, found by walking
// the song without mixing (the module's playing state is used up by it).
void PrintInfo(std::FILE* out, const std::string& path, ModuleFile& file);

// "m:ss.mmm", or "h:mm:ss.mmm" from an hour on, for a count of 48 kHz frames.
std::string FormatDuration(uint64_t frames);

}  // namespace xmrender
