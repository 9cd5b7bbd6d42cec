// The power probe and the power action against the fake: environment, the hibernation test,
// the search for shutdown.exe, the command file, the screen texts and the started commands.
// Only the fake's StartProcess is ever called here.
#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "power/power_action.h"

namespace varlo {
namespace {

using fake::FakePlatform;

constexpr uint32_t kHiddenSystem = kAttrHidden | kAttrSystem | kAttrArchive;

struct Probe {
    FakePlatform p;
    Context ctx{p};

    Probe() {
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        p.environment = {"COMSPEC=C:\\Windows\\system32\\cmd.exe", "windir=C:\\Windows",
                         "HOMEPATH=\\Users\\nacht"};
    }
    void Hibernation() { p.AddFile("c:\\hiberfil.sys", "", kHiddenSystem); }
    void Run() { PowerProbe(ctx); }
    const PowerGroup& power() const { return ctx.power; }
};

TEST(PowerEnvironment, BothFormsAnyCaseLaterWinsBlankKept) {
    struct Row {
        std::vector<std::string> entries;
        std::string shutdownPath, winDir, desktopDir;
    };
    const Row rows[] = {
        {{"COMSPEC=C:\\Windows\\system32\\cmd.exe", "WINDIR=C:\\Windows", "HOMEPATH=\\Users\\a"},
         "C:\\Windows\\system32\\shutdown.exe",
         "C:\\Windows",
         "C:\\Users\\a\\Desktop\\"},
        {{"ComSpec =C:\\x\\cmd.exe", "windir = C:\\W", "homepath =\\h"},
         "C:\\x\\shutdown.exe",
         " C:\\W",
         "C:\\h\\Desktop\\"},
        {{"COMSPEC=cmd.exe"}, "shutdown.exe", "", ""},
        {{"COMSPEC=\\"}, "\\shutdown.exe", "", ""},
        {{"WINDIR=C:\\A", "WINDIR=C:\\B", "COMSPEC=C:\\1\\c", "COMSPEC=C:\\2\\c"},
         "C:\\2\\shutdown.exe",
         "C:\\B",
         ""},
        // Only the first "=" separates; an entry of the drive table is no variable.
        {{"=C:=C:\\Musik", "HOMEPATH=\\a=b", "COMSPECX=C:\\no\\c", "WINDIR  =C:\\no", "NOEQUALS"},
         "",
         "",
         "C:\\a=b\\Desktop\\"},
        // The block ends at the first empty entry.
        {{"WINDIR=C:\\A", "", "WINDIR=C:\\B"}, "", "C:\\A", ""},
        {{}, "", "", ""},
    };
    for (const Row& row : rows) {
        FakePlatform p;
        Context ctx(p);
        ReadPowerEnvironment(ctx, row.entries);
        EXPECT_EQ(ctx.power.ShutdownPath, row.shutdownPath) << row.entries.size();
        EXPECT_EQ(ctx.power.WinDir, row.winDir) << row.entries.size();
        EXPECT_EQ(ctx.power.DesktopDir, row.desktopDir) << row.entries.size();
    }
}

TEST(PowerProbe, HibernationAndShutdownBesideTheShell) {
    Probe t;
    t.Hibernation();
    t.p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    t.p.AddFile("C:\\Windows\\shutdown.exe");  // never reached: the shell's folder comes first
    t.p.AddFolder("C:\\Users\\nacht\\Desktop");
    t.p.cursorRow = 9;
    t.Run();
    EXPECT_EQ(t.p.ScreenText(), "Ruhemodus OK\n" + std::string(21, '\n'));
    EXPECT_EQ(t.p.cursorRow, 2);
    EXPECT_EQ(t.p.cursorColumn, 1);
    EXPECT_EQ(t.p.now, 0u);
    EXPECT_EQ(t.power().PowerMode, 2);
    EXPECT_EQ(t.power().DownPreset, "30");
    EXPECT_EQ(t.power().ShutdownPath, "C:\\Windows\\system32\\shutdown.exe");
    EXPECT_EQ(t.power().PowerCommand, "C:\\Windows\\system32\\shutdown.exe /h");
    EXPECT_TRUE(t.p.fileWrites.empty());
}

TEST(PowerProbe, WithoutHibernationShutDownAndTheLinkIsIgnored) {
    Probe t;
    t.p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    t.p.AddFile("C:\\Users\\nacht\\Desktop\\hibernate.link");
    t.Run();
    EXPECT_EQ(t.p.Row(1).substr(0, 36), "kein Ruhemodus > down beendet alles ");
    EXPECT_EQ(t.p.cursorRow, 2);
    EXPECT_EQ(t.p.now, 2000u);
    EXPECT_EQ(t.power().PowerMode, 1);
    EXPECT_EQ(t.power().DownPreset, "30");
    EXPECT_EQ(t.power().PowerCommand, "C:\\Windows\\system32\\shutdown.exe /s");
    EXPECT_TRUE(t.p.fileWrites.empty());
}

TEST(PowerProbe, FallbacksTakeOnlyNormalFiles) {
    const std::string longFolder = "C:\\" + std::string(5000, 'x');
    struct Row {
        std::vector<std::string> environment;
        std::vector<std::pair<std::string, uint32_t>> files;  // attributes 0: a folder
        std::string shutdownPath;
    };
    const Row rows[] = {
        // A folder named shutdown.exe beside the shell, a hidden one in the Windows folder.
        {{"COMSPEC=C:\\Sh\\cmd.exe", "WINDIR=C:\\Win"},
         {{"C:\\Sh\\shutdown.exe", 0},
          {"C:\\Win\\shutdown.exe", kAttrHidden | kAttrArchive},
          {"C:\\Win\\system32\\shutdown.exe", kAttrArchive | kAttrReadOnly}},
         "C:\\Win\\system32\\shutdown.exe"},
        {{"COMSPEC=C:\\Sh\\cmd.exe", "WINDIR=C:\\Win"},
         {{"C:\\Sh\\shutdown.exe", kAttrSystem}, {"C:\\Win\\shutdown.exe", kAttrArchive}},
         "C:\\Win\\shutdown.exe"},
        // No COMSPEC at all, or one without a folder: shutdown.exe of the current folder.
        {{"WINDIR=C:\\Win"}, {{"C:\\Win\\shutdown.exe", kAttrArchive}}, "C:\\Win\\shutdown.exe"},
        {{"COMSPEC=cmd.exe", "WINDIR=C:\\Win"},
         {{"C:\\Musik\\shutdown.exe", kAttrArchive}, {"C:\\Win\\shutdown.exe", kAttrArchive}},
         "shutdown.exe"},
        {{"COMSPEC=" + longFolder + "\\cmd.exe", "WINDIR=" + longFolder},
         {{"C:\\Win\\system32\\shutdown.exe", kAttrArchive}},
         longFolder + "\\system32\\shutdown.exe"},
        // Wildcards are no file name, whatever a directory search would make of them.
        {{"COMSPEC=C:\\S?\\cmd.exe", "WINDIR=C:\\Wi*"},
         {{"C:\\Sh\\shutdown.exe", kAttrArchive},
          {"C:\\Win\\system32\\shutdown.exe", kAttrArchive}},
         "C:\\Wi*\\system32\\shutdown.exe"},
    };
    for (const Row& row : rows) {
        Probe t;
        t.Hibernation();
        t.p.AddFolder("C:\\Musik");
        t.p.currentFolder = "C:\\Musik";
        t.p.environment = row.environment;
        for (const auto& [path, attributes] : row.files) {
            if (attributes == 0) {
                t.p.AddFolder(path);
            } else {
                t.p.AddFile(path, "", attributes);
            }
        }
        t.Run();
        EXPECT_EQ(t.power().ShutdownPath, row.shutdownPath);
        EXPECT_EQ(t.power().PowerCommand, row.shutdownPath + " /h");
    }
}

TEST(PowerProbe, NotFoundSharesRowOneWithTheHibernationLine) {
    Probe none;
    none.p.environment = {};
    none.Run();
    EXPECT_EQ(none.p.ScreenText(), "kein 'Shutdown.exe' nicht gefunden.\n" + std::string(21, '\n'));
    EXPECT_EQ(none.p.now, 4000u);
    EXPECT_EQ(none.power().ShutdownPath, "\\system32\\shutdown.exe");
    EXPECT_EQ(none.power().PowerCommand, "\\system32\\shutdown.exe /s");

    Probe ok;
    ok.Hibernation();
    ok.Run();
    EXPECT_EQ(ok.p.Row(1).substr(0, 36), "Ruhe 'Shutdown.exe' nicht gefunden. ");
    EXPECT_EQ(ok.p.cursorRow, 1);  // no line break after the message
    EXPECT_EQ(ok.p.cursorColumn, 36);
    EXPECT_EQ(ok.p.now, 2000u);
    EXPECT_EQ(ok.power().PowerCommand, "C:\\Windows\\system32\\shutdown.exe /h");
}

TEST(PowerProbe, ShutdownPathWithBlanksIsQuotedInTheCommand) {
    Probe shell;
    shell.Hibernation();
    shell.p.environment = {"COMSPEC=C:\\Program Files\\Shell\\cmd.exe"};
    shell.p.AddFile("C:\\Program Files\\Shell\\shutdown.exe");
    shell.Run();
    EXPECT_EQ(shell.power().ShutdownPath, "C:\\Program Files\\Shell\\shutdown.exe");
    EXPECT_EQ(shell.power().PowerCommand, "\"C:\\Program Files\\Shell\\shutdown.exe\" /h");

    Probe windows;
    windows.p.environment = {"COMSPEC=cmd.exe", "WINDIR=C:\\Mein Windows"};
    windows.p.AddFile("C:\\Mein Windows\\system32\\shutdown.exe");
    windows.Run();
    EXPECT_EQ(windows.power().PowerCommand, "\"C:\\Mein Windows\\system32\\shutdown.exe\" /s");

    EXPECT_EQ(ShutdownCommand("C:\\W\\shutdown.exe", " /s"), "C:\\W\\shutdown.exe /s");
    EXPECT_EQ(ShutdownCommand("", " /s"), " /s");
}

TEST(PowerProbe, LinkOnTheDesktopWritesTheCommandFileByteForByte) {
    Probe t;
    t.Hibernation();
    // Windows-1252: "Jürgen Müller"
    t.p.environment = {"COMSPEC=C:\\Windows\\system32\\cmd.exe",
                       "HOMEPATH=\\Users\\J\xFCrgen M\xFCller"};
    t.p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    t.p.AddFile("C:\\Users\\J\xFCrgen M\xFCller\\Desktop\\hibernate.link");
    t.p.AddFile("c:\\dummi.cmd", "an old, much longer command file\r\nwith two lines\r\n");
    t.Run();
    EXPECT_EQ(t.power().PowerCommand, "c:\\dummi.cmd");
    ASSERT_EQ(t.p.fileWrites.size(), 1u);
    EXPECT_EQ(fake::Upper(t.p.fileWrites[0].first), "C:\\DUMMI.CMD");
    const std::string expected = "\"C:\\Users\\J\xFCrgen M\xFCller\\Desktop\\hibernate.link\"\r\n";
    EXPECT_EQ(t.p.fileWrites[0].second, expected);
    EXPECT_EQ(t.p.Find("c:\\dummi.cmd")->content, expected);
    // shutdown.exe is searched all the same.
    EXPECT_EQ(t.power().ShutdownPath, "C:\\Windows\\system32\\shutdown.exe");

    // Without HOMEPATH the link is looked for in the current folder.
    Probe here;
    here.Hibernation();
    here.p.environment = {"COMSPEC=C:\\Windows\\system32\\cmd.exe"};
    here.p.AddFile("C:\\Musik\\hibernate.link");
    here.p.currentFolder = "C:\\Musik";
    here.Run();
    ASSERT_EQ(here.p.fileWrites.size(), 1u);
    EXPECT_EQ(here.p.fileWrites[0].second, "\"hibernate.link\"\r\n");

    // A hidden link is no link.
    Probe hidden;
    hidden.Hibernation();
    hidden.p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    hidden.p.AddFile("C:\\Users\\nacht\\Desktop\\hibernate.link", "", kAttrHidden);
    hidden.Run();
    EXPECT_EQ(hidden.power().PowerCommand, "C:\\Windows\\system32\\shutdown.exe /h");
    EXPECT_TRUE(hidden.p.fileWrites.empty());
}

TEST(PowerProbe, CommandFileThatCannotBeWrittenIsARunTimeError) {
    Probe t;
    t.Hibernation();
    t.p.AddFile("C:\\Windows\\system32\\shutdown.exe");
    t.p.AddFile("C:\\Users\\nacht\\Desktop\\hibernate.link");
    t.p.Find("C:\\")->writable = false;
    try {
        t.Run();
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 70);  // Permission denied
    }
    EXPECT_TRUE(t.p.fileWrites.empty());
}

// --- The power action. ---

struct Action {
    FakePlatform p;
    Context ctx{p};

