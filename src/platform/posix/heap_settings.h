// How glibc's heap is set for a player that runs all night.
#pragma once

namespace varlo {

// Two arenas, and large blocks mapped (and given back whole when freed) from a fixed
// threshold on. Set at start-up, before any thread allocates.
void ApplyHeapSettings();

}  // namespace varlo
