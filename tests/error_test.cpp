#include "app/error.h"

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "console/output.h"
#include "fake/fake_platform.h"

namespace varlo {
namespace {

TEST(ErrorNumbers, SystemCodesTextsAndBounds) {
    using enum SystemOperation;
    const std::tuple<uint32_t, SystemOperation, int> kCases[] = {
        {kSysFileNotFound, File, 53},     {kSysFileNotFound, ChangeFolder, 76},
        {kSysPathNotFound, File, 76},     {kSysAccessDenied, File, 70},
        {kSysSharingViolation, File, 75}, {kSysNotReady, File, 71},
        {kSysDiskFull, File, 61},         {kSysHandleDiskFull, File, 61},
    };
    for (const auto& [code, operation, number] : kCases) {
        EXPECT_EQ(ErrorNumberForSystemCode(code, operation), number) << code;
    }
    EXPECT_STRNE(ErrorText(ErrorNumberForSystemCode(99999, File)), "");
    EXPECT_STREQ(ErrorText(9), "Subscript/Pointer out of range");
    EXPECT_STREQ(ErrorText(1), "");
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
    EXPECT_EQ(p.now, 3000u);
    p.ClickAt(3000, 1, 1);
    Locate(ctx, 1, 1);
    ErrorReport(ctx, 200);  // no text
    EXPECT_EQ(p.Text(1, 1, 22), ">>Fehler: 200 , 0 ,<< ");
    EXPECT_TRUE(p.mciLog.empty());
}

}  // namespace
}  // namespace varlo
