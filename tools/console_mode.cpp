// console_mode EXE [MODE [WAIT]]: the input mode of the console of the running program EXE
// (for example varlo.exe). With MODE (hexadecimal), first sets that mode, as a user who
// switches Quick-Edit on in the window's properties does. With WAIT (ms), then reads the mode
// every 10 ms until mouse input is on and Quick-Edit off again, for at most WAIT ms. Prints
// one line:
//   mode=0x<mode as the console reports it>[ back_ms=<ms from the set to the first read
//   that found the mouse back, or "none">]
// Exit code 0, or 1 when the program, its console or the mode cannot be reached.
#define WIN32_LEAN_AND_MEAN
// tlhelp32.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <cstdio>
#include <cstdlib>

namespace {

// The process id of the first process named exe; 0 when there is none.
DWORD FindProcess(const char* exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD pid = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && pid == 0;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exe) == 0) pid = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: console_mode EXE [MODE]\n");
        return 1;
    }
    const DWORD pid = FindProcess(argv[1]);
    if (pid == 0) {
        std::fprintf(stderr, "no process %s\n", argv[1]);
        return 1;
    }
    FreeConsole();
    if (!AttachConsole(pid)) {
        std::fprintf(stderr, "AttachConsole(%lu) failed: %lu\n", pid, GetLastError());
        return 1;
    }
    HANDLE input =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return 1;
    if (argc > 2 && !SetConsoleMode(input, std::strtoul(argv[2], nullptr, 16))) {
        std::fprintf(stderr, "SetConsoleMode failed: %lu\n", GetLastError());
        return 1;
    }
    const DWORD set = GetTickCount();
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) return 1;
    if (argc > 3) {
        const DWORD wait = std::strtoul(argv[3], nullptr, 10);
        constexpr DWORD kWanted = ENABLE_MOUSE_INPUT, kChecked = kWanted | ENABLE_QUICK_EDIT_MODE;
        while ((mode & kChecked) != kWanted && GetTickCount() - set < wait) {
            Sleep(10);
            if (!GetConsoleMode(input, &mode)) return 1;
        }
        if ((mode & kChecked) == kWanted) {
            std::printf("mode=0x%lx back_ms=%lu\n", mode, GetTickCount() - set);
        } else {
            std::printf("mode=0x%lx back_ms=none\n", mode);
        }
        return 0;
    }
    std::printf("mode=0x%lx\n", mode);
    return 0;
}
