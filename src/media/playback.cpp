// Placeholder until the playback loop is built: plays every title to its end.
#include "media/playback.h"

#include "console/input.h"
#include "console/output.h"
#include "console/screen.h"
#include "media/mci.h"
#include "power/down_timer.h"

namespace varlo {

ListEnd PlayList(Context& ctx) {
    MediaGroup& m = ctx.media;
    m.LoopBound = ctx.playlist.TrackCount;
    for (m.CurrentIndex = 1; m.CurrentIndex <= m.LoopBound; ++m.CurrentIndex) {
        ClearScreen(ctx);
        m.CurrentFile = ctx.playlist.TrackFile(m.CurrentIndex);
        m.MediaAlias = MciOpen(ctx.platform, m.CurrentFile);
        if (m.MediaAlias != 0) {
            MciSetVolume(ctx.platform, m.MediaAlias, static_cast<uint32_t>(m.Volume));
            MciPlay(ctx.platform, m.MediaAlias);
            DrawScreen(ctx);
            for (;;) {
                ctx.input.InputPollOnce = 1;
                WaitInput(ctx);
                m.TrackLength = MciLength(ctx.platform, m.MediaAlias);
                m.LastPosition = MciPosition(ctx.platform, m.MediaAlias);
                if (m.TrackLength < m.LastPosition + 3000) break;
            }
            ctx.platform.Sleep(3000);
            MciRewind(ctx.platform, m.MediaAlias);
            MciClose(ctx.platform, m.MediaAlias);
        }
        DownCheck(ctx);
    }
    return ListEnd::Done;
}

void FadeOut(Context&) {}
void FadeIn(Context&) {}
void PauseAndContinue(Context&) {}
void VolumeUp(Context&) {}
void VolumeDown(Context&) {}

}  // namespace varlo
