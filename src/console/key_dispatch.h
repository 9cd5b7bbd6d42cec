// Command interpreter of the playback screen.
#pragma once

#include "app/context.h"

namespace varlo {

// How the playback pass goes on after the dispatch.
enum class PassFlow {
    Continue,   // on with the list-window step of the pass
    EndTitle,   // straight to the end of the title (skip to a slot), no closing wait
    NewFolder,  // a new folder was chosen: the playlist is emptied, back to the sort prompt
};

// Decodes InputKey and the mouse fields (hot zones) and carries out the command.
PassFlow KeyDispatch(Context& ctx);

}  // namespace varlo
