// What the player plays, told to the platform for the desktop's media controls.
#pragma once

#include "app/context.h"

namespace varlo {

// Tells the platform the state, the open title, its length (in whole seconds), the volume and
// the sort order when one of them differs from what it was told last; costs a few
// comparisons otherwise, so the pass may call it every time. Without an open title the state
// is Stopped whatever is asked.
void PublishNowPlaying(Context& ctx, NowPlaying::State state);

}  // namespace varlo
