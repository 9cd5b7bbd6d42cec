// The Down countdown, the power probe and the power action, in virtual time against the fake.
#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "power/down_timer.h"
#include "power/power_action.h"

namespace varlo::power_test {

constexpr uint64_t kMin = 60 * 1000;  // ms

using Strings = std::vector<std::string>;

// The fake with its own environment, files, process start and wall clock, which shows `now` as
// the time of day; "+path" is a hidden file. Every command
// handed to the system is kept in `runs`; one that starts puts the computer to sleep for 8 hours,
// as hibernation does (after a shut-down nothing looks at the clock).
struct Pc : fake::FakePlatform {
    Strings runs;
    const uint32_t startError;
    Context ctx{*this};

    explicit Pc(Strings entries = {}, const Strings& files = {}, uint32_t fails = 0)
        : startError(fails) {
        environment = std::move(entries);
        for (auto& f : files) AddFile(f.substr(f[0] == '+'), "", f[0] == '+' ? kAttrHidden : 0);
    }
    uint32_t StartProcess(const std::string& line) override {
        runs.push_back(line);
        if (startError == 0) now += 8 * 60 * kMin;
        return startError;
    }
    LocalTime Now() override { return {0, 0, 0, int(now / 3600000 % 24), int(now / kMin % 60), 0}; }
    // The run-time error number that f raises; 0 when it returns, -1 when the program ends.
    static int Outcome(auto f) try { return f(), 0; } catch (const RuntimeError& error) {
        return error.number();
    } catch (const ProgramEnd&) {
        return -1;
    }
    std::string Content(const char* path) { return Find(path) ? Find(path)->content : ""; }
};

// Armed with `preset` at minute `at` and checked `gap` minutes later; `later` minutes on, the
// keys D and M show `shown`, and the check after the title leaves `left` and ends with `end`
// (0 plays on, -1 the program ends, else the run-time error), `ms` past the full minute: the
// command stands 2 s before it starts, hibernation waits 20 s more.
// Mode 2 hibernates, mode 1 shuts down, both through c:\dummi.cmd; `fails`: the system refuses.
TEST(DownTimer, CountsDownAcrossMidnightAndPowersOffAfterTheTitle) {
    using Row = std::tuple<int, int, int, const char*, int, int, const char*, int, int, int, int>;
    // clang-format off
    const Row rows[] = {
        // mode, fails, at, preset, gap, later, keys, shown, left, end, ms
        // M checked at 23:00, pressed at 00:10: up to 1740, which leaves 290.
        {1, 0, 1380, "361", 0, 70, "M", 360, 290, 0, 0},
        // A deadline of 23:50 examined at 00:05 has run out.
        {1, 0, 1429, "-5", 0, 16, "", 1, -15, -1, 2000},
        // After midnight D and M skip the reduction: D shows 1440 until the check, M clamps.
        {1, 0, 1420, " 30x", 25, 0, "D", 1440, 0, -1, 2000},
        {1, 0, 1420, "3000000000", 25, 0, "M", 360, 360, 0, 0},
        // Six times D, counted from the last check: 0, the power action after the title.
        {1, 0, 1350, "30", 0, 3, "DDDDDD", 0, -3, -1, 2000},
        // Asleep from 23:00 to 07:00: a fresh 30 minutes that D and M count from 07:00.
        {2, 0, 1375, "5", 5, 4, "M", 35, 31, 0, 22000},
        // Never below 0; a start the system refuses, in either mode.
        {1, kSysFileNotFound, 1350, "", 0, 0, "D", 0, 0, 53, 2000},
        {2, kSysFileNotFound, 1350, "0", 0, 1, "", 1, 0, 53, 2000},
    };
    // clang-format on
    for (const auto& [mode, fails, at, preset, gap, later, keys, shown, left, end, ms] : rows) {
        SCOPED_TRACE(preset);
        Pc t({}, {}, fails);
        t.now = at * kMin;
        // PowerMode, PowerCommand, ShutdownPath, WinDir, DesktopDir, DownPreset.
        t.ctx.power = {mode, "c:\\dummi.cmd", {}, {}, {}, preset};
        DownTimerStart(t.ctx);
        t.now += gap * kMin;
        DownCheck(t.ctx);
        t.now += later * kMin;
        for (char key : std::string(keys)) key == 'D' ? DownShorter(t.ctx) : DownLonger(t.ctx);
        EXPECT_EQ(t.ctx.power.DownRemaining, shown);
        const int got = Pc::Outcome([&] { DownCheck(t.ctx); });
        EXPECT_EQ(std::tuple(got, t.ctx.power.DownRemaining, int(t.now % kMin), t.runs),
                  std::tuple(end, left, ms, Strings(ms > 0, "c:\\dummi.cmd")));
        EXPECT_EQ(t.Dump(2, 2), ms > 0 ? "\n>>c:\\dummi.cmd<<" : "");
    }
    // The number as typed, its sign included; the clamp to 1 comes after it.
    EXPECT_EQ(std::tuple(PresetNumber(" -12 Min"), PresetNumber("+7"), PresetNumber("- 3")),
              std::tuple(-12, 7, 0));
}

// Environment and files -> PowerMode, PowerCommand, row 1, the ms its messages stand, and
// c:\dummi.cmd.
TEST(PowerProbe, FindsHibernationAndShutdownExeAndBuildsTheCommand) {
    const std::string shell = "COMSPEC=C:\\S\\cmd.exe", win = "WINDIR=C:\\W", ok = "Ruhemodus OK";
    const std::string sys32 = "C:\\W\\system32\\shutdown.exe", wshut = "C:\\W\\shutdown.exe";
    const std::string hib = "+c:\\hiberfil.sys", shut = "C:\\S\\shutdown.exe";
    const std::string pq = "C:\\P Q\\shutdown.exe", no = "kein Ruhemodus > down beendet alles";
    const std::string home = "HOMEPATH=\\J=\xFC", link = "C:\\J=\xFC\\Desktop\\hibernate.link";
    const std::string script = '"' + link + "\"\r\n";  // Windows-1252, no conversion
    // clang-format off
    const std::tuple<Strings, Strings, int, std::string, std::string, uint64_t> rows[] = {
        // COMSPEC in system32: found there before any fallback; no blank, no quotes.
        {{"COMSPEC=C:\\W\\system32\\cmd.exe", win}, {hib, wshut, sys32}, 2, sys32 + " /h", ok, 0},
        // The two WINDIR fallbacks; a folder or a hidden file named shutdown.exe is none, and an
        // empty entry ends the environment.
        {{shell, win, "", "WINDIR=C:\\X"}, {shut + "\\x", wshut}, 1, wshut + " /s", no, 2000},
        {{shell, win}, {hib, shut + "\\x", "+" + wshut, sys32}, 2, sys32 + " /h", ok, 0},
        // Found nowhere: the message lands over the first line.
        {{}, {}, 1, "\\system32\\shutdown.exe /s", "kein 'Shutdown.exe' nicht gefunden.", 4000},
        {{}, {hib}, 2, "\\system32\\shutdown.exe /h", "Ruhe 'Shutdown.exe' nicht gefunden.", 2000},
        // " =" in any case, the later entry wins; a blank in the path is quoted.
        {{shell, "comspec =C:\\P Q\\cmd.exe"}, {hib, shut, pq}, 2, '"' + pq + "\" /h", ok, 0},
        // The link runs through the command file; without hibernation it is ignored.
        {{shell, home}, {hib, shut, link}, 2, "c:\\dummi.cmd", ok, 0},
        {{shell, home}, {shut, link}, 1, shut + " /s", no, 2000},
    };
    // clang-format on
    for (const auto& [env, files, mode, command, row1, ms] : rows) {
        SCOPED_TRACE(testing::PrintToString(files));
        Pc t(env, files);
        PowerProbe(t.ctx);
        const PowerGroup& p = t.ctx.power;
        EXPECT_EQ(std::tuple(p.PowerMode, p.PowerCommand, t.Dump(1, 1), t.now, p.DownPreset),
                  std::tuple(mode, command, "\n" + row1, ms, "30"));
        EXPECT_EQ(t.Content("c:\\dummi.cmd"), command == "c:\\dummi.cmd" ? script : "");
    }
    Pc readOnly({shell, home}, {hib, link});
    readOnly.Find("C:\\")->writable = false;
    EXPECT_EQ(Pc::Outcome([&] { PowerProbe(readOnly.ctx); }), 70);  // Permission denied
}

}  // namespace varlo::power_test
