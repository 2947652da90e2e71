// Switches of the voice mixer that exist only for tests and benchmarks.
#pragma once

#include <cstdint>

namespace xm {

// Enables (default) or disables the mixer's shortcuts, such as advancing a silent voice without
// reading its sample. The output is bit-identical either way; tests compare the two. Call only
// while no block is being rendered.
void SetMixerFastPaths(bool enabled);
bool MixerFastPaths();

// Caps the width of the vector loops among the shortcuts (0, 256 or 512 bits; default 512), so
// that tests can compare each width the processor offers. Returns the width now in use.
uint32_t SetMixerVectorLimit(uint32_t bits);

}  // namespace xm
