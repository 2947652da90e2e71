// The C++ runtime's failure reports, for the program alone. The program is built without
// exceptions, but the runtime's own allocation functions and the library's checks would still
// throw, and with them comes the whole exception machinery (about half the program). Here each
// failure raises the error it stands for: the error box, then the end (framework/errors.h). The
// tests link the standard runtime instead.
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/errors.h"

namespace {

// No object can take more than half the address space. The compiler asks for SIZE_MAX when an
// array's size overflows, and the C runtime's aligned allocation adds its own overhead to the
// size without a check: it would wrap around and hand out a tiny block.
constexpr std::size_t kLargestBlock = ~std::size_t{0} / 2;

void* TryAllocate(std::size_t bytes) {
    return bytes <= kLargestBlock ? std::malloc(bytes ? bytes : 1) : nullptr;
}

void* TryAllocateAligned(std::size_t bytes, std::align_val_t alignment) {
    const auto boundary = static_cast<std::size_t>(alignment);
    return bytes <= kLargestBlock ? _aligned_malloc(bytes ? bytes : 1, boundary) : nullptr;
}

void* Allocate(std::size_t bytes) {
    if (void* block = TryAllocate(bytes)) return block;
    fw::Raise(fw::ErrorCode::OutOfMemory);
}

void* AllocateAligned(std::size_t bytes, std::align_val_t alignment) {
    if (void* block = TryAllocateAligned(bytes, alignment)) return block;
    fw::Raise(fw::ErrorCode::OutOfMemory);
}

}  // namespace

void* operator new(std::size_t bytes) {
    return Allocate(bytes);
}
void* operator new[](std::size_t bytes) {
    return Allocate(bytes);
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    return AllocateAligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return AllocateAligned(bytes, alignment);
}
// The non-throwing forms give null to a caller that handles the failure itself (the player
// reports it through its own results). The library's own forms would call the ones above,
// which end the program.
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocate(bytes);
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return TryAllocateAligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment,
                     const std::nothrow_t&) noexcept {
    return TryAllocateAligned(bytes, alignment);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}

// The library's checks, with the texts its exceptions would carry.
namespace std {

void __throw_bad_alloc() {
    fw::Raise(fw::ErrorCode::OutOfMemory);
}
void __throw_bad_array_new_length() {
    fw::Raise(fw::ErrorCode::OutOfMemory);
}
void __throw_length_error(const char* what) {
    fw::Raise(fw::ErrorCode::Unnumbered, what);
}
void __throw_logic_error(const char* what) {
    fw::Raise(fw::ErrorCode::Unnumbered, what);
}
void __throw_system_error(int error) {
    fw::Raise(fw::ErrorCode::Unnumbered, std::strerror(error));
}
void __throw_bad_function_call() {
    fw::Raise(fw::ErrorCode::Unnumbered, "bad_function_call");
}

}  // namespace std
