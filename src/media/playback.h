// The playback loop: plays TrackFile entries 1 to TrackCount one after another.
#pragma once

#include "app/context.h"

namespace varlo {

enum class ListEnd {
    Done,       // the last title has ended: back to the sort prompt
    NewFolder,  // a new folder was chosen during playback: the playlist has been emptied
};

// Runs the title loop from CurrentIndex 1 to the TrackCount at entry.
ListEnd PlayList(Context& ctx);

// Volume ramps on the open device (Volume itself is not changed).
void FadeOut(Context& ctx);
void FadeIn(Context& ctx);

// Commands of the playback screen, called by the key dispatch.
void PauseAndContinue(Context& ctx);  // ends early (through the quit path) on Esc
void VolumeUp(Context& ctx);
void VolumeDown(Context& ctx);

}  // namespace varlo
