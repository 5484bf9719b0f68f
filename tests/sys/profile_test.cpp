// The settings accessor: typed reads, and writes collected until release().
#include "tests/fakes/memory_profile_store.h"
#include "sys/exception.h"
#include "sys/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

// Decimal must fit an int; hexadecimal is a 32-bit pattern, negated by a sign.
TEST(ProfileInteger, ParsesDecimalAndHexadecimalElseGivesTheDefault) {
    const std::vector<std::pair<const char*, int>> cases = {{"007", 7},
                                                            {"0x1A", 26},
                                                            {"$1A", 26},
                                                            {" -0x10", -16},
                                                            {"0xFFFFFFFF", -1},
                                                            {"2147483647", 2147483647},
                                                            {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(sys::parseProfileInteger(text, 0), expected) << text;
    for (const char* text : {"", "0x", "12abc", "12 ", "$-1", "2147483648", "0x100000000"}) {
        EXPECT_EQ(sys::parseProfileInteger(text, -77), -77) << '"' << text << '"';
    }
}

TEST(Accessor, ReadsIntegersAndFlagsWithTheirDefaults) {
    fakes::MemoryProfileStore store;
    store.setFileText(file, "[Saved Settings]\nEmpty=\nMinus=-3\nZero=0\nWord=yes\n");
    sys::ProfileAccessor profile(store, file);
    EXPECT_EQ(profile.readInteger(section, "Missing", 12), 12);
    EXPECT_EQ(profile.readInteger(section, "Empty", 12), 12);
    EXPECT_TRUE(profile.readBool(section, "Missing", true));
    EXPECT_TRUE(profile.readBool(section, "Minus", false));  // any number but 0
    EXPECT_FALSE(profile.readBool(section, "Zero", true));
    EXPECT_FALSE(profile.readBool(section, "Word", false));
}

// Writes reach the store only through release(), once; a store that cannot save makes
// release() raise "Unable to write to" with where and why.
TEST(Accessor, ReleaseCommitsTheWritesOnceAndRaisesWhenTheStoreFails) {
    fakes::MemoryProfileStore store;
    store.setFileText(file, "[Saved Settings]\nSave Settings=1\n");
    sys::ProfileAccessor(store, file).writeBool(section, "Save Settings", false);  // never released
    sys::ProfileAccessor profile(store, file);
    profile.release();
    EXPECT_EQ(store.commits(), 0);
    profile.writeInteger(section, "AlarmHour", -12);
    profile.release();
    profile.release();
    EXPECT_EQ(store.commits(), 1);
    EXPECT_EQ(store.fileText(file), "[Saved Settings]\nSave Settings=1\nAlarmHour=-12\n");

    store.setReadOnly(true);
    profile.eraseSection(section);
    try {
        profile.release();
        ADD_FAILURE() << "no error";
    } catch (const sys::Error& error) {
        EXPECT_STREQ(error.what(), "Unable to write to /memory/tolvan.ini: Read-only file system");
    }
    EXPECT_NO_THROW(profile.release());  // the failed writes are gone with it
}

}  // namespace
