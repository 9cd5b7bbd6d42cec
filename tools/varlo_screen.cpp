// varlo_screen PID [FILE]: prints the 69 x 22 cells of the console of process PID.
//
// For tests in a real console window, whose screen no terminal multiplexer can read. Output
// (to FILE, else to standard output): 22 lines of the characters as the console holds them
// (OEM bytes), then 22 lines of 69 attributes, each two hex digits (foreground + 16 *
// background). Exit code 0, or 1 when the console cannot be attached or read.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr SHORT kColumns = 69;
constexpr SHORT kRows = 22;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: varlo_screen PID [FILE]\n");
        return 1;
    }
    const DWORD pid = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    // Standard output stays valid when it is a file or a pipe; the console is read through
    // CONOUT$ of the attached console.
    FreeConsole();
    if (!AttachConsole(pid)) {
        std::fprintf(stderr, "AttachConsole(%lu) failed: %lu\n", pid, GetLastError());
        return 1;
    }
    HANDLE console =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return 1;
    std::string text;
    std::string attributes;
    for (SHORT row = 0; row < kRows; ++row) {
        char cells[kColumns];
        WORD colours[kColumns];
        DWORD read = 0;
        const COORD at{0, row};
        if (!ReadConsoleOutputCharacterA(console, cells, kColumns, at, &read) ||
            !ReadConsoleOutputAttribute(console, colours, kColumns, at, &read)) {
            return 1;
        }
        text.append(cells, kColumns);
        text.push_back('\n');
        for (WORD colour : colours) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", colour & 0xFF);
            attributes += hex;
        }
        attributes.push_back('\n');
    }
    if (argc > 2) {
        std::ofstream out(argv[2], std::ios::binary);
        out << text << attributes;
        return out ? 0 : 1;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fwrite(attributes.data(), 1, attributes.size(), stdout);
    return 0;
}
