// The autostart entry: what the session reads from it, the folder it is looked for in,
// and the reasons given where it cannot be written or removed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include "platform/session/session_start.h"

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string lineOf(const std::string& text, const std::string& key) {
    const auto at = text.find("\n" + key + "=");
    if (at == std::string::npos) return {};
    const auto start = at + 1;
    return text.substr(start, text.find('\n', start) - start);
}

// Sets an environment variable for the test's length (unset when `value` is null).
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvironmentVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class SessionStart : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tolvane-session-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::unique_ptr<sys::SessionStart> make(const std::string& executable = "/usr/bin/tolvane") {
        return session::createSessionStart({executable, (root / "config").string()});
    }
    fs::path entry() const { return root / "config" / "autostart" / "tolvane.desktop"; }

    fs::path root;
};

struct ExecCase {
    const char* name;
    const char* path;
    const char* exec;  // the line as the file holds it
};

void PrintTo(const ExecCase& c, std::ostream* out) { *out << c.name; }

class EntryExec : public SessionStart, public ::testing::WithParamInterface<ExecCase> {};

// The entry is one the desktop's own checker accepts, and its Exec starts this program
// minimised, quoted where the path would otherwise fall apart into several words.
TEST_P(EntryExec, RegisteringWritesAValidEntryThatStartsTheProgramMinimised) {
    EXPECT_EQ(make(GetParam().path)->setRegistered(true), "");
    const std::string text = readText(entry());
    EXPECT_EQ(lineOf(text, "Exec"), GetParam().exec);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(lineOf(text, "Type"), "Type=Application");
    EXPECT_EQ(lineOf(text, "Name"), "Name=Tolvane");
    EXPECT_EQ(lineOf(text, "Icon"), "Icon=tolvane");
    EXPECT_EQ(lineOf(text, "X-GNOME-Autostart-enabled"), "X-GNOME-Autostart-enabled=true");
    EXPECT_NE(lineOf(text, "Comment"), "");
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "not installed: desktop-file-validate";
    const std::string check = "desktop-file-validate '" + entry().string() + "' 2>&1";
    FILE* pipe = ::popen(check.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) said += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << said;
    EXPECT_EQ(said, "");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EntryExec,
    ::testing::Values(ExecCase{"Plain", "/usr/bin/tolvane", "Exec=/usr/bin/tolvane --minimized"},
                      ExecCase{"Space", "/opt/my apps/tolvane", "Exec=\"/opt/my apps/tolvane\" --minimized"},
                      // Inside the quotes ", `, $ and \ take a backslash, which the file's
                      // own escaping doubles; a literal % is doubled too.
                      ExecCase{"Reserved", "/opt/it's $5 \"x\" \\ 100%/tolvane",
                               "Exec=\"/opt/it's \\\\$5 \\\\\"x\\\\\" \\\\\\\\ 100%%/tolvane\" --minimized"},
                      ExecCase{"Percent", "/opt/100%/tolvane", "Exec=/opt/100%%/tolvane --minimized"},
                      ExecCase{"Unicode", "/opt/Tölvane/tolvane", "Exec=/opt/Tölvane/tolvane --minimized"}),
    [](const ::testing::TestParamInfo<ExecCase>& info) { return std::string(info.param.name); });

// Both calls are cheap when already done: an identical entry is left as it is (the
// same file, not one renamed over it), and a missing one is no error.
TEST_F(SessionStart, RegisteringOrRemovingTwiceIsHarmless) {
    auto start = make();
    ASSERT_EQ(start->setRegistered(true), "");
    struct stat first {};
    ASSERT_EQ(::stat(entry().c_str(), &first), 0);
    EXPECT_EQ(first.st_mode & 0777, 0644u);
    ASSERT_EQ(start->setRegistered(true), "");
    struct stat second {};
    ASSERT_EQ(::stat(entry().c_str(), &second), 0);
    EXPECT_EQ(second.st_ino, first.st_ino);
    // Another path changes it.
    EXPECT_EQ(make("/usr/local/bin/tolvane")->setRegistered(true), "");
    EXPECT_EQ(lineOf(readText(entry()), "Exec"), "Exec=/usr/local/bin/tolvane --minimized");
    // Nothing but the entry is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(entry().parent_path()), fs::directory_iterator()), 1);

    EXPECT_EQ(start->setRegistered(false), "");
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_EQ(start->setRegistered(false), "");
    // With no folder at all.
    fs::remove_all(root / "config");
    EXPECT_EQ(start->setRegistered(false), "");
}

struct FolderCase {
    const char* name;
    const char* xdgConfigHome;  // null: unset; relative to the test's folder when it starts with '@'
    const char* expected;       // where the entry goes, relative to the test's folder (HOME)
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

class EntryFolder : public SessionStart, public ::testing::WithParamInterface<FolderCase> {};

// With nothing given, the entry goes where the session looks for it and starts the
// running program.
TEST_P(EntryFolder, IsTheSessionsAutostartFolder) {
    const std::string xdg = GetParam().xdgConfigHome && GetParam().xdgConfigHome[0] == '@'
                                ? (root / (GetParam().xdgConfigHome + 1)).string()
                                : std::string(GetParam().xdgConfigHome ? GetParam().xdgConfigHome : "");
    const EnvironmentVariable home("HOME", root.c_str());
    const EnvironmentVariable config("XDG_CONFIG_HOME", GetParam().xdgConfigHome ? xdg.c_str() : nullptr);
    auto start = session::createSessionStart();
    ASSERT_EQ(start->setRegistered(true), "");
    const fs::path file = root / GetParam().expected;
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(lineOf(readText(file), "Exec"), "Exec=" + fs::read_symlink("/proc/self/exe").string() + " --minimized");
    EXPECT_EQ(start->setRegistered(false), "");
    EXPECT_FALSE(fs::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Environment, EntryFolder,
                         ::testing::Values(FolderCase{"Set", "@xdg", "xdg/autostart/tolvane.desktop"},
                                           FolderCase{"Unset", nullptr, ".config/autostart/tolvane.desktop"},
                                           FolderCase{"Relative", "xdg", ".config/autostart/tolvane.desktop"}),
                         [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

// Failures come back as a reason naming the place (the test may run as root, so the
// obstacles are files where folders belong, not permissions).
TEST_F(SessionStart, WhatCannotBeWrittenOrRemovedGivesAReason) {
    std::ofstream(root / "config").put('x');
    const std::string blocked = make()->setRegistered(true);
    EXPECT_NE(blocked.find((root / "config").string()), std::string::npos) << blocked;
    fs::remove(root / "config");

    fs::create_directories(entry());  // a folder where the entry belongs
    const std::string notAFile = make()->setRegistered(true);
    EXPECT_NE(notAFile.find(entry().string()), std::string::npos) << notAFile;
    EXPECT_NE(make()->setRegistered(false), "");
    // The temporary file went again.
    EXPECT_EQ(std::distance(fs::directory_iterator(entry().parent_path()), fs::directory_iterator()), 1);
    fs::remove(entry());

    // A path the entry cannot carry is refused, not written half right.
    const std::string lineBreak = make("/opt/odd\nname/tolvane")->setRegistered(true);
    EXPECT_NE(lineBreak.find("odd"), std::string::npos) << lineBreak;
    EXPECT_NE(make("/opt/\xff/tolvane")->setRegistered(true), "");
    EXPECT_FALSE(fs::exists(entry()));
}

}  // namespace
