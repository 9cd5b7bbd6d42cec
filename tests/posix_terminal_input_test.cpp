// Terminal bytes to the raw input items of the Windows console.
#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "fake/posix/posix_fixtures.h"
#include "platform/posix/desktop/desktop_bus.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/terminal/input_decoder.h"

namespace varlo {
namespace {

using std::chrono::milliseconds;

using fake::Decode;
using fake::Describe;

// Bytes read at once, then a read that finds nothing 100 ms later.
std::string DecodeAtOnce(const std::string& bytes) {
    InputDecoder decoder;
    return Decode(decoder, {{1000, bytes}, {1100, ""}});
}

TEST(InputDecoder, KeysAndSequences) {
    const std::pair<std::string, std::string> cases[] = {
        // characters: UTF-8 to Windows-1252, "?" beyond it, broken UTF-8 dropped
        {"aZ \xC3\xA4\xE2\x82\xAC\xC3\x9F", "a Z   <228> <128> <223>"},
        {"\xE6\x97\xA5\xF0\x9F\x8E\xB5", "? ?"},
        {"\xFF\xC3(\xED\xA0\x80\xC0\xAFx", "( x"},
        // the last continuation byte; a byte that begins no character takes nothing after it
        {"\xC2\xBF\xC3\xBF\xF5\x90x\x9Cy\xC0\x9Bz", "<191> <255> y"},
        // Enter, Backspace as DEL and as ^H, Tab, Ctrl + letter; NUL is nothing
        {"\r\x7F\b\t\x01\x1A", "<13> <8> <8> <9> <1> <26>"},
        {std::string("\0q", 2), "q"},
        // cursor keys in CSI and SS3 form, with modifier parameters
        {"\x1b[A\x1b[B\x1b[C\x1b[D\x1bOA\x1bOD\x1b[1;5A\x1b[1;2D",
         "#72 #80 #77 #75 #72 #75 #72 #75"},
        {"\x1b[H\x1b[F\x1bOH\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~", "#71 #79 #71 #79 #71 #79 #71 #79"},
        {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~\x1b[5;3~\x1b[6;5~", "#82 #83 #73 #81 #73 #81"},
        // F1 to F12 (SS3, CSI with modifiers, CSI ~, the Linux console's ESC [ [)
        {"\x1bOP\x1bOQ\x1bOR\x1bOS\x1b[1;2P\x1b[[A\x1b[[E", "#59 #60 #61 #62 #59 #59 #63"},
        {"\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~\x1b[24;2~",
         "#63 #64 #65 #66 #67 #68 #87 #88 #88"},
        {"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[[C\x1b[Z", "#59 #60 #61 #62 #61 <9>"},
        // Alt + key: the key's scan code (US layout); ESC before a sequence is the key itself
        {"\x1bx\x1bZ\x1b!\x1b=\x1b+\x1b\x7F\x1b\r\x1b \x1bq\x1b}\x1b`\x1b\t\x1b\b\x1b;",
         "#45 #44 #2 #13 #13 #14 #28 #57 #16 #27 #41 #15 #14 #39"},
        {"\x1b\x1b[A\x1b\x1bOP", "#72 #59"},
        // Esc Esc; ESC [ and ESC O that end there are Alt + [ and Alt + O
        {"\x1b\x1b", "<27> <27>"},
        {"\x1b\x1b[", "<27> #26"},
        {"\x1b[", "#26"},
        {"\x1bO", "#24"},
        // unknown sequences go whole: replies, bracketed paste marks, wheel, kitty keys,
        // Alt + a character without a US key, a sequence broken off by a control byte
        {"\x1b[?1;2c\x1b[200~\x1b[99~\x1b[1;2$x\x1b[<64;10;5M\x1b[<65;1;1M\x1b[97u\x1bO5z"
         "\x1b\xC3\xA4\x1b[E\x1b[12\x03q",
         "<3> q"},
        // a sequence longer than any key's, its final byte too; the longest key there may be
        {"\x1b[" + std::string(70, '9') + "D\x1bO" + std::string(70, '1') + "Pq", "q"},
        {"\x1b[" + std::string(61, '0') + "1D", "#75"},
        // an incomplete sequence at the end is dropped once it waited
        {"a\x1b[1;", "a"},
        {"\x1b[<0;5", ""},
    };
    for (const auto& [bytes, items] : cases) {
        EXPECT_EQ(DecodeAtOnce(bytes), items) << Describe(InputItem{bytes, 0, 0});
    }
}

TEST(InputDecoder, EscWaitsForAPollWithoutFollowUpAndSplitReadsStillDecode) {
    InputDecoder a;
    // A lone ESC: nothing at 20 and 49 ms, Esc at the first empty poll 50 ms after it.
    EXPECT_EQ(Decode(a, {{0, "\x1b"}, {20, ""}, {49, ""}}), "");
    EXPECT_EQ(Decode(a, {{50, ""}}), "<27>");
    InputDecoder b;
    // The rest of a sequence read late (the player slept) still completes it.
    EXPECT_EQ(Decode(b, {{0, "\x1b"}, {20, ""}, {900, "[A"}, {1000, ""}}), "#72");
    InputDecoder c;
    // Split anywhere: sequence, mouse report, UTF-8 character.
    EXPECT_EQ(Decode(c, {{0, "\x1b["},
                         {1, "2"},
                         {2, "4"},
                         {3, "~\x1b[<0;3"},
                         {4, "0;11M\xC3"},
                         {5, "\xA4"},
                         {200, ""}}),
              "#88 M4/1@30,11 <228>");
    InputDecoder d;
    // The wait counts from the last byte of the incomplete sequence.
    EXPECT_EQ(Decode(d, {{0, "\x1b"}, {40, ""}, {45, "["}, {80, ""}, {95, "B"}}), "#80");
    InputDecoder e;
    // Tick counts wrap at 2^32.
    EXPECT_EQ(Decode(e, {{0xFFFFFFF0u, "\x1b"}, {10, ""}, {40, ""}}), "<27>");
}

TEST(InputDecoder, TerminalStringsAndEightBitControlsTypeNothing) {
    // Replies split anywhere, also inside a terminator, the rest read soon or late (a lone
    // ESC read late is the Esc key): OSC, APC, 8-bit CSI (in octal), OSC as a UTF-8 C1.
    for (const std::string reply : {"\x1b]11;rgb:1c1c/1c1c/1c1c\x1b\\", "\x1b_Gi=1;OK\x1b\\",
                                    "\23312;40R", "\302\2351;t\a", "\217P"}) {
        for (size_t cut = 1; cut < reply.size(); ++cut) {
            for (uint32_t gap : {30u, 300u}) {
                if (cut == 1 && gap > InputDecoder::kEscWait && reply[0] == '\x1b') continue;
                InputDecoder d;
                const std::string head = reply.substr(0, cut), tail = reply.substr(cut) + "x";
                EXPECT_EQ(Decode(d, {{0, "q"}, {10, head}, {gap, ""}, {10 + gap, tail}}), "q x")
                    << Describe(InputItem{head, 0, 0}) << " " << gap;
            }
        }
    }
    const std::pair<std::string, std::string> cases[] = {
        // DCS, APC, PM, SOS, OSC ended by BEL, by ESC (which starts the next key), CAN, SUB
        {"\x1bP>|xterm(390)\x1b\\a\x1b_Gi=1;OK\x1b\\b\x1b^\ac\x1bXsos\030d", "a b c d"},
        {"\x1b]4;1;rgb:ff/00/00\ae\x1b]10;x\x1b[Af\x1b]2;y\x1ag", "e #72 f g"},
        // 8-bit introducers (in octal), raw and as UTF-8 C1 characters: CSI sequences and
        // strings go whole
        {"\233[A\23312~1\233<0;5;5M2\302\23311;2R3\23511;rgb:0/0/0\a4", "1 2 3 4"},
        {"\302\2350;t\x1b\\5\220q\2346\302\220q\a7\217P8\302\2059\234", "5 6 7 8 9"},
        // a stray string terminator; an Esc before a mouse report stays an Esc
        {"\x1b\\a\x1b\x1b[<0;30;11M\x1b[<0;30;11m", "a <27> M4/1@30,11 M8/1@30,11"},
    };
    for (const auto& [bytes, items] : cases) {
        EXPECT_EQ(DecodeAtOnce(bytes), items) << Describe(InputItem{bytes, 0, 0});
    }
    // A string far longer than any buffer, in pieces: nothing kept, nothing typed; one whose
    // end never comes ends once the input stood still, and keys count again.
    std::vector<std::pair<uint32_t, std::string>> reads{{0, "\x1bP"}};
    for (uint32_t i = 1; i <= 100; ++i) reads.emplace_back(i, std::string(1000, '1'));
    InputDecoder e, f;
    EXPECT_EQ(Decode(e, reads) + Decode(e, {{101, "\x1b\\2"}}), "2");
    EXPECT_EQ(Decode(f, reads) + Decode(f, {{101, ""}, {2000, ""}, {2001, "3"}}), "3");
}

TEST(InputDecoder, MouseRecordsAsWindowsGivesThem) {
    struct Case {
        std::vector<std::pair<uint32_t, std::string>> reads;
        std::string items;
    };
    const Case cases[] = {
        // a click, then a second press on the same cell within 500 ms: a double-click
        // instead of the press; a third press is a press again
        {{{0, "\x1b[<0;30;11M"},
          {60, "\x1b[<0;30;11m"},
          {400, "\x1b[<0;30;11M"},
          {450, "\x1b[<0;30;11m\x1b[<0;30;11M"}},
         "M4/1@30,11 M8/1@30,11 M2/1@30,11 M8/1@30,11 M4/1@30,11"},
        // no double-click: too late, another cell, another button
        {{{0, "\x1b[<0;5;5M\x1b[<0;5;5m"}, {500, "\x1b[<0;5;5M"}}, "M4/1@5,5 M8/1@5,5 M4/1@5,5"},
        {{{0, "\x1b[<0;5;5M\x1b[<0;5;5m\x1b[<0;6;5M\x1b[<2;6;5M"}},
         "M4/1@5,5 M8/1@5,5 M4/1@6,5 M4/2@6,5"},
        // right and middle buttons; modifier bits do not matter; a right double-click
        {{{0, "\x1b[<1;3;4M\x1b[<17;3;4m\x1b[<2;3;4M\x1b[<2;3;4m\x1b[<18;3;4M"}},
         "M4/4@3,4 M8/4@3,4 M4/2@3,4 M8/2@3,4 M2/2@3,4"},
        // moves carry the buttons held; moves in a row merge into the last
        {{{0, "\x1b[<0;1;1M\x1b[<32;2;1M\x1b[<32;3;1M\x1b[<34;3;2M\x1b[<0;3;2m\x1b[<35;9;9M"}},
         "M4/1@1,1 M1/3@3,2 M8/1@3,2 M1/0@9,9"},
        // malformed reports: no item, no stray key
        {{{0, "\x1b[<0;0;5M\x1b[<0;5M\x1b[<0;1;2;3M\x1b[<;1;1M\x1b[<0;99999999999;1M"}}, ""},
    };
    for (const Case& c : cases) {
        InputDecoder decoder;
        EXPECT_EQ(Decode(decoder, c.reads), c.items)
            << Describe(InputItem{c.reads[0].second, 0, 0});
    }
}

using fake::NoEngine;

// The sleep of every poll waits on the terminal (a pipe here): keys typed meanwhile wait for the
// player's reads, in order, a lone Esc among them; the sleep lasts its time, an ended input
// neither cuts it short nor keeps it busy. Date in UTC; the environment in Windows-1252, "\" kept.
TEST(PosixPlatform, SleepKeysDateAndEnvironment) {
    int keys[2];
    ASSERT_EQ(pipe(keys), 0);
    const int screen = open("/dev/null", O_WRONLY);
    NoEngine engine;
    Terminal terminal(keys[0], screen);
    std::string read;
    {
        PosixPlatform platform(engine, terminal);
        auto slept = [&](uint32_t ms) {
            const auto start = std::chrono::steady_clock::now();
            platform.Sleep(ms);
            return std::chrono::steady_clock::now() - start;
        };
        std::thread typist([&] {
            std::this_thread::sleep_for(milliseconds(10));
            EXPECT_EQ(write(keys[1], "ab", 2), 2);
            std::this_thread::sleep_for(milliseconds(10));
            EXPECT_EQ(write(keys[1], "\x1b", 1), 1);
        });
        EXPECT_GE(slept(150), milliseconds(150));
        typist.join();
        for (int i = 0; i < 4; ++i) read += Describe(platform.ReadInputItem()) + ";";
        // A quiet sleep answers for the terminal once (if read at once); the next read looks.
        EXPECT_GE(slept(20), milliseconds(20));
        EXPECT_EQ(write(keys[1], "c", 1), 1);
        read += Describe(platform.ReadInputItem()) + Describe(platform.ReadInputItem()) + ";";
        close(keys[1]);
        const std::clock_t cpu = std::clock();
        EXPECT_GE(slept(200), milliseconds(200));
        // A busy loop takes its share of a processor even on a loaded machine.
        EXPECT_LT(std::clock() - cpu, CLOCKS_PER_SEC / 50);
        setenv("TZ", "UTC0", 1);
        tzset();
        const LocalTime now = platform.Now();
        using namespace std::chrono;
        EXPECT_EQ(sys_days(year{now.year} / now.month / now.day), floor<days>(system_clock::now()));
        setenv("VARLO_ORDNER", "Z:\\M\xC3\xBCsik", 1);
        const std::vector<std::string> entries = platform.EnvironmentEntries();
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "VARLO_ORDNER=Z:\\M\xFCsik"), 1);
        unsetenv("VARLO_ORDNER");
    }
    EXPECT_EQ(read, "a;b;<27>;;c;");
    close(keys[0]);
    close(screen);
}

// The console's colours as far as the terminal takes them; the command line as Windows gives it.
TEST(PosixPlatform, ColoursByTheTerminalAndTheCommandLine) {
    for (const auto& [colorterm, term, sgr] :
         {std::tuple("truecolor", "xterm", "38;2;59;120;"),
          std::tuple("", "xterm-256color", "38;5;69;"), std::tuple("", "xterm", "94;47")}) {
        fake::ScopedEnvironment environment;
        environment.Set("COLORTERM", colorterm), environment.Set("TERM", term);
        int screen[2];
        ASSERT_EQ(pipe(screen), 0);
        NoEngine engine;
        Terminal terminal(screen[0], screen[1]);
        PosixPlatform platform(engine, terminal);
        platform.SetTextAttribute(0x79), platform.WriteText("x"), platform.Sleep(0);
        EXPECT_NE(fake::ReadPty(screen[0], 0).find(sgr), std::string::npos) << term;
        close(screen[0]), close(screen[1]);
    }
    const char* line[] = {"varlo", "mp3", "M\xC3\xBCsik"};
    EXPECT_EQ(CommandTail(1, line) + "|" + CommandTail(2, line) + "|" + CommandTail(3, line),
              "|mp3|mp3 M\xFCsik");
}

// The desktop is told a title's file as a URI, found where the title was opened and kept
// while it plays on; none without a file. Its calls are answered while the player sleeps.
TEST(PosixPlatform, PublishesTheFileOfATitleWhereItWasOpened) {
    fake::PrivateBus bus;
    char folder[] = "/tmp/varlo-publish-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    mkdir((std::string(folder) + "/\xC3\x84ra").c_str(), 0755);
    const int none = open("/dev/null", O_RDWR);
    NoEngine engine;
    Terminal terminal(none, none);
    DesktopBus desktop;
    PosixPlatform platform(engine, terminal, nullptr, &desktop);
    auto url = [&](uint32_t title, const std::string& file) {
        platform.Publish({NowPlaying::State::Playing, title, "T", "I", file, 9000});
        const std::string metadata =
            fake::CallMpris([&] { platform.Sleep(20); }, "org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", "org.mpris.MediaPlayer2.Player", "Metadata"));
        const size_t at = metadata.find("'xesam:url': <'");
        return at == std::string::npos
                   ? "-"
                   : metadata.substr(at + 15, metadata.find('\'', at + 15) - at - 15);
    };
    fake::CallMpris([&] { desktop.Serve(); }, "org.freedesktop.DBus.Peer", "Ping");  // connected
    const std::string there = "file://" + std::string(folder);
    std::string windows = "Z:" + std::string(folder) + "/\xC4ra";
    std::replace(windows.begin(), windows.end(), '/', '\\');
    EXPECT_EQ(platform.ChangeFolder(windows), 0u);
    EXPECT_EQ(url(1, "a b.mp3"), there + "/%C3%84ra/a%20b.mp3");
    EXPECT_EQ(platform.ChangeFolder(".."), 0u);
    EXPECT_EQ(url(1, "a b.mp3"), there + "/%C3%84ra/a%20b.mp3");
    EXPECT_EQ(url(2, "\xC4ra\\c.ogg"), there + "/%C3%84ra/c.ogg");
    EXPECT_EQ(url(3, ""), "-");
    close(none);
    std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
}  // namespace varlo
