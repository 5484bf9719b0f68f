// The settings accessor: typed reads, and writes collected until release().
#include "tests/fakes/memory_profile_store.h"
#include "ui/exception.h"
#include "ui/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

// Decimal must fit an int; hexadecimal is a 32-bit pattern, negated by a sign.
TEST(ProfileInteger, ParsesDecimalAndHexadecimalElseGivesTheDefault) {
    const int none = -77;
    const std::vector<std::pair<const char*, int>> cases = {{"0", 0},
                                                            {"45", 45},
                                                            {"007", 7},
                                                            {"  \t12", 12},
                                                            {"+5", 5},
                                                            {"-5", -5},
                                                            {"0x1A", 26},
                                                            {"0X1a", 26},
                                                            {"X1a", 26},
                                                            {"$1A", 26},
                                                            {"-$10", -16},
                                                            {" -0x10", -16},
                                                            {"0xFFFFFFFF", -1},
                                                            {"0x7fffffff", 2147483647},
                                                            {"2147483647", 2147483647},
                                                            {"-2147483648", -2147483647 - 1},
                                                            {"2147483648", none},
                                                            {"-2147483649", none},
                                                            {"0x100000000", none},
                                                            {"", none},
                                                            {"-", none},
                                                            {"0x", none},
                                                            {"12abc", none},
                                                            {"12 ", none},
                                                            {"1.5", none},
                                                            {"--1", none},
                                                            {"$-1", none}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ui::parseProfileInteger(text, none), expected) << '"' << text << '"';
    }
}

TEST(Accessor, ReadsIntegersAndFlagsWithTheirDefaults) {
    fakes::MemoryProfileStore store;
    store.setFileText(file, "[Saved Settings]\nEmpty=\nMinus=-3\nZero=0\nQuoted=  \"0x1A\"  \nWord=yes\n");
    ui::ProfileAccessor profile(store, file);
    EXPECT_EQ(profile.readInteger(section, "Missing", 12), 12);
    EXPECT_EQ(profile.readInteger(section, "Empty", 12), 12);
    EXPECT_EQ(profile.readInteger(section, "Quoted", 0), 26);
    EXPECT_EQ(profile.readInteger(section, "Word", 4), 4);
    EXPECT_TRUE(profile.readBool(section, "Missing", true));
    EXPECT_FALSE(profile.readBool(section, "Missing", false));
    EXPECT_TRUE(profile.readBool(section, "Minus", false));  // any number but 0
    EXPECT_FALSE(profile.readBool(section, "Zero", true));
    EXPECT_FALSE(profile.readBool(section, "Word", false));
}

// Writes reach the store only through release(), once; a store that cannot save makes
// release() raise "Unable to write to" with the file as the program named it.
TEST(Accessor, ReleaseCommitsTheWritesOnceAndRaisesWhenTheStoreFails) {
    fakes::MemoryProfileStore store;
    store.setFileText(file, "; kept\n[Saved Settings]\nSave Settings=1\nAlarmHour = 7\n");
    ui::ProfileAccessor(store, file).writeBool(section, "Save Settings", false);  // never released
    ui::ProfileAccessor profile(store, file);
    profile.release();
    EXPECT_EQ(store.commits() + store.failedCommits(), 0);
    profile.writeBool(section, "Save Settings", false);
    profile.writeInteger(section, "AlarmHour", -12);
    profile.release();
    profile.release();
    EXPECT_EQ(store.commits(), 1);
    EXPECT_EQ(store.fileText(file), "; kept\n[Saved Settings]\nSave Settings=0\nAlarmHour=-12\n");

    store.setReadOnly(true);
    ui::ProfileAccessor other(store, "sub/Other.INI");
    other.eraseSection(section);
    try {
        other.release();
        ADD_FAILURE() << "no error";
    } catch (const ui::Error& error) {
        EXPECT_STREQ(error.what(), "Unable to write to sub/Other.INI");
    }
    EXPECT_NO_THROW(other.release());  // the failed writes are gone with it
}

}  // namespace
