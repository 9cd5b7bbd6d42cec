#include "console/input.h"

namespace varlo {

namespace {

constexpr uint32_t kPollMilliseconds = 20;
constexpr int kFlushLimit = 10;

bool IsMouseRecord(const std::string& item) {
    return item.size() == 4 && static_cast<unsigned char>(item[0]) == 255 &&
           static_cast<unsigned char>(item[1]) == 255;
}

}  // namespace

std::string PollInput(Context& ctx) {
    InputState& in = ctx.input;
    in.InputKey.clear();
    in.MouseButtons = 0;
    in.MouseEvent = 0;
    in.MouseCol = 0;
    in.MouseRow = 0;
    ctx.platform.Sleep(kPollMilliseconds);
    InputItem item = ctx.platform.ReadInputItem();
    in.Remote = item.remote;
    in.RemoteVolume = item.volume;
    if (!IsMouseRecord(item.bytes)) return item.bytes;
    const int code = static_cast<unsigned char>(item.bytes[2]);
    in.MouseButtons = static_cast<unsigned char>(item.bytes[3]);
    in.MouseEvent = code == 2 ? 2 : code == 8 ? 1 : 0;
    in.MouseCol = item.column;
    in.MouseRow = item.row - 1;
    return "";
}

void WaitInput(Context& ctx) {
    ctx.platform.ShowCursor(false);
    ctx.platform.EnableMouseInput();
    InputState& in = ctx.input;
    for (;;) {
        std::string key = PollInput(ctx);
        if (!key.empty()) {
            in.InputKey = key;
            return;
        }
        if (in.MouseButtons == 1 && in.MouseEvent == 2) {
            in.InputKey = kKeyEnter;
            return;
        }
        if (in.MouseButtons == 2 && in.MouseEvent == 2) {
            in.InputKey = kKeyEsc;
            return;
        }
        if (in.InputPollOnce == 1) return;
        if (in.MouseEvent > 0) return;
    }
}

void FlushInput(Context& ctx) {
    // A command of the desktop's media controls has no bytes, but is input all the same.
    for (int i = 0; i < kFlushLimit; ++i) {
        const InputItem item = ctx.platform.ReadInputItem();
        if (item.bytes.empty() && item.remote == RemoteCommand::None) break;
    }
    ctx.input.MouseEvent = 0;
    ctx.input.InputKey.clear();
}

std::string UpperKey(const std::string& key) {
    std::string upper = key;
    // An extended key keeps its scan code: Page Up (0, "I") must not meet the letter i.
    if (!upper.empty() && upper[0] == '\0') return upper;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

}  // namespace varlo
