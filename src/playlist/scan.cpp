#include "playlist/scan.h"

#include <string_view>

#include "console/input.h"
#include "console/output.h"
#include "playlist/folder_chooser.h"
#include "playlist/sort.h"

namespace varlo {

namespace {

// The media extensions, in the order the names are tested. Twelve have four characters with
// the dot, three have five.
constexpr std::string_view kExtensionList[] = {
    ".mp3",   // MPEG audio layer 3
    ".ape",   // Monkey's Audio
    ".wav",   // RIFF wave
    ".flac",  // free lossless audio
    ".mp2",   // MPEG audio layer 2
    ".wmv",   // Windows Media video
    ".wma",   // Windows Media audio
    ".mid",   // MIDI
    ".midi",  // MIDI
    ".mov",   // QuickTime
    ".ogg",   // Ogg Vorbis
    ".mp4",   // MPEG-4
    ".avi",   // video for Windows
    ".mpg",   // MPEG video
    ".divx",  // DivX video
};

// Click zones of the prompt: 0-based mouse row, 1-based columns, and the key a click counts as.
struct PromptZone {
    int mouseRow;
    int firstColumn;
    int lastColumn;
    const char* key;
};

constexpr PromptZone kPromptZones[] = {
    {2, 18, 27, "1"},  // "1 Zufall"
    {2, 28, 38, "2"},  // "2 Titel"
    {2, 39, 54, "3"},  // "3 Interpreten"
    {5, 18, 35, "O"},  // "anderen (O)rdner"
    {5, 41, 54, "D"},  // "(D)ateiendung"
};

constexpr int kMaxStored = kMaxTracks - 1;

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// Does the name end in suffix, A to Z counting as a to z?
bool EndsWithFolded(const std::string& name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    return LowerAscii(std::string_view(name).substr(name.size() - suffix.size())) ==
           LowerAscii(suffix);
}

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void DrawPrompt(Context& ctx) {
    Locate(ctx, 3, 2);
    Print(ctx, "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten");
    NewLine(ctx);
    Print(ctx, "   vorgabe ist 1");
    Locate(ctx, 6, 2);
    Print(ctx, "                  anderen (O)rdner     (D)ateiendung");
}

// Steps 2 to 5 of the prompt: polls until a key, a click on a zone, or the time-out. Returns
// the upper-cased key ("" after the time-out).
std::string PromptKey(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    for (;;) {
        DrawPrompt(ctx);
        ctx.input.InputPollOnce = 1;
        WaitInput(ctx);
        std::string key = UpperKey(ctx.input.InputKey);
        if (ctx.input.MouseEvent > 0) {
            for (const auto& zone : kPromptZones) {
                if (ctx.input.MouseRow == zone.mouseRow && ctx.input.MouseCol >= zone.firstColumn &&
                    ctx.input.MouseCol <= zone.lastColumn) {
                    key = zone.key;
                }
            }
        }
        if (!key.empty()) return key;
        ctx.platform.Sleep(kPromptWait);
        ++pl.PromptTicks;
        if (pl.PromptTicks >= kPromptPolls) return "";
    }
}

// The seed is 0 whenever the hour or the second is 0; the generator takes 0 as any other.
void SeedFromClock(Context& ctx) {
    const LocalTime t = ctx.platform.Now();
    ctx.playlist.Rng.Seed(static_cast<uint32_t>(t.month * t.second * t.hour));
}

// A line typed at the cursor, echoed; Backspace takes back the last character, Enter ends.
// Keys without a character, control characters and clicks are not taken.
std::string ReadTypedLine(Context& ctx) {
    std::string line;
    for (;;) {
        ctx.input.InputPollOnce = 0;
        WaitInput(ctx);
        const std::string& key = ctx.input.InputKey;
        if (key == kKeyEnter) return line;
        if (key == kKeyBackspace) {
            if (line.empty()) continue;
            line.pop_back();
            int row = ctx.platform.CursorRow();
            int column = ctx.platform.CursorColumn() - 1;
            if (column < 1) {
                column = kScreenColumns;
                row = row > 1 ? row - 1 : row;
            }
            Locate(ctx, row, column);
            Print(ctx, " ");
            Locate(ctx, row, column);
            continue;
        }
        const auto byte = key.size() == 1 ? static_cast<unsigned char>(key[0]) : 0;
        if (byte < 32 || byte == 127) continue;
        if (line.size() >= kTypedLineMax) continue;
        line += key;
        Print(ctx, key);
    }
}

// The folder chooser from the prompt or after an empty scan. True when it ended with Esc.
bool ChooserCancelled(Context& ctx) {
    FolderChooser(ctx);
    return ctx.input.InputKey == kKeyEsc;
}

}  // namespace

void NormaliseExtFilter(Context& ctx) {
    std::string& filter = ctx.playlist.ExtFilter;
    if (filter.empty()) return;
    filter = TrimBlanks(filter);
    if (filter.empty() || filter[0] != '.') filter.insert(filter.begin(), '.');
}

bool MatchesMedia(const std::string& name, const std::string& extFilter) {
    if (!extFilter.empty()) return EndsWithFolded(name, extFilter);
    for (const auto& extension : kExtensionList) {
        if (EndsWithFolded(name, extension)) return true;
    }
    return false;
}

std::string FirstField(const std::string& line) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) return "";
    if (line[start] == '"') {
        const size_t close = line.find('"', start + 1);
        return TrimBlanks(line.substr(
            start + 1, close == std::string::npos ? std::string::npos : close - start - 1));
    }
    return TrimBlanks(line.substr(start, line.find(',', start) - start));
}