    Action(int mode, const std::string& command) {
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        ctx.power.PowerMode = mode;
        ctx.power.PowerCommand = command;
        ctx.power.DownPreset = "5";  // the action sets it to 30 again
        p.cursorRow = 8;
        p.cursorColumn = 20;
    }
};

TEST(PowerAction, ShutDownShowsStartsAndEndsTheProgram) {
    Action t(1, "\"C:\\Program Files\\W\\shutdown.exe\" /s");
    EXPECT_THROW(PowerAction(t.ctx), ProgramEnd);
    EXPECT_EQ(t.p.Text(9, 1, 41), ">>\"C:\\Program Files\\W\\shutdown.exe\" /s<< ");
    EXPECT_EQ(t.p.cursorRow, 10);
    EXPECT_EQ(t.p.cursorColumn, 1);
    EXPECT_EQ(t.p.started, std::vector<std::string>{"\"C:\\Program Files\\W\\shutdown.exe\" /s"});
    EXPECT_EQ(t.p.now, 2000u);  // shown 2 s before the start, nothing after it
}

TEST(PowerAction, CommandThatCannotStartIsARunTimeErrorAndNothingPowersOff) {
    for (int mode : {1, 2}) {
        Action t(mode, "C:\\nirgends\\shutdown.exe /h");
        t.p.startProcessError = kSysFileNotFound;
        try {
            PowerAction(t.ctx);
            FAIL() << "no error";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), 53);
        }
        EXPECT_TRUE(t.p.started.empty());
        EXPECT_EQ(t.p.now, 2000u);
    }
}

TEST(PowerAction, HibernationWaitsTwentySecondsAndReArms) {
    Action t(2, "c:\\dummi.cmd");
    t.p.clockBase = {2026, 12, 6, 23, 59, 50};
    PowerAction(t.ctx);
    EXPECT_EQ(t.p.Text(9, 1, 16), ">>c:\\dummi.cmd<<");
    EXPECT_EQ(t.p.started, std::vector<std::string>{"c:\\dummi.cmd"});
    EXPECT_EQ(t.p.now, 22000u);
    EXPECT_EQ(t.ctx.power.DownPreset, "30");
    EXPECT_EQ(t.ctx.power.DownRemaining, 30);
    EXPECT_EQ(t.ctx.power.DownDeadline, 30);  // armed at 00:00:12
    EXPECT_EQ(t.ctx.power.DownNow, 0);
}

}  // namespace
}  // namespace varlo
