// Switches of the voice mixer that exist only for tests and benchmarks.
#pragma once

namespace xm {

// Enables (default) or disables the mixer's shortcuts, such as advancing a silent voice without
// reading its sample. The output is bit-identical either way; tests compare the two. Call only
// while no block is being rendered.
void SetMixerFastPaths(bool enabled);
bool MixerFastPaths();

}  // namespace xm
