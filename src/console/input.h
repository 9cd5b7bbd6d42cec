// Input layer: every screen reads keys and clicks only through these three procedures.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

// Key strings as InputKey holds them.
inline const std::string kKeyEnter = "\r";
inline const std::string kKeyEsc = "\x1b";
inline const std::string kKeyBackspace = "\b";
inline const std::string kKeyUp = std::string("\0H", 2);        // scan code 72
inline const std::string kKeyPageUp = std::string("\0I", 2);    // scan code 73
inline const std::string kKeyDown = std::string("\0P", 2);      // scan code 80
inline const std::string kKeyPageDown = std::string("\0Q", 2);  // scan code 81

// One 20 ms poll: clears InputKey and the mouse fields, sleeps 20 ms, reads one raw item.
// Returns the raw item when it is not a mouse record ("" for none); a mouse record fills
// the mouse fields and gives "". A command of the desktop's media controls lands in Remote
// and gives "" as well.
std::string PollInput(Context& ctx);

// Polls once (InputPollOnce 1) or until a key or a click arrives (InputPollOnce 0). A left
// double-click gives InputKey Enter, a right double-click Esc.
void WaitInput(Context& ctx);

// Discards up to 10 pending raw items; MouseEvent := 0, InputKey := "".
void FlushInput(Context& ctx);

// InputKey turned to upper case in the ANSI code page (a to z only; the console gives no
// other letters to a command).
std::string UpperKey(const std::string& key);

}  // namespace varlo
