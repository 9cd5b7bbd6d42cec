// What is typed: the Down countdown's preset and its keys D and M, and the line typed after
// key D at the sort prompt, read through the prompt itself on the fake platform.
#include <algorithm>
#include <cstdint>
#include <string>

#include "check.h"
#include "fake/fake_platform.h"
#include "playlist/scan.h"
#include "power/down_timer.h"

using namespace varlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    // One platform and context for every input: the prompt starts from the top each time.
    static fake::FakePlatform platform;
    static Context ctx(platform);
    static const bool ready = [] {
        platform.logWrites = platform.logMci = false;
        platform.AddFolder("C:\\Musik");
        platform.AddMedia("C:\\Musik\\a.mp3", 5000);
        return true;
    }();
    (void)ready;

    // The preset: its number reads back from its own digits, and any text after them is not
    // read; armed, it lies within 1 to 360, and the keys keep it within 0 to 360.
    const int preset = PresetNumber(text);
    FUZZ_CHECK(preset >= -99999 && preset <= 99999);
    FUZZ_CHECK(PresetNumber(std::to_string(preset)) == preset);
    FUZZ_CHECK(PresetNumber(" " + text + "x") == preset);
    ctx.power = PowerGroup{};
    ctx.power.DownPreset = text;
    platform.clockBase.hour = data[0] % 24;
    DownTimerStart(ctx);
    ctx.power.DownNow = CurrentMinute(ctx);
    FUZZ_CHECK(ctx.power.DownRemaining >= 1 && ctx.power.DownRemaining <= kDownMaxMinutes);
    for (char key : text) {
        (key & 1) ? DownShorter(ctx) : DownLonger(ctx);
        FUZZ_CHECK(ctx.power.DownRemaining >= 0 && ctx.power.DownRemaining <= kDownMaxMinutes);
    }

    // The line after D, one key per byte (Backspace, controls and Enter among them), then
    // Enter: the extension taken is the first field, with a dot, made of typed characters.
    platform.currentFolder = "C:\\Musik";
    ctx.playlist.ExtFilter.clear();
    std::vector<std::string> keys{"D"};
    for (char c : text) keys.emplace_back(1, c);
    keys.emplace_back("\r");
    // What the last input's prompt left unread (it may have found a file and returned).
    if (platform.stopAt != UINT64_MAX) platform.now = std::max(platform.now, platform.stopAt + 1);
    while (platform.PendingInput() > 0) platform.ReadInputItem();
    platform.published.clear();
    platform.Script(platform.now + 100, 20, keys);
    // Nothing after the line is needed: the prompt ends at its first wait after Enter.
    platform.stopAt = platform.now + 100 + 20 * keys.size() + 1;
    try {
        SortPromptAndScan(ctx);
    } catch (const fake::FakeStop&) {
    }
    const std::string& filter = ctx.playlist.ExtFilter;
    FUZZ_CHECK(filter.empty() || (filter[0] == '.' && filter.back() != ' '));
    for (size_t i = 1; i < filter.size(); ++i) {
        const auto byte = static_cast<unsigned char>(filter[i]);
        FUZZ_CHECK(byte >= 32 && byte != 127 && text.find(filter[i]) != std::string::npos);
    }
    if (!filter.empty()) FUZZ_CHECK(MatchesMedia("Titel" + filter, filter));
    return 0;
}
