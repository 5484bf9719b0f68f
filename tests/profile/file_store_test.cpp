// Profile files on disk: where they live, and that a save replaces a file whole or
// not at all.
#include "platform/profile/file_profile_store.h"
#include "tests/fakes/memory_profile_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using profile::FileProfileStore;
using profile::ProfileEdits;
using profile::SaveStep;

const std::string file = "tolvan.ini";
const std::string section = "Saved Settings";

std::optional<std::string> readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Temporary files a save of tolvan.ini may leave in folder.
std::vector<std::string> tempsIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.starts_with("." + file + ".tmp.")) names.push_back(name);
    }
    return names;
}

ProfileEdits fullSave(const std::string& message) {
    ProfileEdits edits;
    edits.eraseSection(section);
    edits.writeString(section, "Save Settings", "1");
    edits.writeString(section, "LastFileName", "/music/" + message + ".wav");
    edits.writeString(section, "AlarmHour", "7");
    edits.writeString(section, "MessageText", message);
    edits.writeString(section, "AlarmOn", "1");
    return edits;
}

class FileStore : public testing::Test {
protected:
    void SetUp() override { moveTo(testing::TempDir()); }
    // Starts over in a new empty folder under base.
    void moveTo(const fs::path& base) {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
        std::string pattern = (base / "tolvane-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        folder = root / "tolvane";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root, ignored);
    }
    fs::path path() const { return folder / file; }

    fs::path root;
    fs::path folder;
};

TEST_F(FileStore, MissingFileGivesDefaults) {
    FileProfileStore store(folder);
    EXPECT_EQ(store.readString(file, section, "LastType", "dflt"), "dflt");
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(FileStore, FirstSaveMakesPrivateFolderAndFile) {
    folder = root / "deeper" / "tolvane";
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("hello")));
    EXPECT_EQ(readText(path()),
              "[Saved Settings]\nSave Settings=1\nLastFileName=/music/hello.wav\nAlarmHour=7\n"
              "MessageText=hello\nAlarmOn=1\n");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(store.readString(file, "saved settings", "messagetext", ""), "hello");
    EXPECT_TRUE(tempsIn(folder).empty());
}

TEST_F(FileStore, NameWithFolderUsedAsIs) {
    fs::create_directories(root / "elsewhere");
    const std::string named = (root / "elsewhere" / "mine.ini").string();
    FileProfileStore store(folder);
    EXPECT_EQ(store.pathOf(named), fs::path(named));
    ASSERT_TRUE(store.save(named, fullSave("x")));
    EXPECT_TRUE(fs::exists(named));
    EXPECT_FALSE(fs::exists(folder));
    // A folder the caller names is not made for it.
    EXPECT_FALSE(store.save((root / "missing" / "mine.ini").string(), fullSave("x")));
}

TEST_F(FileStore, NamesThatCannotBeFiles) {
    FileProfileStore store(folder);
    for (const std::string name : {"", ".", "..", "dir/"}) {
        EXPECT_TRUE(store.pathOf(name).empty()) << name;
        EXPECT_EQ(store.readString(name, section, "k", "d"), "d");
        EXPECT_FALSE(store.save(name, fullSave("x"))) << name;
    }
    EXPECT_TRUE(FileProfileStore(fs::path()).pathOf(file).empty());
}

