// Command interpreter of the playback screen.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

// How the playback pass goes on after the dispatch.
enum class PassFlow {
    Continue,   // on with the list-window step of the pass
    NextPass,   // straight to the next pass (after a pause)
    EndTitle,   // straight to the end of the title, no closing wait (skip to a slot, Esc)
    NewFolder,  // a new folder was chosen: the playlist is emptied, back to the sort prompt
};

// Decodes InputKey and the mouse fields (hot zones) and carries out the command.
PassFlow KeyDispatch(Context& ctx);

// The key a click on the playback screen stands for: InputKey (already upper-cased) when the
// click hits no zone. Reads MouseEvent, MouseRow and MouseCol.
std::string HotZoneKey(const Context& ctx);

}  // namespace varlo
