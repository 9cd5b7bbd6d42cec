// The program's frame: start-up, the input layer, and the error report with its error table.
#include "app/program.h"

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "console/input.h"
#include "console/output.h"
#include "fake/fake_platform.h"

namespace varlo {
namespace {

TEST(ArgumentText, WholeRestAfterProgramNameAndBlanks) {
    std::string rests;
    for (const char* line : {"varlo.exe", "varlo   mp3 ogg ", "\"C:\\Program Files\\v.exe\"  .MP3",
                             "\"unclosed", ""}) {
        rests += ArgumentText(line) + "|";
    }
    EXPECT_EQ(rests, "|mp3 ogg |.MP3|||");
}

// Without a sound device only the message, 2 s, the end; a console that refuses its size ends in
// the error report at once. Otherwise a 69 x 22 console at 80, 40 in black on light grey.
TEST(StartUp, NoSoundDeviceRefusedConsoleAndTheConsoleSet) {
    fake::FakePlatform none, refused, ok;
    none.waveOutDevices = 0;
    refused.consoleSizeError = kSysInvalidParameter;
    refused.KeyAt(500, "x");
    EXPECT_EQ(RunProgram(none, "") + RunProgram(refused, ""), 0);
    EXPECT_EQ(none.Dump() + "|" + std::to_string(none.cursorRow) + "|" + std::to_string(none.now) +
                  "|" +
                  std::to_string(none.mciLog.size() + none.started.size() + none.fileWrites.size()),
              "\nNo sound device found!|2|2000|0");
    EXPECT_EQ(refused.Dump() + "|" + std::to_string(refused.now),
              "\n>>Fehler: 5 , 0 ,Illegal function call<<|500");
    ok.stopAt = 100;
    ok.SetTextAttribute(7);  // what the shell left, in its own colours
    ok.SetCursor(3, 1);
    ok.WriteText("C:\\Musik>varlo mp3");
    Context ctx(ok);
    EXPECT_THROW(StartUp(ctx, " mp3 "), fake::FakeStop);
    EXPECT_EQ(ok.Dump() + "|" + ok.Colours(), "\nkein Ruhemodus > down beendet alles|");
    EXPECT_EQ(std::vector<int>({ok.consoleColumns, ok.consoleRows, ok.windowX, ok.windowY,
                                ok.attribute, ctx.playlist.SortMode}),
              std::vector<int>({69, 22, 80, 40, 0 + 16 * 7, 1}));
    EXPECT_EQ(ctx.screen.ColorTable, (std::array<int, 6>{2, 0, 7, 9, 5, 8}));
    EXPECT_EQ(ctx.playlist.ExtFilter, ".mp3");
}

// What WaitInput leaves: the key, the mouse fields (the row 0-based) and the ms it took.
std::string Wait(Context& ctx, int pollOnce) {
    const uint64_t before = ctx.platform.TickCount();
    ctx.input.InputPollOnce = pollOnce;
    WaitInput(ctx);
    const InputState& in = ctx.input;
    return in.InputKey + "|" + std::to_string(in.MouseButtons) + std::to_string(in.MouseEvent) +
           " " + std::to_string(in.MouseRow) + "," + std::to_string(in.MouseCol) + " " +
           std::to_string(ctx.platform.TickCount() - before);
}

// A left double-click is Enter and a right one Esc, a middle one only a click; a waiting
// WaitInput lets moves and presses pass and ends at the release; polling once takes 20 ms.
TEST(Input, ClicksDoubleClicksAndKeys) {
    fake::FakePlatform p;
    Context ctx(p);
    p.MouseAt(0, 11, 30, 2, 1);
    p.MouseAt(0, 3, 3, 2, 2);
    p.MouseAt(0, 3, 3, 2, 4);
    p.MouseAt(100, 5, 10, 1, 0);
    p.MouseAt(200, 5, 10, 4, 1);
    p.MouseAt(300, 5, 12, 8, 1);
    p.KeyAt(400, kKeyPageUp);
    p.KeyAt(500, "I");
    const std::pair<int, std::string> kWaits[] = {
        {0, "\r|12 10,30 20"}, {0, "\x1b|22 2,3 20"}, {0, "|42 2,3 20"},
        {0, "|11 4,12 240"},   {1, "|00 0,0 20"},     {0, std::string("\0I|00 0,0 80", 12)},
        {0, "I|00 0,0 100"}};
    for (const auto& [pollOnce, expected] : kWaits) EXPECT_EQ(Wait(ctx, pollOnce), expected);
    // FlushInput discards ten of eleven pending keys and empties InputKey and MouseEvent.
    p.KeysAt(p.now, "abcdefghijk");
    FlushInput(ctx);
    EXPECT_EQ(ctx.input.InputKey + std::to_string(ctx.input.MouseEvent), "0");
    EXPECT_EQ(Wait(ctx, 1), "k|00 0,0 20");
    EXPECT_TRUE(!p.cursorVisible && p.mouseEnabled);
    EXPECT_EQ(UpperKey(std::string("\0h", 2)) + UpperKey("p"), std::string("\0hP", 3));
}

TEST(ErrorNumbers, EveryTextAndWhatTheSystemCodesAreReportedAs) {
    std::string texts;
    for (int number = 0; number <= 255; ++number) {
        if (*ErrorText(number)) texts += std::to_string(number) + " " + ErrorText(number) + "; ";
    }
    EXPECT_EQ(texts,
              "0 No Error; 5 Illegal function call; 6 Overflow; 7 Out of memory; "
              "9 Subscript/Pointer out of range; 11 Division by zero; 24 Device timeout; "
              "51 Internal error; 52 Bad file name or number; 53 File not found; 54 Bad file mode; "
              "55 File is open; 57 Device I/O error; 58 File already exists; 61 Disk full; "
              "62 Input past end; 63 Bad record number; 64 Bad file name; 67 Too many files; "
              "68 Device unavailable; 69 Comm error; 70 Permission denied; 71 Disk not ready; "
              "72 Disk media error; 74 Rename across disks; 75 Path/file access error; "
              "76 Path not found; 99 Object error; 241 Global memory corrupt; "
              "242 String space corrupt; ");
    std::string numbers;
    for (uint32_t code : {2, 3, 5, 8, 15, 19, 21, 32, 39, 87, 112, 123, 161, 267, 99999}) {
        numbers += std::to_string(ErrorNumberForSystemCode(code, SystemOperation::File)) + " ";
    }
    // A folder that does not exist is "Path not found" when the folder is to be changed.
    EXPECT_EQ(numbers + std::to_string(ErrorNumberForSystemCode(2, SystemOperation::ChangeFolder)),
              "53 76 70 7 68 70 71 75 61 5 61 64 76 76 57 76");
    BoundedArray<int, 1, 3> array;
    EXPECT_THROW(array(4), RuntimeError);
    EXPECT_THROW(array(0), RuntimeError);
}

TEST(ErrorReport, AppendsAtTheCursorAndWaitsForAKey) {
    fake::FakePlatform p;
    Context ctx(p);
    Locate(ctx, 5, 10);
    Print(ctx, "abc");
    p.KeyAt(3000, "x");
    ErrorReport(ctx, 53);
    EXPECT_EQ(p.Text(5, 10, 40), "abc>>Fehler: 53 , 0 ,File not found<<   ");
    EXPECT_EQ(p.now + p.mciLog.size(), 3000u);  // waited for the key, sent no MCI command
}

}  // namespace
}  // namespace varlo