TEST_F(FileStore, SaveKeepsPermissionsAndUntouchedBytes) {
    fs::create_directories(folder);
    writeText(path(), "; by hand\r\n[Other]\r\n  x = 1 \r\n[Saved Settings]\r\nOld=1\r\n");
    fs::permissions(path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    FileProfileStore store(folder);
    ProfileEdits edits;
    edits.eraseSection(section);
    edits.writeString(section, "Save Settings", "0");
    ASSERT_TRUE(store.save(file, edits));
    EXPECT_EQ(readText(path()), "; by hand\r\n[Other]\r\n  x = 1 \r\n\r\n[Saved Settings]\r\nSave Settings=0\r\n");
    EXPECT_EQ(fs::status(path()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileStore, UnchangedTextIsNotRewritten) {
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("same")));
    struct stat before {};
    ASSERT_EQ(::stat(path().c_str(), &before), 0);
    ASSERT_TRUE(store.save(file, fullSave("same")));
    struct stat after {};
    ASSERT_EQ(::stat(path().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(FileStore, SymbolicLinkKeptAndItsTargetReplaced) {
    fs::create_directories(folder);
    fs::create_directories(root / "dotfiles");
    writeText(root / "dotfiles" / "tolvan.ini", "[Saved Settings]\nA=1\n");
    fs::create_symlink(root / "dotfiles" / "tolvan.ini", path());
    FileProfileStore store(folder);
    ProfileEdits edits;
    edits.writeString(section, "A", "2");
    ASSERT_TRUE(store.save(file, edits));
    EXPECT_TRUE(fs::is_symlink(path()));
    EXPECT_EQ(readText(root / "dotfiles" / "tolvan.ini"), "[Saved Settings]\nA=2\n");
}

TEST_F(FileStore, StaleTempsOfThisFileRemovedByNextSave) {
    fs::create_directories(folder);
    writeText(folder / ".tolvan.ini.tmp.Ab12Cd", "[Saved Settings]\nhalf");
    writeText(folder / ".tolvan.ini.tmp.zzzzzz", "");
    // Not of our pattern, or not for this file: left alone.
    writeText(folder / ".tolvan.ini.tmp.toolong", "");
    writeText(folder / ".other.ini.tmp.Ab12Cd", "");
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("x")));
    EXPECT_TRUE(tempsIn(folder) == std::vector<std::string>{".tolvan.ini.tmp.toolong"});
    EXPECT_TRUE(fs::exists(folder / ".other.ini.tmp.Ab12Cd"));
}

TEST_F(FileStore, FolderInPlaceOfFileFails) {
    fs::create_directories(path());
    FileProfileStore store(folder);
    EXPECT_EQ(store.readString(file, section, "A", "d"), "d");
    EXPECT_FALSE(store.save(file, fullSave("x")));
    EXPECT_EQ(store.lastError(), EISDIR);
    EXPECT_TRUE(tempsIn(folder).empty());
}

TEST_F(FileStore, FileInPlaceOfFolderFails) {
    writeText(folder, "not a folder");
    EXPECT_FALSE(FileProfileStore(folder).save(file, fullSave("x")));
    EXPECT_EQ(readText(folder), "not a folder");
}

TEST_F(FileStore, BadNameFailsWithoutWriting) {
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("x")));
    const auto old = readText(path());
    ProfileEdits edits;
    edits.eraseSection(section);
    edits.writeString(section, "Bad=Key", "1");
    EXPECT_FALSE(store.save(file, edits));
    EXPECT_EQ(readText(path()), old);
}

// Both stores hold the same bytes after the same saves.
TEST_F(FileStore, MemoryStoreMatchesDisk) {
    const std::vector<std::string> starts = {"", "[Saved Settings]\r\nAlarmOn=1\r\n", "[Other]\nx=1",
                                             "\xEF\xBB\xBF; c\n[saved settings]\nK=1\n\n[B]\n"};
    for (const std::string& start : starts) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (!start.empty()) writeText(path(), start);
        FileProfileStore disk(folder);
        fakes::MemoryProfileStore memory;
        if (!start.empty()) memory.setFileText(file, start);
        for (const char* message : {"one", "two"}) {
            auto onDisk = disk.beginBatch(file);
            auto inMemory = memory.beginBatch(file);
            for (ui::ProfileBatch* batch : {onDisk.get(), inMemory.get()}) {
                batch->eraseSection(section);
                batch->writeString(section, "MessageText", message);
                batch->writeString("B", "Added", message);
            }
            ASSERT_TRUE(onDisk->commit());
            ASSERT_TRUE(inMemory->commit());
            EXPECT_EQ(readText(path()), memory.fileText(file)) << start;
        }
    }
}

struct ConfigCase {
    const char* name;
    const char* xdg;  // nullptr: unset
    const char* home;
    const char* expected;
};

