// What is typed: the Down countdown's preset and its keys D and M, and the line typed after
// key D at the sort prompt, one key a byte, through the prompt itself on the fake platform.
#include <algorithm>

#include "check.h"
#include "fake/fake_platform.h"
#include "playlist/scan.h"
#include "power/down_timer.h"

using namespace varlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fake::FakePlatform platform;  // the prompt starts from the top for every input
    static Context ctx(platform);
    static const bool ready =
        (platform.logWrites = platform.logMci = false, platform.AddFolder("C:\\Musik"),
         platform.AddMedia("C:\\Musik\\a.mp3", 5000), true);
    if (size == 0 || !ready) return 0;
    // A few hundred keys: the line's own limit lies far beyond any the fuzzer would reach.
    const std::string text(reinterpret_cast<const char*>(data) + 1,
                           std::min<size_t>(size - 1, 300));
    // The preset's number reads back from its digits, text after them unread; armed, it
    // lies within 1 to 360, and the keys keep it within 0 to 360.
    const int preset = PresetNumber(text);
    FUZZ_CHECK(PresetNumber(std::to_string(preset)) == preset && std::abs(preset) <= 99999 &&
               PresetNumber(" " + text + "x") == preset);
    ctx.power = PowerGroup{};
    ctx.power.DownPreset = text;
    platform.clockBase.hour = data[0] % 24;
    DownTimerStart(ctx);
    ctx.power.DownNow = CurrentMinute(ctx);
    FUZZ_CHECK(ctx.power.DownRemaining >= 1 && ctx.power.DownRemaining <= kDownMaxMinutes);
    for (char key : text) (key & 1) ? DownShorter(ctx) : DownLonger(ctx);
    FUZZ_CHECK(ctx.power.DownRemaining >= 0 && ctx.power.DownRemaining <= kDownMaxMinutes);
    // The line up to Enter: the extension is its first field, with a dot, of typed
    // characters. Keys the last prompt left unread go first.
    platform.now = std::max(platform.now, platform.stopAt == UINT64_MAX ? 0 : platform.stopAt + 1);
    while (platform.PendingInput() > 0) platform.ReadInputItem();
    platform.currentFolder = "C:\\Musik";
    ctx.playlist.ExtFilter.clear();
    std::vector<std::string> keys{"D"};
    for (size_t i = 0; i < std::min(text.find('\r'), text.size()); ++i)
        keys.emplace_back(1, text[i]);
    keys.emplace_back("\r");
    platform.Script(platform.now + 100, 20, keys);
    platform.stopAt = platform.now + 101 + 20 * keys.size();  // the first wait after Enter
    try {
        SortPromptAndScan(ctx);
    } catch (const fake::FakeStop&) {
    }
    const std::string& filter = ctx.playlist.ExtFilter;
    FUZZ_CHECK(filter.empty() || (filter[0] == '.' && filter.back() != ' ' &&
                                  MatchesMedia("Titel" + filter, filter)));
    for (size_t i = 1; i < filter.size(); ++i) {
        FUZZ_CHECK(static_cast<unsigned char>(filter[i]) >= 32 && filter[i] != 127 &&
                   text.find(filter[i]) != std::string::npos);
    }
    // Nothing held from one input to the next: libFuzzer would look for a leak after each.
    platform.published.clear(), ctx.playlist.ExtFilter = std::string(), ctx.power = PowerGroup{};
    return 0;
}
