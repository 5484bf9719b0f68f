// Profile files on Windows, run under Wine in the cross build: where they live, and a
// file the user made read-only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/profile/file_profile_store.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Bare names live in the roaming application data; a read-only file is refused and
// kept, and no temporary file stays.
TEST(SettingsFile, LivesInApplicationDataAndKeepsAReadOnlyFile) {
    const fs::path path = profile::FileProfileStore().pathOf("tolvan.ini");
    EXPECT_EQ(path.parent_path().filename(), "Tolvane");
    EXPECT_TRUE(path.is_absolute()) << path;

    mcitest::TempFolder folder;
    std::ofstream(folder / "tolvan.ini", std::ios::binary) << "[s]\nk=old\n";
    SetFileAttributesW((folder / "tolvan.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    profile::ProfileEdits edits;
    edits.writeString("s", "k", "new");
    EXPECT_EQ(profile::FileProfileStore(folder.path()).save("tolvan.ini", edits), EACCES);
    SetFileAttributesW((folder / "tolvan.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
    EXPECT_EQ(profile::FileProfileStore(folder.path()).save("tolvan.ini", edits), 0);
    EXPECT_EQ(profile::FileProfileStore(folder.path()).readString("tolvan.ini", "s", "k", ""), "new");
}

}  // namespace
