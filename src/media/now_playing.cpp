#include "media/now_playing.h"

#include <cmath>

namespace varlo {

void PublishNowPlaying(Context& ctx, NowPlaying::State state) {
    const MediaGroup& m = ctx.media;
    NowPlaying& told = ctx.media.Published;
    const uint32_t title = m.MediaAlias;  // a new alias for every title opened
    if (title == 0) state = NowPlaying::State::Stopped;
    const int volume = static_cast<int>(std::lround(m.Volume));
    // A length learnt while playing may move by a few ms from pass to pass.
    if (state == told.state && title == told.title && m.TrackLength / 1000 == told.length / 1000 &&
        volume == told.volume && ctx.playlist.SortMode == told.sortMode) {
        return;
    }
    const bool open = title != 0 && ctx.playlist.TrackFile.Holds(m.CurrentIndex);
    told.state = state;
    told.title = title;
    told.name = open ? ctx.playlist.TrackTitle(m.CurrentIndex) : "";
    told.interpreter = open ? ctx.playlist.TrackInterpreter(m.CurrentIndex) : "";
    told.file = open ? m.CurrentFile : "";
    told.length = title != 0 ? m.TrackLength : 0;
    told.position = title != 0 ? m.LastPosition : 0;
    told.positionTick = ctx.platform.TickCount();
    told.volume = volume;
    told.sortMode = ctx.playlist.SortMode;
    ctx.platform.Publish(told);
}

}  // namespace varlo
