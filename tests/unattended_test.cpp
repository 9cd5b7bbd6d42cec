// A whole day unattended: 300 titles, a countdown that runs out again and again with
// hibernation, files that vanish, and a seeded monkey on the keys and the mouse. The player
// must keep playing, keep at most one device open, write nothing but its command file and
// start the power command once per expired countdown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "app/program.h"
#include "console/input.h"
#include "fake/fake_platform.h"
#include "fake/monkey.h"
#include "media/playback.h"
#include "playlist/random.h"
#include "playlist/scan.h"

namespace varlo {
namespace {

using fake::FakePlatform;

constexpr uint64_t kHour = 3600 * 1000;

// The fake, watched: every open, close, process start and file write is checked as it
// happens.
struct WatchedPlatform : FakePlatform {
    std::vector<std::string> violations;
    std::set<std::string> openAliases;
    uint64_t opens = 0, powerStarts = 0, scans = 0;

    WatchedPlatform() {
        onMci = [this](const fake::MciRecord& record) {
            const std::string& c = record.command;
            if (c.rfind("open ", 0) == 0) {
                if (!openAliases.empty())
                    Violation("open while " + *openAliases.begin() + " is open");
                if (record.result == 0) ++opens, openAliases.insert(c.substr(c.size() - 8));
            } else if (c.rfind("close ", 0) == 0) {
                openAliases.erase(c.substr(6));
            }
            if (devices.size() > 1) Violation("two devices open");
        };
    }
    void Violation(const std::string& what) {
        if (violations.size() < 20) violations.push_back(what + " at " + std::to_string(now));
    }
    uint32_t StartProcess(const std::string& commandLine) override {
        if (!devices.empty()) Violation("power command with a device open");
        ++powerStarts;
        return FakePlatform::StartProcess(commandLine);
    }
    uint32_t WriteTextFile(const std::string& path, const std::string& bytes) override {
        if (fake::Upper(path) != "C:\\DUMMI.CMD") Violation("wrote " + path);
        return FakePlatform::WriteTextFile(path, bytes);
    }
    void WriteText(std::string_view bytes) override {
        scans += bytes == " suche Titel...";
        FakePlatform::WriteText(bytes);
    }
};

using fake::Monkey;

TEST(Unattended, TwentyFourHoursAcrossMidnightWithAMonkey) {
    const char* hoursText = std::getenv("VARLO_UNATTENDED_HOURS");
    const uint64_t hours = hoursText ? std::strtoull(hoursText, nullptr, 10) : 24;

    WatchedPlatform p;
    p.logMci = p.logWrites = false;
    p.clockBase = {2026, 12, 6, 21, 10, 7};
    p.environment = {"COMSPEC=C:\\Windows\\system32\\cmd.exe", "WINDIR=C:\\Windows",
                     "HOMEPATH=\\Users\\nacht"};
    // System folders stay out of the chooser, so that the monkey finds its way back.
    p.AddFolder("C:\\Windows", kAttrDirectory | kAttrSystem);
    p.AddFolder("C:\\Users", kAttrDirectory | kAttrSystem);
    p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    p.AddFile("C:\\hiberfil.sys", "", kAttrHidden | kAttrSystem);
    p.AddFile("C:\\Users\\nacht\\Desktop\\hibernate.link");

    Random rng;
    rng.Seed(20261206);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "C:\\Musik\\Titel " + std::to_string(i) + " - Band " +
                                 std::to_string(i % 17) + (i % 3 ? ".mp3" : ".wav");
        uint32_t length = 30000 + rng.Draw(210) * 1000;
        if (i % 60 == 7) length = 1000 + rng.Draw(1900);  // shorter than 3 s
        p.AddMedia(name, length, i % 50 != 13);           // a few that cannot be opened
        names.push_back(name);
    }
    p.AddFile("C:\\Musik\\cover.jpg");
    for (int i = 0; i < 30; ++i) {
        p.AddMedia("C:\\Musik\\Live\\Zugabe " + std::to_string(i) + " - Band 1.ogg",
                   60000 + rng.Draw(120) * 1000);
    }
    p.AddFolder("C:\\Musik\\Leer");
    for (int i = 0; i < 6; ++i) {
        const std::string& victim = names[static_cast<size_t>(rng.Draw(300) - 1)];
        p.At(rng.Draw(static_cast<int>(hours)) * kHour - rng.Draw(3000) * 1000ULL,
             [&p, victim] { p.Remove(victim); });
    }
    p.currentFolder = "C:\\Musik";

    Random monkey;
    monkey.Seed(4711);
    Monkey(monkey, p, hours * kHour);
    p.stopAt = hours * kHour;

    // The main cycle, driven here so that every list end can be checked: played to its end,
    // or emptied for a new folder; no scan inside the title loop, no device left open. Only
    // the end of the virtual day ends it.
    Context ctx(p);
    uint64_t lists = 0;
    try {
        StartUp(ctx, "");
        for (;; ++lists) {
            SortPromptAndScan(ctx);
            ASSERT_GE(ctx.playlist.TrackCount, 1);
            const uint64_t scansBefore = p.scans;
            EXPECT_TRUE(PlayList(ctx) == ListEnd::Done
                            ? ctx.media.CurrentIndex > ctx.media.LoopBound
                            : ctx.playlist.TrackFile(1) + ctx.playlist.TrackTitle(1) +
                                      ctx.playlist.TrackInterpreter(1) ==
                                  "");
            EXPECT_TRUE(p.scans == scansBefore && p.devices.empty()) << p.now;
        }
    } catch (const fake::FakeStop&) {
    } catch (const RuntimeError& error) {
        ADD_FAILURE() << "run-time error " << error.number() << "\n" << p.ScreenText();
    } catch (const ProgramEnd&) {
        ADD_FAILURE() << "the program ended\n" << p.ScreenText();
    }
    for (const auto& v : p.violations) ADD_FAILURE() << v;

    // Power starts, checked against the command lines: each one is the command file. A
    // 30-minute countdown with a monkey on D and M runs out several times a day.
    for (const auto& line : p.started) EXPECT_EQ(line, "c:\\dummi.cmd");
    EXPECT_EQ(p.powerStarts, p.started.size());
    EXPECT_GE(p.powerStarts, hours >= 24 ? 4u : 0u);
    for (const auto& [path, bytes] : p.fileWrites) {
        EXPECT_EQ(bytes, "\"C:\\Users\\nacht\\Desktop\\hibernate.link\"\r\n") << path;
    }
    EXPECT_GT(p.opens, 100u * hours / 24);
    EXPECT_GE(lists, hours / 12);
}

}  // namespace
}  // namespace varlo
