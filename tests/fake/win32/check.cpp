#include "fake/win32/check.h"

#include <cstdio>
#include <exception>
#include <vector>

namespace varlo::check {

namespace {

struct Test {
    const char* name;
    TestFunction run;
};

std::vector<Test>& Tests() {
    static std::vector<Test> tests;
    return tests;
}

int failures = 0;  // failed checks of the running test

}  // namespace

bool Register(const char* name, TestFunction test) {
    Tests().push_back(Test{name, test});
    return true;
}

void Fail(const char* file, int line, const std::string& what) {
    ++failures;
    std::printf("  %s:%d: %s\n", file, line, what.c_str());
}

}  // namespace varlo::check

int main() {
    using namespace varlo::check;
    int passed = 0;
    int failed = 0;
    for (const Test& test : Tests()) {
        failures = 0;
        try {
            test.run();
        } catch (const std::exception& error) {
            Fail(__FILE__, __LINE__, std::string("exception: ") + error.what());
        } catch (...) {
            Fail(__FILE__, __LINE__, "unknown exception");
        }
        std::printf("%s %s\n", failures == 0 ? "PASS" : "FAIL", test.name);
        (failures == 0 ? passed : failed)++;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
