// pseudo_console_host COLUMNS ROWS COMMAND...: runs COMMAND in a pseudo console (ConPTY) of
// COLUMNS x ROWS cells, as Windows Terminal does, and copies what the pseudo console sends
// (UTF-8 with VT sequences) to standard output, and the characters typed on this program's
// own console to the pseudo console. Exit code: COMMAND's, or 1 when the pseudo console or
// COMMAND cannot be started.
//
// For tests of the player in a pseudo console under Wine: with standard output a file, a
// terminal shows the pseudo console's bytes as they are. Where standard output is Wine's
// console itself, that console draws the bytes once more on its own terminal, with rows cut
// and wrapped; its output code page is set to UTF-8 at least, or the pseudo console's UTF-8
// would be converted a second time on the way.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000006
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Pipes {
    HANDLE from;  // the pseudo console's output, read here
    HANDLE to;    // the pseudo console's input, written here
};

DWORD WINAPI CopyOutput(void* parameter) {
    const HANDLE from = static_cast<Pipes*>(parameter)->from;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(from, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        DWORD written = 0;
        WriteFile(out, buffer, read, &written, nullptr);
    }
    return 0;
}

// Keys typed on this console, as the characters they type; the pseudo console turns them
// into key records again.
DWORD WINAPI CopyInput(void* parameter) {
    const HANDLE to = static_cast<Pipes*>(parameter)->to;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read)) {
        if (read == 0 || record.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        // Wine delivers Esc with character 0.
        const wchar_t typed = key.wVirtualKeyCode == VK_ESCAPE ? L'\x1b' : key.uChar.UnicodeChar;
        if (!key.bKeyDown || typed == 0) continue;
        char bytes[8];
        const int length =
            WideCharToMultiByte(CP_UTF8, 0, &typed, 1, bytes, sizeof bytes, nullptr, nullptr);
        DWORD written = 0;
        if (length > 0 && !WriteFile(to, bytes, length, &written, nullptr)) break;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: pseudo_console_host COLUMNS ROWS COMMAND...\n");
        return 1;
    }
    const COORD size{static_cast<SHORT>(std::atoi(argv[1])),
                     static_cast<SHORT>(std::atoi(argv[2]))};
    std::string command;
    for (int i = 3; i < argc; ++i) {
        if (i > 3) command += ' ';
        command += argv[i];
    }
    SetConsoleOutputCP(CP_UTF8);
    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&inputRead, &inputWrite, nullptr, 0) ||
        !CreatePipe(&outputRead, &outputWrite, nullptr, 0)) {
        std::fprintf(stderr, "CreatePipe failed: %lu\n", GetLastError());
        return 1;
    }
    HPCON console = nullptr;
    const HRESULT created = CreatePseudoConsole(size, inputRead, outputWrite, 0, &console);
    if (FAILED(created)) {
        std::fprintf(stderr, "CreatePseudoConsole failed: 0x%lx\n", created);
        return 1;
    }
    // The pseudo console holds its own ends now.
    CloseHandle(inputRead);
    CloseHandle(outputWrite);

    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> list(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION process{};
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &listSize) ||
        !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                   sizeof console, nullptr, nullptr) ||
        !CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                        &process)) {
        std::fprintf(stderr, "starting \"%s\" failed: %lu\n", command.c_str(), GetLastError());
        return 1;
    }
    Pipes pipes{outputRead, inputWrite};
    HANDLE output = CreateThread(nullptr, 0, CopyOutput, &pipes, 0, nullptr);
    CreateThread(nullptr, 0, CopyInput, &pipes, 0, nullptr);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    // What the pseudo console still sends arrives before its output pipe closes.
    ClosePseudoConsole(console);
    WaitForSingleObject(output, 2000);
    return static_cast<int>(code);
}
