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
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using profile::FileProfileStore;
using profile::ProfileEdits;

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

// Windows keeps no permission bits: a file's rights come from its folder.
#ifdef _WIN32
constexpr bool permissionBits = false;
#else
constexpr bool permissionBits = true;
#endif

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

// The system's calls, except that the nth of them fails with ENOSPC; and every write
// stops half-way, as the system's may. The steps are written down in order, a run of
// writes as one.
class FaultyFiles : public profile::FileSystem {
public:
    void failAt(int nth) {
        nth_ = nth;
        calls = 0;
        steps.clear();
    }
    int calls = 0;
    std::vector<std::string> steps;

    using Handle = profile::FileSystem::Handle;
    using Path = std::filesystem::path;
    Handle openFile(Handle at, const Path& name) override {
        return fails("open") ? none : FileSystem::openFile(at, name);
    }
    Handle createFile(Handle at, const Path& name) override {
        return fails("create") ? none : FileSystem::createFile(at, name);
    }
    int setMode(Handle fd, unsigned mode) override { return fails("mode") ? -1 : FileSystem::setMode(fd, mode); }
    long write(Handle fd, const char* data, std::size_t size) override {
        return fails("write") ? -1 : FileSystem::write(fd, data, std::max<std::size_t>(1, size / 2));
    }
    int sync(Handle fd) override { return fails("sync") ? -1 : FileSystem::sync(fd); }
    // A close that fails has let go of the file all the same, as the system's does.
    int close(Handle fd) override {
        const bool failing = fails("close");
        const int closed = FileSystem::close(fd);
        return failing ? -1 : closed;
    }
    int rename(Handle at, const Path& from, const Path& to) override {
        return fails("rename") ? -1 : FileSystem::rename(at, from, to);
    }

private:
    bool fails(const char* step) {
        if (steps.empty() || steps.back() != step) steps.push_back(step);
        if (++calls != nth_) return false;
        errno = ENOSPC;
        return true;
    }
    int nth_ = 0;
};

class FileStore : public testing::Test {
protected:
    mcitest::TempFolder root;
    fs::path folder = root / "tolvane";
    fs::path path() const { return folder / file; }
    FaultyFiles files;
};

// Before the first save nothing is there to read, and nothing is wrong. The first save
// makes the configuration folder and its parents, private. Edits the file cannot hold
// are refused.
TEST_F(FileStore, FirstSaveMakesTheConfigurationFolder) {
    FileProfileStore store(folder / "deeper");
    EXPECT_EQ(store.readProblem(file), "") << "no file yet is a first run, not a damaged file";
    EXPECT_EQ(store.readString(file, section, "MessageText", "dflt"), "dflt");
    ASSERT_EQ(store.save(file, fullSave("hello")), 0);
    EXPECT_EQ(readText(folder / "deeper" / file), "[Saved Settings]\nMessageText=hello\n");
    if (permissionBits) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    }
    ProfileEdits badKey;
    badKey.writeString(section, "Bad=Key", "1");
    EXPECT_EQ(store.save(file, badKey), EINVAL);
    EXPECT_EQ(store.readString(file, "saved settings", "messagetext", ""), "hello");
}

// A save takes the old file's permissions. One that fails at any of the system's steps
// says so and leaves the old file byte for byte and no temporary file; only when the
// last step, the flush of the folder, fails is the new file in place, though it may not
// survive a crash. Each failure gives the system's reason.
TEST_F(FileStore, SaveFailingAtAnyStepKeepsTheOldFile) {
    const std::string old = "; by hand\n[Saved Settings]\nMessageText=old\n";
    const std::string saved = "; by hand\n\n[Saved Settings]\nMessageText=new\n";
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::create_directories(folder);
    writeText(path(), old);
    if (permissionBits) fs::permissions(path(), mode);
    ASSERT_EQ(FileProfileStore(folder, files).save(file, fullSave("new")), 0);
    // The new text reaches the disk before it takes the old file's name, and the new
    // name reaches it after.
    EXPECT_EQ(files.steps,
              (std::vector<std::string>{"open", "create", "mode", "write", "sync", "close", "rename", "sync"}));
    if (permissionBits) {
        EXPECT_EQ(fs::status(path()).permissions() & fs::perms::all, mode);
    }
    const int steps = files.calls;
    for (int step = 1; step <= steps; ++step) {
        SCOPED_TRACE("failing step " + std::to_string(step) + " of " + std::to_string(steps));
        writeText(path(), old);
        files.failAt(step);
        EXPECT_EQ(FileProfileStore(folder, files).save(file, fullSave("new")), ENOSPC);
        EXPECT_EQ(readText(path()), step == steps ? saved : old);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "a temporary file is left";
    }
    // The report names the file and the system's reason.
    files.failAt(1);
    FileProfileStore store(folder, files);
    auto batch = store.beginBatch(file);
    batch->writeString(section, "MessageText", "new");
    EXPECT_EQ(batch->commit(), path().string() + ": No space left on device");
}

// An accessor reads the file once, however many values it reads, reads each value
// whole (a message or a path cut here would be saved cut), and sees its own writes once
// it has released them.
TEST_F(FileStore, AccessorReadsTheFileOnceAndEachValueWhole) {
    fs::create_directories(folder);
    std::string message;
    while (message.size() < 5000) message += "Take the \xc3\xa9" "clairs out. ";
    writeText(path(), "[Saved Settings]\nAlarmHour=7\nMessageText=" + message + "\n");
    FileProfileStore store(folder, files);
    sys::ProfileAccessor ini(store, file);
    EXPECT_EQ(ini.readProblem(), "");
    EXPECT_EQ(ini.readInteger(section, "AlarmHour", 12), 7);
    EXPECT_EQ(ini.readString(section, "LastType", "none"), "none");
    EXPECT_EQ(ini.readString(section, "MessageText", ""), message.substr(0, message.size() - 1));
    EXPECT_EQ(files.calls, 1);
    ini.writeInteger(section, "AlarmHour", 8);
    ini.release();
    EXPECT_EQ(ini.readInteger(section, "AlarmHour", 12), 8);
}

#ifndef _WIN32  // on Windows the folder is the user's roaming application data
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
#endif

}  // namespace
