// Loading an XM module into the song arena.
#pragma once

#include "player/song/arena.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace xm {

inline constexpr int kTitleBytes = 24;

// Opens `reader`, reads one module from it into records allocated from `arena`, and fills
// `module` and `title` (the printable bytes of the module name, zero-terminated). Returns false
// when the source cannot be opened, a limit of the format is broken or the arena runs out; the
// module is then unusable. Does not close the reader. Caller's thread, before any rendering.
bool LoadModule(Reader& reader, SongArena& arena, Module& module, char (&title)[kTitleBytes]);

}  // namespace xm
