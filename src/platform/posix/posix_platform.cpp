#include "platform/posix/posix_platform.h"

#include <time.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace varlo {

namespace {

constexpr int kScreenColumns = 69;
constexpr int kScreenRows = 22;
// A terminal that follows a size request reports its new size a moment later.
constexpr uint32_t kResizeLook = 10;  // ms between two looks
constexpr int kResizeLooks = 15;

TerminalSize Fitted(std::optional<TerminalSize> size, int columns, int rows) {
    if (!size) return TerminalSize{columns, rows};
    return TerminalSize{std::min(size->columns, columns), std::min(size->rows, rows)};
}

DriveView MountedView(const SystemDrive* drive) {
    DriveView view;
    if (drive) drive->Mount(view);
    return view;
}

}  // namespace

std::string TextToWindows1252(std::string_view utf8) {
    // "\" is never part of a longer UTF-8 sequence, so the pieces between convert alone.
    std::string ansi;
    size_t start = 0;
    for (;;) {
        const size_t slash = std::min(utf8.find('\\', start), utf8.size());
        ansi += Utf8ToWindows1252(utf8.substr(start, slash - start));
        if (slash == utf8.size()) return ansi;
        ansi += '\\';
        start = slash + 1;
    }
}

PosixPlatform::PosixPlatform(MediaEngine& engine, Terminal& terminal, SystemDrive* drive)
    : engine_(engine),
      terminal_(terminal),
      screen_(Fitted(terminal.Size(), kScreenColumns, kScreenRows).columns,
              Fitted(terminal.Size(), kScreenColumns, kScreenRows).rows),
      drive_(drive),
      files_(MountedView(drive)),
      mci_(engine, [this](const std::string& path) { return files_.ToPosix(path); }) {}

PosixPlatform::~PosixPlatform() {
    Flush();
}

void PosixPlatform::Flush() {
    if (Terminal::TakeRepaint()) screen_.Invalidate();
    std::string out = std::move(requests_);
    requests_.clear();
    screen_.Render(out);
    if (!out.empty()) terminal_.Write(out);
}

// --- Console. ---

uint32_t PosixPlatform::SetConsoleSize(int columns, int rows) {
    Flush();
    std::optional<TerminalSize> size = terminal_.Size();
    if (size && (size->columns != columns || size->rows != rows)) {
        // xterm's resize request; terminals that do not take it keep their size.
        terminal_.Write("\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t");
        for (int look = 0; look < kResizeLooks; ++look) {
            Sleep(kResizeLook);
            size = terminal_.Size();
            if (size && size->columns == columns && size->rows == rows) break;
        }
    }
    const TerminalSize fitted = Fitted(size, columns, rows);
    screen_.Resize(fitted.columns, fitted.rows);
    // A smaller terminal is refused as Windows refuses a window larger than the screen; the
    // player's error report then stands in what there is.
    if (fitted.columns < columns || fitted.rows < rows) return kSysInvalidParameter;
    return 0;
}

void PosixPlatform::MoveConsoleWindow(int x, int y) {
    // xterm's move request; elsewhere nothing moves.
    requests_ += "\x1b[3;" + std::to_string(x) + ";" + std::to_string(y) + "t";
}

void PosixPlatform::EnableMouseInput() {
    terminal_.ReportMouse();
}

InputItem PosixPlatform::ReadInputItem() {
    Flush();
    if (std::optional<InputItem> item = decoder_.Next()) return *item;
    decoder_.Feed(terminal_.ReadAvailable(), TickCount());
    return decoder_.Next().value_or(InputItem{});
}

// --- Multimedia. ---

uint32_t PosixPlatform::MciSendString(const std::string& command, char* reply,
                                      uint32_t replyLength) {
    // An open may take seconds (a sound server that does not answer): the screen cleared
    // for the title shows meanwhile.
    if (command.compare(0, 5, "open ") == 0) Flush();
    return mci_.Send(command, reply, replyLength);
}

uint32_t PosixPlatform::WaveOutDeviceCount() {
    return engine_.AudioOutputCount();
}

// --- Files and folders. ---

uint32_t PosixPlatform::ShortPathName(const std::string& path, std::string& shortPath) {
    return files_.ShortPathName(path, shortPath);
}

std::vector<FolderEntry> PosixPlatform::SearchFolder(const std::string& pattern) {
    // A large folder takes a while: what the player wrote before (" suche Titel...") shows.
    Flush();
    return files_.SearchFolder(pattern);
}

std::optional<uint32_t> PosixPlatform::FileAttributes(const std::string& path, uint32_t* error) {
    return files_.FileAttributes(path, error);
}

std::string PosixPlatform::CurrentFolder() {
    return files_.CurrentFolder();
}

uint32_t PosixPlatform::ChangeFolder(const std::string& path) {
    return files_.ChangeFolder(path);
}

uint32_t PosixPlatform::WriteTextFile(const std::string& path, const std::string& bytes) {
    return files_.WriteTextFile(path, bytes);
}

// --- Process. ---

std::vector<std::string> PosixPlatform::EnvironmentEntries() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        entries.push_back(TextToWindows1252(*entry));
    }
    return drive_ ? drive_->Environment(std::move(entries)) : entries;
}

uint32_t PosixPlatform::StartProcess(const std::string& commandLine) {
    // Without a drive C: the power probe finds no shutdown.exe, and a countdown that runs
    // out ends in the error report, as a missing shutdown.exe would on Windows.
    if (!drive_) return kSysFileNotFound;
    return drive_->Start(commandLine, files_.View(), files_.WorkingFolder());
}

// --- Time. ---

uint32_t PosixPlatform::TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<uint32_t>(milliseconds);
}

LocalTime PosixPlatform::Now() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

void PosixPlatform::Sleep(uint32_t milliseconds) {
    Flush();
    timespec rest{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal (a resized terminal) cuts the sleep short: redraw, then sleep the rest.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) Flush();
}

}  // namespace varlo
