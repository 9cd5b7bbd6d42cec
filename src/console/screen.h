// The playback screen: frame, fixed texts, list window and the two changing fields.
#pragma once

#include "app/context.h"
#include "console/output.h"

namespace varlo {

// --- The playback screen. ---

// Frame and all fixed texts (the screen has been cleared); ScreenState := 2.
void DrawScreen(Context& ctx);
// The four slots of the list window; ScreenState := 3.
void DrawListWindow(Context& ctx);
// The volume field and the Down field.
void RefreshFields(Context& ctx);

}  // namespace varlo
