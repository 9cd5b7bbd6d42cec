// The playback screen: frame, fixed texts, list window and the two changing fields.
#pragma once

#include "app/context.h"
#include "console/output.h"

namespace varlo {

// --- The playback screen (69 x 22; frame over rows 1 to 6, list window on rows 10 to 21). ---

// Frame and all fixed texts (the screen has been cleared); ScreenState := 2.
void DrawScreen(Context& ctx);
// The four slots of the list window, entries ListTop to ListTop + 3, the playing title (by
// file name) highlighted; ScreenState := 3. A slot past the end of the playlist arrays shows
// empty rows, like an entry that was never filled.
void DrawListWindow(Context& ctx);
// The volume field at row 5, column 4 ("(+)" at column 13) and the Down field at column 27.
// The only writes of a steady pass.
void RefreshFields(Context& ctx);
// Rows 4 and 5 as a full redraw shows them while a title plays: the "Down in" and "(P)ause"
// legends, the (d) and (m) legends, the pause symbol and the two fields. Overwrites the pause
// texts and the play symbol.
void DrawPlayingLegends(Context& ctx);

// Writes count blanks at row, column (the status texts of the playback commands).
void BlankCells(Context& ctx, int row, int column, int count);

}  // namespace varlo
