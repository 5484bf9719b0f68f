// Profile files on disk: where they live, and that a save replaces a file whole or
// not at all.
#include "platform/profile/file_profile_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using profile::FileProfileStore;
using profile::ProfileEdits;

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

ProfileEdits fullSave(const std::string& message) {
    ProfileEdits edits;
    edits.eraseSection(section);
    edits.writeString(section, "MessageText", message);
    return edits;
}

enum class Call { OpenFile, CreateFile, SetMode, Write, Sync, Close, Rename };

// The system's calls, except that the nth call of one kind fails with ENOSPC; and every
// write stops half-way, as the system's may.
class FaultyFiles : public profile::FileSystem {
public:
    void failAt(Call call, int nth) { failing_ = call, nth_ = nth, seen_ = 0; }

    int openFile(int at, const char* name) override {
        return fails(Call::OpenFile) ? -1 : FileSystem::openFile(at, name);
    }
    int createFile(int at, const char* name) override {
        return fails(Call::CreateFile) ? -1 : FileSystem::createFile(at, name);
    }
    int setMode(int fd, unsigned mode) override { return fails(Call::SetMode) ? -1 : FileSystem::setMode(fd, mode); }
    long write(int fd, const char* data, std::size_t size) override {
        return fails(Call::Write) ? -1 : FileSystem::write(fd, data, std::max<std::size_t>(1, size / 2));
    }
    int sync(int fd) override { return fails(Call::Sync) ? -1 : FileSystem::sync(fd); }
    int close(int fd) override { return fails(Call::Close) ? -1 : FileSystem::close(fd); }
    int rename(int at, const char* from, const char* to) override {
        return fails(Call::Rename) ? -1 : FileSystem::rename(at, from, to);
    }

private:
    bool fails(Call call) {
        if (call != failing_ || ++seen_ != nth_) return false;
        errno = ENOSPC;
        return true;
    }
    Call failing_ = Call::OpenFile;
    int nth_ = 0;
    int seen_ = 0;
};

class FileStore : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "tolvane-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        folder = root / "tolvane";
    }
    void TearDown() override { fs::remove_all(root, ignored); }

    std::error_code ignored;
    fs::path root, folder;
    fs::path path() const { return folder / file; }
    FaultyFiles files;
};

// The first save makes the configuration folder and its parents, private. Edits the
// file cannot hold are refused.
TEST_F(FileStore, FirstSaveMakesTheConfigurationFolder) {
    FileProfileStore store(folder / "deeper");
    EXPECT_EQ(store.readString(file, section, "MessageText", "dflt"), "dflt");
    ASSERT_TRUE(store.save(file, fullSave("hello")));
    EXPECT_EQ(readText(folder / "deeper" / file), "[Saved Settings]\nMessageText=hello\n");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    ProfileEdits badKey;
    badKey.writeString(section, "Bad=Key", "1");
    EXPECT_FALSE(store.save(file, badKey));
    EXPECT_EQ(store.readString(file, "saved settings", "messagetext", ""), "hello");
}

// A symbolic link stays and its target is replaced, keeping its permissions and every
// byte the edits do not touch.
TEST_F(FileStore, SaveReplacesALinksTargetKeepingPermissionsAndUntouchedBytes) {
    fs::create_directories(folder);
    const fs::path target = root / "tolvan.ini";
    writeText(target, "; by hand\r\n[Other]\r\n  x = 1 \r\n[Saved Settings]\r\nOld=1\r\n");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, mode);
    fs::create_symlink(target, path());
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("x")));
    EXPECT_TRUE(fs::is_symlink(path()));
    EXPECT_EQ(readText(target), "; by hand\r\n[Other]\r\n  x = 1 \r\n\r\n[Saved Settings]\r\nMessageText=x\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, mode);
}

struct FailCase {
    const char* name;
    Call call;
    int nth;
    bool replaced;  // the new file is in place, but may not survive a crash
};

void PrintTo(const FailCase& c, std::ostream* out) { *out << c.name; }

class FailedSave : public FileStore, public testing::WithParamInterface<FailCase> {};

// A save that fails at any step says so, and leaves the old file byte for byte and no
// temporary file.
TEST_P(FailedSave, KeepsTheOldFile) {
    const std::string old = "; by hand\n[Saved Settings]\nMessageText=old\nByHand=1\n";
    fs::create_directories(folder);
    writeText(path(), old);
    files.failAt(GetParam().call, GetParam().nth);
    EXPECT_FALSE(FileProfileStore(folder, files).save(file, fullSave("new")));
    EXPECT_EQ(readText(path()), GetParam().replaced ? "; by hand\n\n[Saved Settings]\nMessageText=new\n" : old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "a temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedSave,
    testing::Values(FailCase{"ReadOld", Call::OpenFile, 1, false}, FailCase{"CreateTemp", Call::CreateFile, 1, false},
                    FailCase{"SetMode", Call::SetMode, 1, false}, FailCase{"WritePartWay", Call::Write, 2, false},
                    FailCase{"SyncFile", Call::Sync, 1, false}, FailCase{"CloseTemp", Call::Close, 1, false},
                    FailCase{"Rename", Call::Rename, 1, false}, FailCase{"SyncFolder", Call::Sync, 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Under $XDG_CONFIG_HOME when it is an absolute path, else under ~/.config.
TEST(ConfigFolder, FollowsTheEnvironment) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "", home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/u", 1);
    for (const char* value : {"/cfg", "cfg", static_cast<const char*>(nullptr)}) {
        value ? ::setenv("XDG_CONFIG_HOME", value, 1) : ::unsetenv("XDG_CONFIG_HOME");
        const fs::path expected = value && value[0] == '/' ? "/cfg/tolvane" : "/home/u/.config/tolvane";
        EXPECT_EQ(FileProfileStore().pathOf(file), expected / file) << (value ? value : "(unset)");
    }
    savedXdg ? ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
