#include "platform/win32/console_api.h"

#include <winternl.h>

#include <algorithm>
#include <vector>

namespace varlo {

namespace {

constexpr int kClassNameLength = 256;
constexpr USHORT kLongestCommandLine = 0x7FFE;  // bytes of UTF-16, UNICODE_STRING's limit

HANDLE OpenConsole(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// Another process's command line, read from its process parameters (NtQueryInformationProcess
// has no documented class for another process's command line on every system).
std::wstring CommandLineOf(DWORD processId) {
    const auto query = reinterpret_cast<QueryInformationProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return L"";
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return L"";
    std::wstring line;
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    SIZE_T read = 0;
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, &read) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, &read) &&
        parameters.CommandLine.Length <= kLongestCommandLine) {
        std::vector<wchar_t> text(parameters.CommandLine.Length / sizeof(wchar_t));
        if (ReadProcessMemory(process, parameters.CommandLine.Buffer, text.data(),
                              text.size() * sizeof(wchar_t), &read)) {
            line.assign(text.begin(), text.end());
        }
    }
    CloseHandle(process);
    return line;
}

}  // namespace

SystemConsole::SystemConsole() : output_(OpenConsole("CONOUT$")), input_(OpenConsole("CONIN$")) {}

SystemConsole::~SystemConsole() {
    if (output_ != INVALID_HANDLE_VALUE) CloseHandle(output_);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
}

BOOL SystemConsole::GetScreenBufferInfo(CONSOLE_SCREEN_BUFFER_INFO* info) {
    return GetConsoleScreenBufferInfo(output_, info);
}

BOOL SystemConsole::SetScreenBufferSize(COORD size) {
    return SetConsoleScreenBufferSize(output_, size);
}

BOOL SystemConsole::SetWindowInfo(const SMALL_RECT& window) {
    return SetConsoleWindowInfo(output_, TRUE, &window);
}

BOOL SystemConsole::FillCharacter(WCHAR character, DWORD length, COORD at, DWORD* written) {
    return FillConsoleOutputCharacterW(output_, character, length, at, written);
}

BOOL SystemConsole::FillAttribute(WORD attribute, DWORD length, COORD at, DWORD* written) {
    return FillConsoleOutputAttribute(output_, attribute, length, at, written);
}

BOOL SystemConsole::WriteOutput(const CHAR_INFO* cells, COORD size, SMALL_RECT* region) {
    return WriteConsoleOutputW(output_, cells, size, COORD{0, 0}, region);
}

BOOL SystemConsole::SetCursorPosition(COORD at) {
    return SetConsoleCursorPosition(output_, at);
}

BOOL SystemConsole::SetTextAttribute(WORD attribute) {
    return SetConsoleTextAttribute(output_, attribute);
}

BOOL SystemConsole::GetCursorInfo(CONSOLE_CURSOR_INFO* info) {
    return GetConsoleCursorInfo(output_, info);
}

BOOL SystemConsole::SetCursorInfo(const CONSOLE_CURSOR_INFO& info) {
    return SetConsoleCursorInfo(output_, &info);
}

BOOL SystemConsole::GetInputMode(DWORD* mode) {
    return GetConsoleMode(input_, mode);
}

BOOL SystemConsole::SetInputMode(DWORD mode) {
    return SetConsoleMode(input_, mode);
}

bool SystemConsole::ReadPendingInput(INPUT_RECORD* record) {
    // Wine's console fetches the terminal's input only once the handle is waited on. The
    // handle is signalled while records are pending, so a time-out means none are.
    if (WaitForSingleObject(input_, 0) != WAIT_OBJECT_0) return false;
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &count) || count == 0) return false;
    DWORD read = 0;
    return ReadConsoleInputW(input_, record, 1, &read) && read == 1;
}

std::string SystemConsole::WindowClass() {
    HWND window = GetConsoleWindow();
    char name[kClassNameLength];
    if (!window) return "";
    const int length = GetClassNameA(window, name, kClassNameLength);
    return std::string(name, length > 0 ? length : 0);
}

std::wstring SystemConsole::WindowOwnerCommandLine() {
    HWND window = GetConsoleWindow();
    DWORD owner = 0;
    if (!window || !GetWindowThreadProcessId(window, &owner) || owner == 0) return L"";
    return CommandLineOf(owner);
}

void SystemConsole::MoveWindow(int x, int y) {
    // No window at all (a console of a terminal under Wine): nothing to move.
    if (HWND window = GetConsoleWindow()) {
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool IsPseudoConsole(ConsoleApi& console) {
    const std::string windowClass = console.WindowClass();
    if (windowClass == "PseudoConsoleWindow") return true;
    // Wine gives its console on a terminal and its pseudo console the same window class, so
    // only there the host's command line tells them apart: Windows starts a pseudo console's
    // host as "conhost.exe --headless ..." (Windows Terminal its own OpenConsole.exe), and so
    // does Wine; its console on a terminal has "--unix" instead.
    if (windowClass != "WineConsoleClass") return false;
    std::wstring host = console.WindowOwnerCommandLine();
    std::transform(host.begin(), host.end(), host.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    });
    const size_t program = host.find(L".exe");
    if (program == std::wstring::npos) return false;
    const std::wstring name = host.substr(0, program);
    const bool consoleHost = name.ends_with(L"conhost") || name.ends_with(L"openconsole");
    return consoleHost && host.find(L" --headless", program) != std::wstring::npos;
}

}  // namespace varlo
