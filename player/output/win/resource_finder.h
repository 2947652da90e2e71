// The module reader's access to raw-data resources of Windows programs.
#pragma once

namespace xm {

// Lets the resource reader find RT_RCDATA resources through FindResourceA / LoadResource
// (module null: the program itself). Call once before the first resource is played; any thread
// that does not play at the same time.
void InstallResourceFinder();

}  // namespace xm
