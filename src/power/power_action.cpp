#include "power/power_action.h"

#include <string>
#include <vector>

#include "console/output.h"
#include "power/down_timer.h"

namespace varlo {

namespace {

constexpr int kPowerHibernate = 2;
constexpr int kPowerShutDownOnly = 1;

constexpr uint32_t kStatusWait = 2000;   // ms a probe message stands
constexpr uint32_t kCommandWait = 2000;  // ms the command stands before it is started
// The computer goes to sleep during this wait; it completes after the wake-up.
constexpr int kWakeSteps = 100;
constexpr uint32_t kWakeStep = 200;  // ms

constexpr char kShutdownExe[] = "shutdown.exe";
constexpr char kPreset[] = "30";

constexpr char kHibernationOk[] = "Ruhemodus OK";
constexpr char kNoHibernation[] = "kein Ruhemodus > down beendet alles";
constexpr char kShutdownMissing[] = " 'Shutdown.exe' nicht gefunden.";
constexpr int kShutdownMissingColumn = 5;  // over the line above, "kein" or "Ruhe" stays

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The entry is NAME=... or NAME =..., name in any case.
bool NamesVariable(const std::string& upperEntry, const std::string& name) {
    return upperEntry.starts_with(name + "=") || upperEntry.starts_with(name + " =");
}

// "*" and "?" are no part of a file name; a directory search would take them as a pattern.
bool HoldsWildcard(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

bool FileExists(Context& ctx, const std::string& path, uint32_t excluded) {
    if (path.empty() || HoldsWildcard(path)) return false;
    for (const FolderEntry& entry : ctx.platform.SearchFolder(path)) {
        if ((entry.attributes & excluded) == 0) return true;
    }
    return false;
}

bool NormalFileExists(Context& ctx, const std::string& path);

void FindShutdownExe(Context& ctx) {
    PowerGroup& power = ctx.power;
    if (NormalFileExists(ctx, power.ShutdownPath)) return;
    power.ShutdownPath = power.WinDir + "\\" + kShutdownExe;
    if (NormalFileExists(ctx, power.ShutdownPath)) return;
    power.ShutdownPath = power.WinDir + "\\system32\\" + kShutdownExe;
    if (NormalFileExists(ctx, power.ShutdownPath)) return;
    Locate(ctx, 1, kShutdownMissingColumn);
    Print(ctx, kShutdownMissing);
    ctx.platform.Sleep(kStatusWait);
}

void ReadPowerEnvironment(Context& ctx, const std::vector<std::string>& entries) {
    PowerGroup& power = ctx.power;
    for (const std::string& entry : entries) {
        if (entry.empty()) break;
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;
        const std::string upper = UpperAscii(entry);
        const std::string value = entry.substr(equals + 1);
        if (NamesVariable(upper, "COMSPEC")) {
            const size_t slash = value.rfind('\\');
            const std::string folder = slash == std::string::npos ? "" : value.substr(0, slash + 1);
            power.ShutdownPath = folder + kShutdownExe;
        } else if (NamesVariable(upper, "WINDIR")) {
            power.WinDir = value;
        } else if (NamesVariable(upper, "HOMEPATH")) {
            power.DesktopDir = "C:" + value + "\\Desktop\\";
        }
    }
}

bool NormalFileExists(Context& ctx, const std::string& path) {
    return FileExists(ctx, path, kAttrHidden | kAttrSystem | kAttrDirectory);
}

std::string ShutdownCommand(const std::string& shutdownPath, const std::string& option) {
    if (shutdownPath.find(' ') == std::string::npos) return shutdownPath + option;
    return "\"" + shutdownPath + "\"" + option;
}

}  // namespace

void PowerProbe(Context& ctx) {
    PowerGroup& power = ctx.power;
    ReadPowerEnvironment(ctx, ctx.platform.EnvironmentEntries());

    power.PowerMode = kPowerHibernate;
    ClearScreen(ctx);
    // Hidden and system files count here: the system keeps its hibernation file so.
    if (FileExists(ctx, kHibernationFile, kAttrDirectory)) {
        PrintLine(ctx, kHibernationOk);
    } else {
        PrintLine(ctx, kNoHibernation);
        ctx.platform.Sleep(kStatusWait);
        power.PowerMode = kPowerShutDownOnly;
    }
    power.DownPreset = kPreset;

    // Searched also when the hibernate link will be used: its message belongs to start-up.
    FindShutdownExe(ctx);

    const std::string link = power.DesktopDir + kHibernateLinkName;
    if (power.PowerMode == kPowerHibernate && NormalFileExists(ctx, link)) {
        ThrowIfSystemError(ctx.platform.WriteTextFile(kPowerScriptPath, "\"" + link + "\"\r\n"),
                           SystemOperation::File);
        power.PowerCommand = kPowerScriptPath;
    } else if (power.PowerMode == kPowerHibernate) {
        power.PowerCommand = ShutdownCommand(power.ShutdownPath, " /h");
    } else {
        power.PowerCommand = ShutdownCommand(power.ShutdownPath, " /s");
    }
}

void PowerAction(Context& ctx) {
    PowerGroup& power = ctx.power;
    NewLine(ctx);
    PrintLine(ctx, ">>" + power.PowerCommand + "<<");
    ctx.platform.Sleep(kCommandWait);
    ThrowIfSystemError(ctx.platform.StartProcess(power.PowerCommand), SystemOperation::File);
    if (power.PowerMode != kPowerHibernate) throw ProgramEnd{};

    for (int step = 0; step < kWakeSteps; ++step) ctx.platform.Sleep(kWakeStep);
    power.DownPreset = kPreset;
    DownTimerStart(ctx);
    // D and M count from DownNow: after a night asleep the minute of the last check lies
    // hours back, and M would drop the countdown to 0. They count from the wake-up instead.
    power.DownNow = power.DownDeadline - power.DownRemaining;
}

}  // namespace varlo
