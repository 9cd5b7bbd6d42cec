#include "platform/posix/heap_settings.h"

#include <malloc.h>

namespace varlo {

void ApplyHeapSettings() {
    // Every title brings threads that come and go (the stream's own, GStreamer's streaming
    // threads); glibc hands new threads arenas of their own, up to eight per core, and each
    // arena keeps what was freed in it. Over a night the resident leftovers of many arenas
    // add up while the heap in use stays the same; two arenas serve a player well.
    mallopt(M_ARENA_MAX, 2);
    // Large blocks are mapped and given back whole when freed. glibc would otherwise raise
    // that threshold to the largest block freed so far: after OpenAL's 8.5 MB context of a
    // title opened while no sound server answers, every later block up to that size would
    // come from the arenas and stay resident there.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

}  // namespace varlo
