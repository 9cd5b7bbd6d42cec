// The MCI interpreter: any command strings, and open commands built as the player builds
// them around any name. The first byte steers which.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "platform/posix/sound/mci_interpreter.h"

using namespace varlo;

namespace {

int g_streams = 0;  // alive

struct Stream : MediaStream {
    Stream() { ++g_streams; }
    ~Stream() override { --g_streams; }
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
        opened.push_back(path);
        return std::make_unique<Stream>();
    }
    uint32_t AudioOutputCount() override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    Engine engine;
    std::vector<std::string> resolved;
    MciInterpreter mci(engine, [&](const std::string& path) {
        resolved.push_back(path);
        return std::optional<std::string>("/m/" + path);
    });
    char reply[16];
    if (data[0] & 1) {
        // A short path holds no quote; one with a blank goes in quotes. The file opened is
        // the one named, or none.
        if (text.find('"') != std::string::npos) return 0;
        const std::string path = text.find(' ') == std::string::npos ? text : '"' + text + '"';
        const uint32_t result =
            mci.Send("open " + path + " type MPEGVideo alias 00C0FFEE", reply, 0);
        FUZZ_CHECK(engine.opened.size() == (result == kMciOk ? 1u : 0u));
        if (result == kMciOk) FUZZ_CHECK(engine.opened[0] == "/m/" + text);
        FUZZ_CHECK(resolved.size() <= 1 && (resolved.empty() || resolved[0] == text));
        if (result == kMciOk) {
            FUZZ_CHECK(mci.Send("status 00c0ffee length", reply, sizeof reply) == kMciOk);
            FUZZ_CHECK(std::strcmp(reply, "5000") == 0);
        }
    } else {
        // One command a line; replies always end within their buffer, numbers only.
        size_t opens = 0;
        for (size_t at = 0; at <= text.size();) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const std::string command = text.substr(at, end - at);
            at = end + 1;
            const uint32_t length = data[0] >> 4;
            std::memset(reply, 'x', sizeof reply);
            const uint32_t result = mci.Send(command, reply, length);
            if (length > 0) {
                const size_t replied = strnlen(reply, length);
                FUZZ_CHECK(replied < length);
                for (size_t i = 0; i < replied; ++i) FUZZ_CHECK(reply[i] >= '0' && reply[i] <= '9');
                FUZZ_CHECK(result == kMciOk || replied == 0);
            }
            opens +=
                command.find_first_not_of(" \t") != std::string::npos &&
                strncasecmp(command.c_str() + command.find_first_not_of(" \t"), "open", 4) == 0;
        }
        FUZZ_CHECK(engine.opened.size() <= opens && g_streams <= static_cast<int>(opens));
    }
    return 0;
}
