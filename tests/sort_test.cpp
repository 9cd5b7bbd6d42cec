#include "playlist/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

class Sort : public ::testing::Test {
  protected:
    fake::FakePlatform p;
    Context ctx{p};

    void SetUp() override { BuildSortKeyFold(ctx); }

    // Stores names as the scan would (byte order) and sorts them in mode.
    std::vector<std::string> Sorted(std::vector<std::string> names, int mode) {
        for (size_t i = 0; i < names.size(); ++i) {
            ctx.playlist.TrackFile(static_cast<int>(i) + 1) = names[i];
        }
        ctx.playlist.TrackCount = static_cast<int>(names.size());
        ctx.playlist.SortMode = mode;
        SortByteOrder(ctx);
        SortPlaylist(ctx);
        std::vector<std::string> files;
        for (int i = 1; i <= ctx.playlist.TrackCount; ++i) {
            files.push_back(ctx.playlist.TrackFile(i));
        }
        return files;
    }

    int Compare(const std::string& a, const std::string& b) {
        return FoldCompare(ctx.playlist.SortKeyFold, a, b);
    }
};

TEST_F(Sort, FoldTableAndFoldCompare) {
    const auto& fold = ctx.playlist.SortKeyFold;
    int changed = 0;
    for (int k = 0; k < 256; ++k) changed += fold[static_cast<size_t>(k)] != k;
    EXPECT_EQ(changed, 26 + 2 + 2 + 2 + 6 + 9 + 8 + 5 + 1 + 2);
    // byte, counts as: ends of the groups, the en dash (OEM û) and trade mark sign (OEM Ö)
    const std::pair<int, char> folded[] = {{'a', 'A'},  {'z', 'Z'},  {0xC4, 'A'}, {0xF6, 'O'},
                                           {0xFC, 'U'}, {0x81, 'U'}, {0x86, 'A'}, {0x88, 'E'},
                                           {0x90, 'E'}, {0x93, 'O'}, {0x96, 'U'}, {0x99, 'O'},
                                           {0xA5, 'N'}, {0xA8, '?'}, {'.', '&'},  {'<', '\''}};
    for (const auto& [byte, to] : folded) EXPECT_EQ(fold[static_cast<size_t>(byte)], to) << byte;
    for (int same : {128, 135, 145, 146, 160, 223, 233, 65, 48, 0, 255}) {
        EXPECT_EQ(fold[static_cast<size_t>(same)], same) << same;
    }
    EXPECT_EQ(Compare("\xFC"
                      "ber - x.mp3",
                      "\xDC"
                      "ber - x.mp3"),
              0);
    EXPECT_EQ(Compare("\xFC"
                      "ber - x.mp3",
                      "uber - x.mp3"),
              0);
    EXPECT_LT(Compare("Abc", "abcd"), 0);  // the beginning of another is less
    EXPECT_GT(Compare("b", "A"), 0);
    EXPECT_GT(Compare("a\x96", "a\xC4"), 0);
}

TEST_F(Sort, TitleOrderFoldsAndTreatsTheDotAsAmpersand) {
    EXPECT_EQ(Sorted({"Abc-Remix.mp3", "abc.mp3", "Abc(Live).mp3", "Abc 2.mp3", "Abc (Live).mp3",
                      "\xDC"
                      "ber.mp3",
                      "Zebra.mp3", "Tango.mp3"},
                     2),
              (std::vector<std::string>{"Abc (Live).mp3", "Abc 2.mp3", "abc.mp3", "Abc(Live).mp3",
                                        "Abc-Remix.mp3", "Tango.mp3",
                                        "\xDC"
                                        "ber.mp3",
                                        "Zebra.mp3"}));
}

TEST_F(Sort, SplitFileName) {
    struct Case {
        const char* name;
        const char* title;
        const char* interpreter;
        bool has;
    };
    const Case cases[] = {
        {"Regen - Nordwind - Remix.mp3", "Regen", "Nordwind - Remix", true},
        {" - Nordwind.mp3", " - Nordwind", "", false},
        {" - a - b.mp3", " - a - b", "", false},  // the first " - " decides
        {"Regen.Live.mp3", "Regen.Live", "", false},
        {".mp3", "", "", false},
        {"ohne Punkt", "ohne Punkt", "", false},
        {"Abc - .mp3", "Abc", "", true},
        {"a - b", "a", "b", true},
        {"x -y.mp3", "x -y", "", false},
    };
    for (const auto& c : cases) {
        const SplitName s = SplitFileName(c.name);
        EXPECT_EQ(s.title, c.title) << c.name;
        EXPECT_EQ(s.interpreter, c.interpreter) << c.name;
        EXPECT_EQ(s.hasInterpreter, c.has) << c.name;
    }
    EXPECT_EQ(BaseName(".mp3"), "");
    EXPECT_EQ(BaseName("a.b.c"), "a.b");
}

