// The settings accessor over the in-memory store: typed reads, collected writes and
// what a failed save does.
#include "tests/fakes/memory_profile_store.h"
#include "ui/exception.h"
#include "ui/profile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

// The message of the error release() raises; empty when it raises none.
std::string releaseError(ui::ProfileAccessor& profile) {
    try {
        profile.release();
    } catch (const ui::Error& error) {
        return error.what();
    }
    return {};
}

class Accessor : public testing::Test {
protected:
    fakes::MemoryProfileStore store;
};

TEST_F(Accessor, FailedSaveRaisesAndKeepsTheOldFile) {
    const std::string old = "[Saved Settings]\r\nAlarmHour=7\r\nByHand=1\r\n";
    store.setFileText(file, old);
    store.failNextCommits();
    ui::ProfileAccessor profile(store, file);
    profile.eraseSection(section);
    profile.writeInteger(section, "AlarmHour", 12);
    profile.writeBool(section, "AlarmOn", true);
    EXPECT_EQ(releaseError(profile), "Unable to write to tolvan.ini");
    EXPECT_EQ(store.fileText(file), old);
    // The writes are gone with the failed save; a later release has nothing to do.
    EXPECT_NO_THROW(profile.release());
    EXPECT_EQ(store.failedCommits(), 1);
    EXPECT_EQ(store.commits(), 0);
}

TEST_F(Accessor, ErrorNamesTheFileAsGiven) {
    store.setReadOnly(true);
    ui::ProfileAccessor profile(store, "sub/Other.INI");
    profile.writeBool(section, "Save Settings", false);
    EXPECT_EQ(releaseError(profile), "Unable to write to sub/Other.INI");
}

TEST_F(Accessor, WritesNeverReleasedAreDiscarded) {
    store.setFileText(file, "[Saved Settings]\nSave Settings=1\n");
    {
        ui::ProfileAccessor profile(store, file);
        profile.writeBool(section, "Save Settings", false);
    }
    EXPECT_EQ(store.fileText(file), "[Saved Settings]\nSave Settings=1\n");
    EXPECT_EQ(store.commits() + store.failedCommits(), 0);
}

TEST_F(Accessor, ReleaseWithoutWritesTouchesNothing) {
    ui::ProfileAccessor profile(store, file);
    EXPECT_EQ(profile.readString(section, "LastType", "none"), "none");
    profile.release();
    EXPECT_FALSE(store.hasFile(file));
    EXPECT_EQ(store.commits(), 0);
}

TEST_F(Accessor, PartialSaveChangesOnlyItsKey) {
    const std::string old = "; kept\n[Saved Settings]\nSave Settings=1\nAlarmHour = 7\n";
    store.setFileText(file, old);
    ui::ProfileAccessor profile(store, file);
    profile.writeBool(section, "Save Settings", false);
    profile.release();
    EXPECT_EQ(store.fileText(file), "; kept\n[Saved Settings]\nSave Settings=0\nAlarmHour = 7\n");
}

struct TypedRead {
    const char* name;
    const char* stored;  // nullptr: key missing
    int integerDefault;
    int integer;
    bool flagDefault;
    bool flag;
};

class AccessorTypedRead : public testing::TestWithParam<TypedRead> {};

TEST_P(AccessorTypedRead, ReadsIntegerAndFlag) {
    const TypedRead& c = GetParam();
    fakes::MemoryProfileStore store;
    std::string text = "[Saved Settings]\n";
    if (c.stored != nullptr) text += std::string("Value=") + c.stored + "\n";
    store.setFileText(file, text);
    ui::ProfileAccessor profile(store, file);
    EXPECT_EQ(profile.readInteger(section, "Value", c.integerDefault), c.integer);
    EXPECT_EQ(profile.readBool(section, "Value", c.flagDefault), c.flag);
}

INSTANTIATE_TEST_SUITE_P(Cases, AccessorTypedRead,
                         testing::Values(TypedRead{"Missing", nullptr, 12, 12, true, true},
                                         TypedRead{"Empty", "", 12, 12, true, true},
                                         TypedRead{"One", "1", 0, 1, false, true},
                                         TypedRead{"Zero", "0", 5, 0, true, false},
                                         TypedRead{"AnyNonZeroIsTrue", "-3", 0, -3, false, true},
                                         TypedRead{"Hex", "0x1A", 0, 26, false, true},
                                         TypedRead{"QuotedAndPadded", "  \"7\"  ", 0, 7, false, true},
                                         TypedRead{"NotANumberFalse", "yes", 4, 4, false, false}),
                         [](const testing::TestParamInfo<TypedRead>& info) { return std::string(info.param.name); });

}  // namespace
