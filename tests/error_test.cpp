#include "app/error.h"

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "console/output.h"
#include "fake/fake_platform.h"

namespace varlo {
namespace {

TEST(ErrorNumbers, SystemCodesMapInOnePlace) {
    EXPECT_EQ(ErrorNumberForSystemCode(kSysFileNotFound, SystemOperation::File), 53);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysFileNotFound, SystemOperation::ChangeFolder), 76);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysPathNotFound, SystemOperation::File), 76);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysAccessDenied, SystemOperation::File), 70);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysSharingViolation, SystemOperation::File), 75);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysNotReady, SystemOperation::File), 71);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysDiskFull, SystemOperation::File), 61);
    EXPECT_EQ(ErrorNumberForSystemCode(kSysHandleDiskFull, SystemOperation::File), 61);
    // Unknown codes still land on a number that has a text.
    const int unmapped = ErrorNumberForSystemCode(99999, SystemOperation::File);
    EXPECT_STRNE(ErrorText(unmapped), "");
    EXPECT_NO_THROW(ThrowIfSystemError(0, SystemOperation::File));
    try {
        ThrowIfSystemError(kSysFileNotFound, SystemOperation::ChangeFolder);
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 76);
    }
}

TEST(ErrorNumbers, TextsOfTheTable) {
    EXPECT_STREQ(ErrorText(0), "No Error");
    EXPECT_STREQ(ErrorText(9), "Subscript/Pointer out of range");
    EXPECT_STREQ(ErrorText(76), "Path not found");
    EXPECT_STREQ(ErrorText(242), "String space corrupt");
    EXPECT_STREQ(ErrorText(1), "");
    EXPECT_STREQ(ErrorText(255), "");
}

TEST(BoundedArray, IndexOutsideIsErrorNine) {
    BoundedArray<std::string, 1, 3> array;
    array(3) = "x";
    EXPECT_EQ(array(3), "x");
    for (int index : {0, 4, -1}) {
        try {
            array(index);
            FAIL() << index;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), kErrSubscript);
        }
    }
}

TEST(ErrorReport, AppendsAtTheCursorAndWaitsForAKey) {
    fake::FakePlatform p;
    Context ctx(p);
    Locate(ctx, 5, 10);
    Print(ctx, "abc");
    p.KeyAt(3000, "x");
    ErrorReport(ctx, 53);
    EXPECT_EQ(p.Row(5).substr(9, 40), "abc>>Fehler: 53 , 0 ,File not found<<   ");
    EXPECT_GE(p.now, 3000u);
    EXPECT_EQ(p.PendingInput(), 0u);
    EXPECT_TRUE(p.mciLog.empty());
}

TEST(ErrorReport, NumberWithoutTextShowsNothingBetweenCommaAndClose) {
    fake::FakePlatform p;
    Context ctx(p);
    p.ClickAt(0, 1, 1);
    ErrorReport(ctx, 200);
    EXPECT_EQ(p.Text(1, 1, 22), ">>Fehler: 200 , 0 ,<< ");
}

}  // namespace
}  // namespace varlo
