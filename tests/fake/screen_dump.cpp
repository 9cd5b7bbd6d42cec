// The screen dump of the fake, through the code page table every platform side shows the
// console with. In a file of its own: only programs that read the dump link the table.
#include <cstdio>

#include "fake/fake_platform.h"
#include "platform/code_pages.h"

namespace varlo::fake {

std::string FakePlatform::Dump(int firstRow, int lastRow) const {
    std::string text, pending;
    for (int r = firstRow; r <= lastRow; ++r) {
        std::string row = Row(r);
        row.erase(row.find_last_not_of(' ') + 1);
        pending += "\n";
        if (row.empty()) continue;
        for (char c : row) AppendUtf8(pending, Cp437ToUnicode(static_cast<unsigned char>(c)));
        text += pending;
        pending.clear();
    }
    return text;
}

std::string FakePlatform::Colours() const {
    constexpr uint16_t normal = 0 + 16 * 7;
    std::string runs;
    for (int r = 1; r <= static_cast<int>(grid_.size()); ++r) {
        for (int c = 1; c <= static_cast<int>(grid_[r - 1].size());) {
            const uint16_t a = AttributeAt(r, c);
            int last = c;
            while (last < static_cast<int>(grid_[r - 1].size()) && AttributeAt(r, last + 1) == a) {
                ++last;
            }
            if (a != normal) {
                char run[40];
                std::snprintf(run, sizeof run, "%s%d,%d-%d:%d", runs.empty() ? "" : " ", r, c, last,
                              a);
                runs += run;
            }
            c = last + 1;
        }
    }
    return runs;
}

}  // namespace varlo::fake
