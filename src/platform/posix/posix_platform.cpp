#include "platform/posix/posix_platform.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

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

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

// See Sleep.
constexpr auto kDesktopRest = std::chrono::milliseconds(50);

// The tick count of a moment: its milliseconds on the monotonic clock, wrapping at 2^32 as
// Windows' tick count does.
uint32_t Ticks(Clock::time_point at) {
    using std::chrono::milliseconds;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<milliseconds>(at.time_since_epoch()).count());
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

std::string CommandTail(int argc, const char* const* argv) {
    std::string tail;
    for (int i = 1; i < argc; ++i) tail += (i > 1 ? " " : "") + std::string(argv[i]);
    return TextToWindows1252(tail);
}

PosixPlatform::PosixPlatform(MediaEngine& engine, Terminal& terminal, SystemDrive* drive,
                             DesktopBus* desktop)
    : engine_(engine),
      terminal_(terminal),
      screen_(Fitted(terminal.Size(), kScreenColumns, kScreenRows).columns,
              Fitted(terminal.Size(), kScreenColumns, kScreenRows).rows),
      drive_(drive),
      files_(MountedView(drive)),
      mci_(engine, [this](const std::string& path) { return files_.ToPosix(path); }),
      desktop_(desktop) {
    screen_.SetColourDepth(TerminalColourDepth(std::getenv("COLORTERM"), std::getenv("TERM")));
}

PosixPlatform::~PosixPlatform() {
    Flush();
}

void PosixPlatform::Flush() {
    if (Terminal::TakeRepaint()) screen_.Invalidate();
    // A terminal that stopped reading gets nothing until it reads again, then all anew.
    if (!terminal_.Writable()) return;
    std::string out;
    screen_.Render(out);
    if (!out.empty() && !terminal_.Write(out)) screen_.Invalidate();
}

// --- Console. ---

uint32_t PosixPlatform::SetConsoleSize(int columns, int rows) {
    Flush();
    std::optional<TerminalSize> size = terminal_.Size();
    if (size && (size->columns != columns || size->rows != rows)) {
        terminal_.RequestSize(columns, rows);
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
    if (fitted.columns < columns || fitted.rows < rows) {
        refused_ = RefusedSize{*size, TerminalSize{columns, rows}};
        return kSysInvalidParameter;
    }
    return 0;
}

void PosixPlatform::EnableMouseInput() {
    terminal_.ReportMouse();
}

InputItem PosixPlatform::ReadInputItem() {
    Flush();
    if (std::optional<InputItem> command = desktop_ ? desktop_->Pump() : std::nullopt)
        return *command;
    if (std::optional<InputItem> item = decoder_.Next()) return *item;
    // A sleep that has just ended on a quiet terminal answers for it: the pass's one poll.
    const uint32_t now = TickCount();
    const bool quiet = quietAt_ && now - *quietAt_ <= kQuietFor;
    quietAt_.reset();
    decoder_.Feed(quiet ? std::string() : terminal_.ReadAvailable(), now);
    return decoder_.Next().value_or(InputItem{});
}

// --- Multimedia. ---

uint32_t PosixPlatform::MciSendString(std::string_view command, char* reply, uint32_t replyLength) {
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
    if (desktop_) desktop_->BeforePowerAction();
    return drive_->Start(commandLine, files_.View(), files_.WorkingFolder());
}

// --- Time. ---

uint32_t PosixPlatform::TickCount() {
    return Ticks(Clock::now());
}

LocalTime PosixPlatform::Now() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

// --- Desktop. ---

void PosixPlatform::Publish(const NowPlaying& now) {
    if (!desktop_) return;
    // Resolved when the title opens: the folder chooser may change the current folder while
    // the title plays on.
    if (now.title != urlTitle_) {
        urlTitle_ = now.title;
        url_.clear();
        const std::optional<std::string> path =
            now.file.empty() ? std::nullopt : files_.ToPosix(now.file);
        g_autofree gchar* uri = path ? g_filename_to_uri(path->c_str(), nullptr, nullptr) : nullptr;
        if (uri) url_ = uri;
    }
    desktop_->Publish(now, url_);
}

void PosixPlatform::Sleep(uint32_t milliseconds) {
    if (desktop_ && desktop_->Sleep(milliseconds, [this](uint32_t slice) { Sleep(slice); })) return;
    Flush();
    // The sleep is a wait on the terminal: what it sends meanwhile goes to the decoder, where
    // it waits for the player's reads as it would have waited in the terminal, and the sleep
    // goes on to its end. A signal (a resized terminal) cuts the wait short: redraw, then
    // sleep the rest. The desktop is answered as soon as it calls, and then not watched for
    // kDesktopRest, so that a wake-up it leaves standing cannot keep the wait from sleeping.
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(milliseconds);
    bool watch = true;
    Clock::time_point desktopAt = start;  // watched again from then on
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        const std::chrono::nanoseconds rest = end - now;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(rest);
        const timespec wait{static_cast<time_t>(seconds.count()),
                            static_cast<long>((rest - seconds).count())};
        const int desktop = desktop_ && now >= desktopAt ? desktop_->WakeFd() : -1;
        switch (terminal_.WaitForInput(wait, watch, desktop)) {
            case Terminal::Wait::TimedOut:
                if (watch) quietAt_ = Ticks(end);
                return;
            case Terminal::Wait::Input: {
                const std::string bytes = terminal_.ReadAvailable();
                // Ready but nothing to read (an input at its end): the rest without it.
                watch = !bytes.empty();
                decoder_.Feed(bytes, TickCount());
                break;
            }
            case Terminal::Wait::Other:
                desktop_->Serve();
                desktopAt = Clock::now() + kDesktopRest;
                break;
            case Terminal::Wait::Interrupted:
                Flush();
                break;
        }
    }
}

}  // namespace varlo
