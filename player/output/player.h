// The music player's entry points: one module-level player, callable from any one caller thread
// in any state. Internally a worker thread keeps the looping output buffer rendered ahead.
#pragma once

#include <cstdint>

namespace xm {

// PlaySong flag bits.
inline constexpr uint32_t PlayFromMemory = 1;  // source: module image, parameter: its size
inline constexpr uint32_t PlayFromFile = 2;    // source: zero-terminated ANSI file name
inline constexpr uint32_t PlayNoLoop = 8;      // stop at the end of the order list
inline constexpr uint32_t PlaySuspended = 16;  // start paused
// Neither memory nor file: source is a resource name or integer id below 65,536 (RT_RCDATA),
// parameter the module handle to search (0: the program itself).

}  // namespace xm

// Declared with C-style names as the design calls them; defined by the player.
void* PlaySong(const void* source, uint32_t parameter, uint32_t flags);
void SetVolume(uint32_t step);
void PauseSong();
void ResumeSong();
void JumpToOrder(uint32_t order);
uint32_t GetLevels();
uint32_t GetPosition();
uint32_t GetPlayTime();
const char* GetSongTitle();
