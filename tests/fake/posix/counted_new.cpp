#include "fake/posix/counted_new.h"

#include <cstdlib>
#include <new>

// GLib keeps a few buffers of its own for the whole process (the leak checker of the
// sanitizer build sees one of 16 KiB); they are not the player's.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}

std::atomic<size_t> varlo::fake::g_allocations{0};

// GCC takes the free of an inlined delete below for a mismatch with new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++varlo::fake::g_allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
#pragma GCC diagnostic pop
