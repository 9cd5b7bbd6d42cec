// A seeded user for long runs of the fake platform.
#pragma once

#include <string>

#include "console/input.h"
#include "fake/fake_platform.h"
#include "playlist/random.h"

namespace varlo::fake {

// Everything a user can press or click, at random times until `until`, except the answers
// that end the program at the quit prompt (J, Y and the right button).
inline void Monkey(Random& rng, FakePlatform& p, uint64_t until) {
    static const std::string kPlain = "pP++--0123ztirRc?mMxqn \r\b97N";
    static const std::string kExtended[] = {kKeyEsc,    kKeyUp,       kKeyDown,
                                            kKeyPageUp, kKeyPageDown, std::string("\0;", 2)};
    for (uint64_t t = 5000; t < until; t += 1000 + rng.Draw(60) * 1000ULL) {
        const int choice = rng.Draw(100);
        if (choice <= 60) {
            const int k = rng.Draw(static_cast<int>(kPlain.size()) + 6) - 1;
            p.KeyAt(t, k < static_cast<int>(kPlain.size()) ? kPlain.substr(k, 1)
                                                           : kExtended[k - kPlain.size()]);
        } else if (choice <= 70) {
            // D shortens the countdown; at the sort prompt it asks for an extension, which the
            // Enter right after clears again.
            p.KeyAt(t, "d");
            p.KeyAt(t + 300, "\r");
        } else if (choice <= 75) {
            // The folder chooser: mostly left at once, sometimes a step up or into the first
            // sub-folder, taken with Enter or Esc.
            p.KeyAt(t, "o");
            const int step = rng.Draw(6);
            if (step <= 2) p.KeyAt(t + 500, step == 1 ? "0" : "1");
            p.KeyAt(t + 1000, rng.Draw(3) == 1 ? "\r" : kKeyEsc);
        } else if (choice <= 90) {
            p.ClickAt(t, rng.Draw(22), rng.Draw(69), rng.Draw(2) == 1 ? 1 : 4);
        } else {
            p.DoubleClickAt(t, rng.Draw(22), rng.Draw(69), 1);
        }
    }
}

}  // namespace varlo::fake
