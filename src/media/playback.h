// The playback loop: plays TrackFile entries 1 to TrackCount one after another, and the
// commands of the playback screen that act on the playing title.
#pragma once

#include "app/context.h"
#include "console/key_dispatch.h"

namespace varlo {

enum class ListEnd {
    Done,       // the last title has ended: back to the sort prompt
    NewFolder,  // a new folder was chosen during playback: the playlist has been emptied
};

// Runs the title loop from CurrentIndex 1 to the TrackCount at entry.
ListEnd PlayList(Context& ctx);

// Volume ramps on the open device in steps of 300 ms (Volume itself is not changed):
// out from Volume down by 100 while at least 1, in from 1 up by 120 while not above Volume.
void FadeOut(Context& ctx);
void FadeIn(Context& ctx);

// --- Commands of the playback screen, called by the key dispatch. ---

// P: fade out and stop, blink until P (or a click on the play symbol), then seek back to
// LastPosition, play and fade in: NextPass. Esc in the pause takes the quit path: EndTitle.
PassFlow PauseAndContinue(Context& ctx);
// + and -: 50 units up to 999 / down to 50 (949 becomes 950), sent at once.
void VolumeUp(Context& ctx);
void VolumeDown(Context& ctx);
// The desktop's volume: the step of the keys nearest to units (50 to 950 by 50, or 999).
void VolumeTo(Context& ctx, int units);
// Keys 0 to 3: the title of that slot plays next (the last one for a slot past the end).
PassFlow SkipToSlot(Context& ctx, int slot);
// The desktop's Next: the title ends as a skip ends it, and the next one of the list plays.
PassFlow NextTitle(Context& ctx);
// Esc: fade out, rewind and close; InputKey stays Esc, so the end of the title asks to quit.
PassFlow QuitTitle(Context& ctx);
// The desktop's Quit: as Esc, and the quit prompt takes it as J.
PassFlow QuitAnswered(Context& ctx);
// Z, T, I: the new order counts from the next sort; the title fades out and closes now.
PassFlow ChangeSortOrder(Context& ctx, int sortMode);
// O: the folder chooser; with a folder chosen the title closes and the playlist is emptied.
PassFlow ChangeFolder(Context& ctx);

}  // namespace varlo
