#include "media/playback.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/error_report.h"
#include "console/input.h"
#include "console/output.h"
#include "console/screen.h"
#include "media/mci.h"
#include "media/now_playing.h"
#include "playlist/folder_chooser.h"
#include "power/down_timer.h"

namespace varlo {

namespace {

constexpr uint32_t kOpenFailedWait = 2000;  // ms the message stands
constexpr uint32_t kClosingWait = 3000;     // ms: the last seconds of a title play out
constexpr uint32_t kFadeStepWait = 300;     // ms per fade step
constexpr float kFadeOutStep = 100;
constexpr float kFadeInStep = 120;
constexpr int kEndSeconds = 3;  // fewer seconds left than this: the title ends
// Passes in a row that read one and the same position: the title is over (about 10 s). A
// device can hold its position for ever while it answers (a file it opens but cannot play,
// a title that ended while the loop was held, a sound device that went away); without an
// end the list, and the countdown between titles, would stand still all night. A pass, not
// the clock, counts: a hibernation between two passes is no standstill.
constexpr int kStandstillPasses = 500;

constexpr float kVolumeStep = 50;
constexpr float kVolumeMax = 999;
constexpr float kVolumeMin = 50;
// 999 - 50: the step down from the cap lands back on the grid of 50.
constexpr float kVolumeOffGrid = 949;
constexpr float kVolumeOnGrid = 950;

// The pause blinks its text every 20 polls of 10 ms + 20 ms (about 600 ms).
constexpr int kBlinkPolls = 20;
constexpr uint32_t kBlinkPollWait = 10;  // ms, before each poll
constexpr int kPlaySymbolRow = 5;
constexpr int kPlaySymbolFirstColumn = 46;
constexpr int kPlaySymbolLastColumn = 59;

constexpr int kStatusWidth = 12;  // cells blanked after a fade text

enum class TitleEnd {
    Next,       // on to DownCheck and the next title
    NewFolder,  // a new folder was chosen; the playlist is empty
};

uint32_t Rounded(float volume) {
    return static_cast<uint32_t>(std::lround(volume));
}

void ShowAt(Context& ctx, int row, int column, const std::string& text) {
    Locate(ctx, row, column);
    Print(ctx, text);
}

void SendVolume(Context& ctx) {
    MciSetVolume(ctx.platform, ctx.media.MediaAlias, Rounded(ctx.media.Volume));
}

void RewindAndClose(Context& ctx) {
    MciRewind(ctx.platform, ctx.media.MediaAlias);
    MciClose(ctx.platform, ctx.media.MediaAlias);
}

// Esc and keys 0 to 3: the fade text stands at row 3 and is left there; the blanks go to
// row 2 (where the pause and the sort keys write theirs).
void LeaveTitle(Context& ctx) {
    ShowAt(ctx, 3, 40, "Fade out...");
    FadeOut(ctx);
    BlankCells(ctx, 2, 45, kStatusWidth);
    RewindAndClose(ctx);
}

// Z, T, I and O with a folder chosen: "Fade out..." stays until the next full redraw.
void CloseForNewList(Context& ctx) {
    ShowAt(ctx, 2, 45, "Fade out...");
    FadeOut(ctx);
    RewindAndClose(ctx);
}

// Clear, open, start at full volume. False when the file cannot be opened (the message has
// then stood its 2000 ms).
bool StartTitle(Context& ctx) {
    MediaGroup& m = ctx.media;
    ClearScreen(ctx);
    ctx.screen.ScreenState = 1;
    m.ListTop = m.CurrentIndex;
    m.CurrentFile = ctx.playlist.TrackFile(m.CurrentIndex);
    m.MediaAlias = MciOpen(ctx.platform, m.CurrentFile);
    if (m.MediaAlias == 0) {
        Locate(ctx, 12, 2);
        PrintLine(ctx, "Can't open file!");
        Print(ctx, " " + m.CurrentFile);
        ctx.platform.Sleep(kOpenFailedWait);
        return false;
    }
    SendVolume(ctx);
    MciPlay(ctx.platform, m.MediaAlias);
    return true;
}

// The passes of one title until it ends: by the closing wait (EndTitle), by a skip or Esc
// (EndTitle, no closing wait) or by a new folder. The pass sleeps only inside its one poll.
PassFlow RunPasses(Context& ctx) {
    MediaGroup& m = ctx.media;
    int standstill = 0;
    for (;;) {
        if (ctx.screen.ScreenState == 1) {
            DrawScreen(ctx);
        } else {
            RefreshFields(ctx);
            ctx.input.InputPollOnce = 1;
            WaitInput(ctx);
            const PassFlow flow = KeyDispatch(ctx);
            if (flow == PassFlow::EndTitle || flow == PassFlow::NewFolder) return flow;
            if (flow == PassFlow::NextPass) continue;
        }
        if (ctx.screen.ScreenState == 2) DrawListWindow(ctx);
        // A closed or broken device answers 0 to both and so ends the title.
        const uint32_t previous = m.LastPosition;
        m.TrackLength = MciLength(ctx.platform, m.MediaAlias);
        m.LastPosition = MciPosition(ctx.platform, m.MediaAlias);
        standstill = m.LastPosition == previous ? standstill + 1 : 0;
        const int64_t left =
            (static_cast<int64_t>(m.TrackLength) - static_cast<int64_t>(m.LastPosition)) / 1000;
        m.SecondsLeft = static_cast<int>(left);
        PublishNowPlaying(ctx, NowPlaying::State::Playing);
        if (left < kEndSeconds || standstill >= kStandstillPasses) {
            ctx.platform.Sleep(kClosingWait);
            RewindAndClose(ctx);
            return PassFlow::EndTitle;
        }
    }
}

// One title from its start to the point where the next one may begin.
TitleEnd PlayTitle(Context& ctx) {
    bool passes = StartTitle(ctx);
    for (;;) {
        if (passes && RunPasses(ctx) == PassFlow::NewFolder) return TitleEnd::NewFolder;
        if (ctx.input.InputKey != kKeyEsc) return TitleEnd::Next;
        // Throws ProgramEnd on J / Y / right button. Otherwise back into the pass with the
        // device closed: the prompt stays, the fields appear, and after the closing wait the
        // title ends again, now with InputKey "".
        QuitPrompt(ctx);
        passes = true;
    }
}

// What ends the pause as P does: the desktop's Play and PlayPause too.
bool ResumesPause(const InputState& in) {
    return in.Remote == RemoteCommand::PlayPause || in.Remote == RemoteCommand::Play;
}

bool IsPlaySymbolClick(const InputState& in) {
    return in.MouseEvent > 0 && in.MouseRow + 1 == kPlaySymbolRow &&
           in.MouseCol >= kPlaySymbolFirstColumn && in.MouseCol <= kPlaySymbolLastColumn;
}

// From LastPosition, the position read in the pass before the key: what sounded during the
// fade-out is heard again.
void ContinueAfterPause(Context& ctx) {
    MciSeek(ctx.platform, ctx.media.MediaAlias, ctx.media.LastPosition);
    MciPlay(ctx.platform, ctx.media.MediaAlias);
    PublishNowPlaying(ctx, NowPlaying::State::Playing);
    ShowAt(ctx, 2, 45, "Fade in...  ");
    FadeIn(ctx);
    BlankCells(ctx, 2, 45, kStatusWidth);
    // The header says what plays again: no pause text, "(P)ause", "II", the Down legends.
    DrawPlayingLegends(ctx);
    FlushInput(ctx);
    ctx.input.InputKey.clear();
}

}  // namespace

ListEnd PlayList(Context& ctx) {
    MediaGroup& m = ctx.media;
    m.LoopBound = ctx.playlist.TrackCount;
    for (m.CurrentIndex = 1; m.CurrentIndex <= m.LoopBound; ++m.CurrentIndex) {
        if (PlayTitle(ctx) == TitleEnd::NewFolder) return ListEnd::NewFolder;
        // No title is open now: the desktop may sleep again, and the power action may run.
        PublishNowPlaying(ctx, NowPlaying::State::Stopped);
        DownCheck(ctx);
    }
    return ListEnd::Done;
}

void FadeOut(Context& ctx) {
    for (float v = ctx.media.Volume; v >= 1; v -= kFadeOutStep) {
        MciSetVolume(ctx.platform, ctx.media.MediaAlias, Rounded(v));
        ctx.platform.Sleep(kFadeStepWait);
    }
}

void FadeIn(Context& ctx) {
    // Ends at the last step not above Volume (361 for 400); the device stays there.
    for (float v = 1; v <= ctx.media.Volume; v += kFadeInStep) {
        MciSetVolume(ctx.platform, ctx.media.MediaAlias, Rounded(v));
        ctx.platform.Sleep(kFadeStepWait);
    }
}

PassFlow PauseAndContinue(Context& ctx) {
    MediaGroup& m = ctx.media;
    ShowAt(ctx, 2, 45, "Fade out...");
    FadeOut(ctx);
    MciStop(ctx.platform, m.MediaAlias);
    PublishNowPlaying(ctx, NowPlaying::State::Paused);
    BlankCells(ctx, 2, 45, kStatusWidth);
    // Takes the (d) and (m) legends and the Down value while the pause stands; the header of
    // the playing state comes back with the fade-in.
    BlankCells(ctx, 5, 20, 20);
    ShowAt(ctx, 4, 45, "(P)lay ");
    ShowAt(ctx, 5, 45, "   >   ");
    FlushInput(ctx);
    for (;;) {
        ShowAt(ctx, 4, 27, m.PauseBlink == 1 ? ">> Pause <<" : "<< Pause >>");
        if (++m.PauseBlink > 1) m.PauseBlink = 0;
        for (int poll = 0; poll < kBlinkPolls; ++poll) {
            ctx.platform.Sleep(kBlinkPollWait);
            ctx.input.InputPollOnce = 1;
            WaitInput(ctx);
            if (ctx.input.Remote == RemoteCommand::Quit) return QuitAnswered(ctx);
            if (ctx.input.InputKey == kKeyEsc) return QuitTitle(ctx);
            if (IsPlaySymbolClick(ctx.input) || UpperKey(ctx.input.InputKey) == "P" ||
                ResumesPause(ctx.input)) {
                ContinueAfterPause(ctx);
                return PassFlow::NextPass;
            }
        }
    }
}

void VolumeUp(Context& ctx) {
    float& volume = ctx.media.Volume;
    volume += kVolumeStep;
    if (volume > kVolumeMax) volume = kVolumeMax;
    SendVolume(ctx);
}

void VolumeDown(Context& ctx) {
    float& volume = ctx.media.Volume;
    volume -= kVolumeStep;
    if (volume == kVolumeOffGrid) volume = kVolumeOnGrid;
    if (volume < kVolumeMin) volume = kVolumeMin;
    SendVolume(ctx);
}

void VolumeTo(Context& ctx, int units) {
    // Halfway between the top two steps, 950 and 999.
    constexpr int kCapFrom = 975;
    const float step =
        units >= kCapFrom
            ? kVolumeMax
            : std::clamp(std::round(static_cast<float>(units) / kVolumeStep) * kVolumeStep,
                         kVolumeMin, kVolumeOnGrid);
    if (step == ctx.media.Volume) return;
    ctx.media.Volume = step;
    SendVolume(ctx);
}

PassFlow SkipToSlot(Context& ctx, int slot) {
    MediaGroup& m = ctx.media;
    // One before the slot's entry: the end of the title counts up to it.
    m.CurrentIndex = m.ListTop + slot - 1;
    if (m.CurrentIndex >= ctx.playlist.TrackCount) m.CurrentIndex = ctx.playlist.TrackCount - 1;
    return NextTitle(ctx);
}

PassFlow NextTitle(Context& ctx) {
    LeaveTitle(ctx);
    FlushInput(ctx);
    return PassFlow::EndTitle;
}

PassFlow QuitTitle(Context& ctx) {
    LeaveTitle(ctx);
    ctx.input.InputKey = kKeyEsc;
    return PassFlow::EndTitle;
}

PassFlow QuitAnswered(Context& ctx) {
    ctx.input.QuitAnswered = true;
    return QuitTitle(ctx);
}

PassFlow ChangeSortOrder(Context& ctx, int sortMode) {
    ctx.playlist.SortMode = sortMode;
    ctx.playlist.ChosenFolder.clear();
    CloseForNewList(ctx);
    return PassFlow::Continue;
}

PassFlow ChangeFolder(Context& ctx) {
    FolderChooser(ctx);
    // The chooser leaves the key that ended it (Esc or Enter); it is spent, and an Esc left
    // here would ask to quit if the title ended in this same pass.
    ctx.input.InputKey.clear();
    if (ctx.playlist.ChosenFolder.empty()) {
        ctx.screen.ScreenState = 1;
        return PassFlow::Continue;
    }
    CloseForNewList(ctx);
    ctx.playlist.TrackFile.Clear();
    ctx.playlist.TrackTitle.Clear();
    ctx.playlist.TrackInterpreter.Clear();
    return PassFlow::NewFolder;
}

}  // namespace varlo
