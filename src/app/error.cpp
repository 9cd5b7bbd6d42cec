#include "app/error.h"

#include "platform/platform.h"

namespace varlo {

namespace {

struct ErrorTextRow {
    int number;
    const char* text;
};

// Error numbers and their texts, as the ErrorReport shows them.
constexpr ErrorTextRow kErrorTexts[] = {
    {0, "No Error"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript/Pointer out of range"},
    {11, "Division by zero"},
    {24, "Device timeout"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File is open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Comm error"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk media error"},
    {74, "Rename across disks"},
    {75, "Path/file access error"},
    {76, "Path not found"},
    {99, "Object error"},
    {241, "Global memory corrupt"},
    {242, "String space corrupt"},
};

struct SystemCodeRow {
    uint32_t systemCode;
    int number;
};

// System error codes and the error number each one is reported as.
constexpr SystemCodeRow kSystemCodes[] = {
    {kSysFileNotFound, 53},  // a folder change turns this into 76, see below
    {kSysPathNotFound, 76},   {kSysAccessDenied, 70},
    {kSysNotEnoughMemory, 7}, {kSysInvalidDrive, 68},  // no such drive: "Device unavailable"
    {kSysWriteProtect, 70},  // write-protected medium: "Permission denied"
    {kSysNotReady, 71},       {kSysSharingViolation, 75},
    {kSysHandleDiskFull, 61}, {kSysInvalidParameter, 5},  // "Illegal function call"
    {kSysDiskFull, 61},       {kSysInvalidName, 64},      // "Bad file name"
    {kSysBadPathName, 76},    {kSysDirectory, 76},        // a file where a folder was expected
};

// Anything unmapped: "Device I/O error", the closest general text of the table.
constexpr int kUnmappedSystemError = 57;

}  // namespace

RuntimeError::RuntimeError(int number)
    : std::runtime_error(std::string("run-time error ") + std::to_string(number)),
      number_(number) {}

const char* ErrorText(int number) {
    for (const auto& row : kErrorTexts) {
        if (row.number == number) return row.text;
    }
    return "";
}

int ErrorNumberForSystemCode(uint32_t systemCode, SystemOperation operation) {
    if (operation == SystemOperation::ChangeFolder && systemCode == kSysFileNotFound) {
        return kErrPathNotFound;
    }
    for (const auto& row : kSystemCodes) {
        if (row.systemCode == systemCode) return row.number;
    }
    return kUnmappedSystemError;
}

void ThrowIfSystemError(uint32_t systemCode, SystemOperation operation) {
    if (systemCode != 0) throw RuntimeError(ErrorNumberForSystemCode(systemCode, operation));
}

}  // namespace varlo
