#include "player/output/win/resource_finder.h"

#include <windows.h>

#include "player/song/reader.h"

namespace xm {

namespace {

// RT_RCDATA in its ANSI form (the build's RT_RCDATA is the wide one).
const LPCSTR kRawData = MAKEINTRESOURCEA(10);

// Resource data stays mapped as long as its module is loaded, so no handle is kept.
bool FindRcData(const void* module, const void* name, const uint8_t** data, uint32_t* size) {
    HMODULE handle = static_cast<HMODULE>(const_cast<void*>(module));
    HRSRC found = FindResourceA(handle, static_cast<LPCSTR>(name), kRawData);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(handle, found);
    if (loaded == nullptr) return false;
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr) return false;
    *data = static_cast<const uint8_t*>(bytes);
    *size = SizeofResource(handle, found);
    return true;
}

}  // namespace

void InstallResourceFinder() {
    SetResourceFinder(&FindRcData);
}

}  // namespace xm
