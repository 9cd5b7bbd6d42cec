// mci_poller FILE SECONDS [FILE...]: opens FILE with the MCI commands the player uses, plays
// it, and polls "status length" and "status position" every 20 ms for SECONDS, as one playback
// pass does; then stops and closes it and does the same with every further FILE, one after
// the other in this one process, as the player plays a list. The baseline for the player's own
// cost per pass, and a look at what MCI reports for a file. Prints one line per file:
//   open=<MCI result> polls=<n> length=<ms> position=<ms> cpu_ms=<user + kernel time>
// (open=none when the file has no short path). Exit code 0 when every file opened.
#define WIN32_LEAN_AND_MEAN
// mmsystem.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kPollWait = 20;  // ms, the sleep of one input poll
constexpr UINT kReplyLength = 16;

unsigned long Status(const std::string& alias, const char* item) {
    char reply[kReplyLength] = {};
    const std::string command = "status " + alias + " " + item;
    if (mciSendStringA(command.c_str(), reply, kReplyLength, nullptr) != 0) return 0;
    return std::strtoul(reply, nullptr, 10);
}

unsigned long long CpuMilliseconds() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10000;  // 100 ns units
}

// One file: the line of the report; true when it opened.
bool Poll(const char* path, DWORD duration) {
    char shortPath[255];
    const DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) {
        std::printf("open=none polls=0 length=0 position=0 cpu_ms=0\n");
        return false;
    }
    char alias[9];
    std::snprintf(alias, sizeof alias, "%08lX", GetTickCount());
    const std::string open = std::string("open ") + shortPath + " type MPEGVideo alias " + alias;
    const MCIERROR opened = mciSendStringA(open.c_str(), nullptr, 0, nullptr);
    mciSendStringA(("set " + std::string(alias) + " time format ms").c_str(), nullptr, 0, nullptr);
    mciSendStringA(("play " + std::string(alias)).c_str(), nullptr, 0, nullptr);

    const unsigned long long cpuStart = CpuMilliseconds();
    const DWORD start = GetTickCount();
    unsigned long polls = 0, mediaLength = 0, position = 0;
    while (GetTickCount() - start < duration) {
        Sleep(kPollWait);
        mediaLength = Status(alias, "length");
        position = Status(alias, "position");
        ++polls;
    }
    const unsigned long long cpu = CpuMilliseconds() - cpuStart;
    mciSendStringA(("stop " + std::string(alias)).c_str(), nullptr, 0, nullptr);
    mciSendStringA(("close " + std::string(alias)).c_str(), nullptr, 0, nullptr);
    std::printf("open=%lu polls=%lu length=%lu position=%lu cpu_ms=%llu\n", opened, polls,
                mediaLength, position, cpu);
    std::fflush(stdout);
    return opened == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mci_poller FILE SECONDS [FILE...]\n");
        return 1;
    }
    const DWORD duration = static_cast<DWORD>(std::atof(argv[2]) * 1000);
    bool all = Poll(argv[1], duration);
    for (int i = 3; i < argc; ++i) all = Poll(argv[i], duration) && all;
    return all ? 0 : 1;
}
