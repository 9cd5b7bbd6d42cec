// Placeholder until the playback screen is built.
#include "console/screen.h"

namespace varlo {

void DrawScreen(Context& ctx) {
    Locate(ctx, 1, 28);
    Print(ctx, ">> Varlo <<");
    ctx.screen.ScreenState = 2;
}

void DrawListWindow(Context& ctx) {
    ctx.screen.ScreenState = 3;
}

void RefreshFields(Context&) {}

}  // namespace varlo
