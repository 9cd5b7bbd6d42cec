// The MCI interpreter: the player's open command around any name, or any commands, a line each.
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "platform/posix/sound/mci_interpreter.h"

using namespace varlo;

namespace {
struct Stream : MediaStream {
    bool Play() override { return true; }
    bool Stop() override { return true; }
    bool Seek(uint32_t) override { return true; }
    std::optional<uint32_t> Length() override { return 5000; }
    std::optional<uint32_t> Position() override { return 1200; }
    bool SetVolume(double volume) override { return volume >= 0 && volume <= 1; }
};
struct Engine : MediaEngine {
    std::vector<std::string> opened;
    std::unique_ptr<MediaStream> Open(const std::string& path, uint32_t*) override {
        return opened.push_back(path), std::make_unique<Stream>();
    }
    uint32_t AudioOutputCount() override { return 1; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    Engine engine;
    MciInterpreter mci(engine, [](const std::string& path) { return "/m/" + path; });
    char reply[16];
    if (data[0] & 1) {
        // A short path holds no quote; with a blank or a tab it is quoted. It opens itself or none.
        if (text.find('"') != std::string::npos) return 0;
        const bool bare = text.find_first_of(" \t") == std::string::npos;
        const std::string path = bare ? text : '"' + text + '"';
        if (mci.Send("open " + path + " type MPEGVideo alias 00C0FFEE", reply, 0) != kMciOk) {
            FUZZ_CHECK(engine.opened.empty());
            return 0;
        }
        FUZZ_CHECK(engine.opened == std::vector<std::string>{"/m/" + text});
        FUZZ_CHECK(mci.Send("status 00c0ffee length", reply, sizeof reply) == kMciOk);
        FUZZ_CHECK(std::strcmp(reply, "5000") == 0);
        return 0;
    }
    // Replies end within their buffer and are numbers; only an open command opens.
    size_t opens = 0;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string command = text.substr(at, end - at);
        at = end + 1;
        const uint32_t length = data[0] >> 4;
        std::memset(reply, 'x', sizeof reply);
        const uint32_t result = mci.Send(command, reply, length);
        const size_t replied = length > 0 ? strnlen(reply, length) : 0;
        FUZZ_CHECK(replied < std::max(length, 1u) && (result == kMciOk || replied == 0));
        FUZZ_CHECK(std::string(reply, replied).find_first_not_of("0123456789") ==
                   std::string::npos);
        const size_t verb = command.find_first_not_of(" \t");
        opens += verb != std::string::npos && strncasecmp(command.c_str() + verb, "open", 4) == 0;
    }
    FUZZ_CHECK(engine.opened.size() <= opens);
    return 0;
}
