#include "platform/mcidev/midi/sound_font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace mcidev::midi;
namespace fs = std::filesystem;

class SoundFontFind : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tolvane_sf_" + std::string(
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "one");
        fs::create_directories(root_ / "two");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string touch(const fs::path& rel) {
        std::ofstream(root_ / rel) << "x";
        return (root_ / rel).string();
    }
    std::string p(const fs::path& rel) const { return (root_ / rel).string(); }

    fs::path root_;
};

TEST_F(SoundFontFind, PrefersTheNamedDefault) {
    touch("one/a.sf2");
    const std::string chosen = touch("two/default-GM.sf2");
    EXPECT_EQ(SoundFontCache::find({p("one/default-GM.sf2"), chosen}, {p("one")}), chosen);
}

TEST_F(SoundFontFind, ElseTheFirstFontByNameInTheFirstDirectoryThatHasOne) {
    touch("one/readme.txt");
    touch("two/b.sf2");
    const std::string first = touch("two/A.SF2");
    fs::create_directories(root_ / "two/c.sf2");  // a directory is no font
    EXPECT_EQ(SoundFontCache::find({p("none.sf2")}, {p("missing"), p("one"), p("two")}), first);
}

TEST_F(SoundFontFind, NothingFoundIsEmpty) {
    touch("one/font.sf3");
    EXPECT_EQ(SoundFontCache::find({p("x.sf2")}, {p("one"), p("missing")}), "");
}

TEST(SoundFontCacheLoad, LoadsOnceInTheBackgroundAndEveryWaiterSeesTheOutcome) {
    SoundFontCache cache;
    cache.preload();
    cache.preload();
    MidiError seen[4];
    std::vector<std::thread> waiters;
    for (MidiError& e : seen) {
        waiters.emplace_back([&cache, &e] { e = cache.wait(); });
    }
    for (auto& t : waiters) {
        t.join();
    }
    if (seen[0] == MidiError::NoSoundFont) {
        GTEST_SKIP() << "no General MIDI sound font installed";
    }
    for (MidiError e : seen) {
        EXPECT_EQ(e, MidiError::None);
    }
    EXPECT_EQ(cache.path(), SoundFontCache::findDefault());
    EXPECT_GT(cache.loadMs(), 0.0);
}

TEST(SoundFontCacheLoad, DestroyingDuringALoadWaitsForIt) {
    for (int i = 0; i < 3; ++i) {
        SoundFontCache cache;
        cache.preload();
    }  // no crash, no leak (checked under the sanitizers)
}
