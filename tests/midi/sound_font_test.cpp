#include "platform/mcidev/midi/sound_font.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_folder.h"

using namespace mcidev::midi;

// The named default wins; else the first font by name in the first folder that has one.
TEST(SoundFontFind, ChoosesByPreferenceThenByFolderAndName) {
    const mcitest::TempFolder root;
    for (const char* dir : {"a/one", "a/two", "b/one", "b/two/c.sf2", "c/one"})
        std::filesystem::create_directories(root / dir);
    for (const char* file :
         {"a/one/a.sf2", "a/two/default-GM.sf2", "b/one/readme.txt", "b/two/b.sf2", "b/two/A.SF2", "c/one/font.sf3"})
        std::ofstream(root / file) << "x";
    const auto p = [&](const char* rel) { return (root / rel).string(); };
    EXPECT_EQ(SoundFontCache::find({p("a/one/default-GM.sf2"), p("a/two/default-GM.sf2")}, {p("a/one")}),
              p("a/two/default-GM.sf2"));
    EXPECT_EQ(SoundFontCache::find({p("none.sf2")}, {p("b/missing"), p("b/one"), p("b/two")}), p("b/two/A.SF2"))
        << "a folder named .sf2 is no font";
    EXPECT_EQ(SoundFontCache::find({p("x.sf2")}, {p("c/one"), p("c/missing")}), "");
}