class ConfigFolder : public testing::TestWithParam<ConfigCase> {
protected:
    static std::optional<std::string> get(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void put(const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    void TearDown() override {
        put("XDG_CONFIG_HOME", xdg_);
        put("HOME", home_);
    }
    std::optional<std::string> xdg_ = get("XDG_CONFIG_HOME");
    std::optional<std::string> home_ = get("HOME");
};

TEST_P(ConfigFolder, Resolves) {
    const ConfigCase& c = GetParam();
    put("XDG_CONFIG_HOME", c.xdg ? std::optional<std::string>(c.xdg) : std::nullopt);
    put("HOME", c.home);
    EXPECT_EQ(FileProfileStore::userConfigFolder(), fs::path(c.expected));
    EXPECT_EQ(FileProfileStore().pathOf(file), fs::path(c.expected) / file);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigFolder,
                         testing::Values(ConfigCase{"Xdg", "/cfg", "/home/u", "/cfg/tolvane"},
                                         ConfigCase{"XdgUnset", nullptr, "/home/u", "/home/u/.config/tolvane"},
                                         ConfigCase{"XdgEmpty", "", "/home/u", "/home/u/.config/tolvane"},
                                         ConfigCase{"XdgRelative", "cfg", "/home/u", "/home/u/.config/tolvane"}),
                         [](const testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.name); });

// A save that fails at any step leaves the old file byte for byte and no temporary file.
class FailedSave : public FileStore, public testing::WithParamInterface<SaveStep> {};

TEST_P(FailedSave, KeepsOldFile) {
    const std::string old = "; by hand\n[Saved Settings]\nMessageText=old\nByHand=1\n";
    fs::create_directories(folder);
    writeText(path(), old);
    FileProfileStore store(folder);
    const SaveStep failing = GetParam();
    store.setFaultHook([failing](SaveStep step) { return step == failing ? ENOSPC : 0; });
    EXPECT_FALSE(store.save(file, fullSave("new")));
    EXPECT_EQ(store.lastError(), ENOSPC);
    EXPECT_EQ(readText(path()), old);
    EXPECT_TRUE(tempsIn(folder).empty());
    EXPECT_EQ(store.readString(file, section, "MessageText", ""), "old");

    store.setFaultHook(nullptr);
    EXPECT_TRUE(store.save(file, fullSave("new")));
    EXPECT_EQ(store.readString(file, section, "MessageText", ""), "new");
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedSave,
                         testing::Values(SaveStep::ReadOld, SaveStep::CreateTemp, SaveStep::SetMode, SaveStep::Write,
                                         SaveStep::SyncFile, SaveStep::CloseTemp, SaveStep::Rename),
                         [](const testing::TestParamInfo<SaveStep>& info) {
                             return std::string(profile::saveStepName(info.param));
                         });

TEST_F(FileStore, FailedFolderCreationLeavesNothing) {
    FileProfileStore store(folder);
    store.setFaultHook([](SaveStep step) { return step == SaveStep::CreateFolder ? EACCES : 0; });
    EXPECT_FALSE(store.save(file, fullSave("x")));
    EXPECT_FALSE(fs::exists(folder));
}

// Past the rename the new file is in place; the save still reports that it may not
// survive a crash.
TEST_F(FileStore, FailedFolderFlushReportsFailureWithNewFileInPlace) {
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("old")));
    store.setFaultHook([](SaveStep step) { return step == SaveStep::SyncFolder ? EIO : 0; });
    EXPECT_FALSE(store.save(file, fullSave("new")));
    EXPECT_EQ(store.readString(file, section, "MessageText", ""), "new");
    EXPECT_TRUE(tempsIn(folder).empty());
}

// A real short write: the file size limit stops the temporary file part-way.
TEST_F(FileStore, DiskFullPartWayKeepsOldFile) {
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("old")));
    const auto old = readText(path());

    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 40;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = store.save(file, fullSave(std::string(200, 'n')));
    const int error = store.lastError();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readText(path()), old);
    EXPECT_TRUE(tempsIn(folder).empty());
}