TEST_F(Sort, TitlesAndInterpretersForTheScreen) {
    Sorted({std::string(70, 'T') + " - Band.mp3", std::string(66, 'N') + ".mp3", "Solo.mp3",
            "Abc - .mp3", "x - " + std::string(58, 'I') + ".ogg"},
           2);
    std::vector<std::pair<std::string, std::string>> shown;
    for (int i = 1; i <= 5; ++i) {
        shown.emplace_back(ctx.playlist.TrackTitle(i), ctx.playlist.TrackInterpreter(i));
    }
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>{
                         {"Abc", ""},                      // an empty interpreter stays empty
                         {std::string(66, 'N'), "(   )"},  // without interpreter: whole, no cut
                         {"Solo", "(   )"},
                         {std::string(56, 'T'), "Band"},
                         {"x", std::string(56, 'I')},
                     }));
}

TEST_F(Sort, InterpreterOrder) {
    const auto files = Sorted({"Zed - Alpha.mp3", "Abc - Beta.mp3", "Solo.mp3", "Abc - .mp3",
                               " - Nordwind.mp3", "Hit - alpha.mp3"},
                              3);
    ASSERT_EQ(files.size(), 6u);
    EXPECT_EQ(files[0], "Abc - .mp3");  // the empty key first, then " (ohne)"
    EXPECT_EQ((std::vector<std::string>{files[1], files[2]}),
              (std::vector<std::string>{" - Nordwind.mp3", "Solo.mp3"}));
    EXPECT_EQ((std::vector<std::string>{files[3], files[4]}),
              (std::vector<std::string>{"Hit - alpha.mp3", "Zed - Alpha.mp3"}));
    EXPECT_EQ(files[5], "Abc - Beta.mp3");
    // Titles and interpreters belong to the file of their index.
    for (int i = 1; i <= 6; ++i) {
        const SplitName s = SplitFileName(ctx.playlist.TrackFile(i));
        EXPECT_EQ(ctx.playlist.TrackTitle(i), s.title);
        EXPECT_EQ(ctx.playlist.TrackInterpreter(i), s.hasInterpreter ? s.interpreter : "(   )");
    }
}

TEST_F(Sort, InterpreterKeyIsCutAtSixty) {
    // Keys equal in their first 60 characters keep the title order.
    const std::string same60(60, 'x');
    EXPECT_EQ(Sorted({"B - " + same60 + "a.mp3", "A - " + same60 + "b.mp3"}, 3),
              (std::vector<std::string>{"A - " + same60 + "b.mp3", "B - " + same60 + "a.mp3"}));
    // Within 58 characters the last one counts.
    const std::string same57(57, 'x');
    EXPECT_EQ(Sorted({"A - " + same57 + "b.mp3", "B - " + same57 + "a.mp3"}, 3),
              (std::vector<std::string>{"B - " + same57 + "a.mp3", "A - " + same57 + "b.mp3"}));
}

TEST_F(Sort, ShuffleIsExactlyTwoDrawPairsPerTitle) {
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("Titel " + std::to_string(1000 + i) + ".mp3");
    for (uint32_t seed : {0u, 1u, 3960u}) {
        ctx.playlist.Rng.Seed(seed);
        const auto shuffled = Sorted(names, 1);
        // The same draws applied by hand to the title order.
        std::vector<std::string> expected = names;
        Random reference;
        reference.Seed(seed);
        for (int k = 0; k < 200; ++k) {
            const int r1 = reference.Draw(100);
            const int r2 = reference.Draw(100);
            std::swap(expected[static_cast<size_t>(r1 - 1)], expected[static_cast<size_t>(r2 - 1)]);
        }
        EXPECT_EQ(shuffled, expected) << seed;
        EXPECT_EQ(ctx.playlist.Rng.Next(), reference.Next()) << "draws used: seed " << seed;
        EXPECT_NE(shuffled, names);
        ctx.playlist.Rng.Seed(seed);
        EXPECT_EQ(Sorted(names, 1), shuffled) << "same seed, same order";
    }
    ctx.playlist.Rng.Seed(7);
    EXPECT_EQ(Sorted({"Allein - Solo.mp3"}, 1), std::vector<std::string>{"Allein - Solo.mp3"});
    EXPECT_EQ(ctx.playlist.TrackTitle(1), "Allein");
    EXPECT_EQ(ctx.playlist.TrackInterpreter(1), "Solo");
}

TEST_F(Sort, EntriesAboveTheCountStayAndByteOrderIsUnsigned) {
    ctx.playlist.TrackFile(4) = "alt.mp3";
    ctx.playlist.TrackTitle(4) = "alt";
    // b and B are equal keys: they keep their byte order.
    EXPECT_EQ(Sorted({"b.mp3",
                      "\xE4"
                      "a.mp3",
                      "B.mp3"},
                     2),
              (std::vector<std::string>{"\xE4"
                                        "a.mp3",
                                        "B.mp3", "b.mp3"}));
    EXPECT_EQ(ctx.playlist.TrackFile(4), "alt.mp3");
    EXPECT_EQ(ctx.playlist.TrackTitle(4), "alt");
    ctx.playlist.TrackCount = 3;
    SortByteOrder(ctx);
    EXPECT_EQ(ctx.playlist.TrackFile(1), "B.mp3");
    EXPECT_EQ(ctx.playlist.TrackFile(3),
              "\xE4"
              "a.mp3");  // 228 after the ASCII letters
}

}  // namespace
}  // namespace varlo