void ScanCurrentFolder(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    ctx.media.Volume = kScanVolume;
    ClearScreen(ctx);
    PrintLine(ctx, " suche Titel...");
    int stored = 0;
    for (const FolderEntry& entry : ctx.platform.SearchFolder("*.*")) {
        if ((entry.attributes & (kAttrHidden | kAttrSystem | kAttrDirectory)) != 0) continue;
        if (!MatchesMedia(entry.name, pl.ExtFilter)) continue;
        pl.TrackFile(++stored) = entry.name;
        if (stored == kMaxStored) break;
    }
    pl.TrackCount = stored;
}

void SortPromptAndScan(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    enum class Step { Top, Prompt, Scan };
    Step step = Step::Top;
    for (;;) {
        if (step == Step::Top) {
            pl.PromptTicks = 0;
            ClearScreen(ctx);
            step = Step::Prompt;
        }
        if (step == Step::Prompt) {
            const std::string key = PromptKey(ctx);
            if (key.empty() || key == "1") {
                pl.SortMode = 1;
            } else if (key == "2") {
                pl.SortMode = 2;
            } else if (key == "3") {
                pl.SortMode = 3;
            }
            SeedFromClock(ctx);
            if (key == "O") {
                if (ChooserCancelled(ctx)) continue;  // back to the prompt, ticks kept
            } else if (key == "D") {
                NewLine(ctx);
                Print(ctx, ">");
                pl.ExtFilter = FirstField(ReadTypedLine(ctx));
                if (pl.ExtFilter.empty()) {
                    step = Step::Top;
                    continue;
                }
                NormaliseExtFilter(ctx);
            }
            step = Step::Scan;
        }
        ScanCurrentFolder(ctx);
        if (pl.TrackCount > 0) break;
        PrintLine(ctx, " no Files found...");
        ctx.platform.Sleep(kNothingFoundWait);
        ThrowIfSystemError(ctx.platform.ChangeFolder(".."), SystemOperation::ChangeFolder);
        step = ChooserCancelled(ctx) ? Step::Prompt : Step::Scan;
    }
    SortByteOrder(ctx);
    SortPlaylist(ctx);
}

}  // namespace varlo