TEST_F(FileStore, ReadOnlyFolderOrFileKeepsOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, fullSave("old")));
    const auto old = readText(path());
    for (const fs::path& locked : {folder, path()}) {
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(store.save(file, fullSave("new"))) << locked;
        fs::permissions(locked, fs::perms::owner_all);
        EXPECT_EQ(readText(path()), old);
        EXPECT_TRUE(tempsIn(folder).empty());
    }
}

// Writers killed at random points: a reader only ever sees one complete file, and the
// one temporary file a killed writer may leave is gone after the next save.
TEST_F(FileStore, KilledWritersNeverLeaveAPartFile) {
    // A kill tests the order of the steps, not flushing to disk: storage in memory keeps
    // the saves quick.
    if (::access("/dev/shm", W_OK) == 0) moveTo("/dev/shm");
    constexpr int savesPerWriter = 200;
    const ProfileEdits first = fullSave(std::string(300, 'a'));
    const ProfileEdits second = fullSave(std::string(500, 'b'));
    fs::create_directories(folder);
    writeText(path(), "[Other]\nkept=1\n");
    FileProfileStore store(folder);
    ASSERT_TRUE(store.save(file, second));
    const std::string secondText = *readText(path());
    ASSERT_TRUE(store.save(file, first));
    const std::string firstText = *readText(path());

    // The writer sends one byte down `progress` after each save it completes.
    int progress[2] = {-1, -1};
    auto startWriter = [&] {
        if (::pipe2(progress, O_CLOEXEC | O_NONBLOCK) != 0) return pid_t(-1);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(progress[0]);
            FileProfileStore writer(folder);
            for (int i = 0; i < savesPerWriter; ++i) {
                if (!writer.save(file, i % 2 == 0 ? second : first)) ::_exit(1);
                (void)!::write(progress[1], "s", 1);
            }
            ::_exit(0);
        }
        ::close(progress[1]);
        return pid;
    };
    auto fileIsWhole = [&] {
        auto text = readText(path());
        return text && (*text == firstText || *text == secondText);
    };

    // One writer left to finish: every save succeeds, and it tells how long one takes.
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    pid_t pid = startWriter();
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(progress[0]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto oneSave =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count() / savesPerWriter;
    ASSERT_TRUE(fileIsWhole());

    // Each round kills a writer after a random number of saves, a random time into the
    // next one, reading the file all the while.
    std::mt19937 random(20260107);
    std::uniform_int_distribution<int> savesBeforeKill(0, savesPerWriter / 4);
    std::uniform_int_distribution<long> intoSave(0, std::max<long>(1, oneSave));
    const auto deadline = begin + std::chrono::seconds(4);
    int killed = 0;
    int rounds = 0;
    while (rounds < 50 && (rounds < 5 || Clock::now() < deadline)) {
        ++rounds;
        pid = startWriter();
        ASSERT_GT(pid, 0);
        struct Reaper {  // a failed check must not leave the writer running
            pid_t& pid;
            int fd;
            ~Reaper() {
                ::close(fd);
                if (pid > 0) {
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, nullptr, 0);
                }
            }
        } reaper{pid, progress[0]};
        const int target = savesBeforeKill(random);
        int done = 0;
        char bytes[256];
        while (done < target) {
            ssize_t n = ::read(progress[0], bytes, sizeof bytes);
            if (n == 0) break;  // the writer is gone
            if (n > 0) done += static_cast<int>(n);
            ASSERT_TRUE(fileIsWhole());
        }
        const auto killAt = Clock::now() + std::chrono::microseconds(intoSave(random));
        while (Clock::now() < killAt) ASSERT_TRUE(fileIsWhole());
        const pid_t writer = std::exchange(pid, 0);
        ::kill(writer, SIGKILL);
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        killed += WIFSIGNALED(status);
        ASSERT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0);
        ASSERT_TRUE(fileIsWhole());
        ASSERT_LE(tempsIn(folder).size(), 1u);
    }
    EXPECT_GT(killed, 0);

    ProfileEdits touch;
    touch.writeString("Other", "kept", "2");
    ASSERT_TRUE(store.save(file, touch));
    EXPECT_TRUE(tempsIn(folder).empty());
}

}  // namespace
