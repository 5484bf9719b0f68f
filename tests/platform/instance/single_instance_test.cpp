// One program per user and settings file: the key two starts share, and the hand-over
// from a later start to the running one over the local socket.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>

#include "platform/instance/qt_single_instance.h"
#include "tests/platform/qt/qt_app.h"

namespace {

using instance::displayName;
using instance::instanceKey;
using instance::SingleInstance;

TEST(InstanceKey, OneSettingsFileIsOneInstanceWhateverTheDisplay) {
    const std::string key = instanceKey(1000, "/home/ann/.config/tolvane/tolvan.ini");
    EXPECT_NE(instanceKey(1000, "/tmp/other/tolvane/tolvan.ini"), key);
    EXPECT_NE(instanceKey(1001, "/home/ann/.config/tolvane/tolvan.ini"), key);
    EXPECT_EQ(key.find('/'), std::string::npos);
    EXPECT_LE(key.size(), 40u);
}

TEST(DisplayName, SameDisplayWrittenAnyWayIsOneName) {
    for (const char* same : {":0", ":0.0", "unix:0", "unix:0.1"}) EXPECT_EQ(displayName("", same), ":0") << same;
    for (const char* other : {":1", ":10", "host:0"}) EXPECT_NE(displayName("", other), ":0") << other;
    // Under Wayland the X display (of the compatibility server) does not matter.
    EXPECT_EQ(displayName("wayland-0", ":1"), "wayland-0");
    EXPECT_EQ(displayName("/run/user/1000/" + std::string(200, 'w') + " \n", ""), std::string(38, 'w') + "__");
}

class SingleInstanceTest : public qttest::WithApplication, public ::testing::Test {
protected:
    std::string folder() const { return dir_.path().toStdString(); }

    // A later start, made and run on a thread of its own as in another process, while
    // this thread serves the first one's socket. Returns what its claim() said.
    bool laterStart(std::chrono::milliseconds* took = nullptr, const std::string& display = ":0",
                    std::string* elsewhere = nullptr) {
        const auto start = std::chrono::steady_clock::now();
        auto later = std::async(std::launch::async, [&] {
            SingleInstance instance(folder(), kKey, display);
            const bool first = instance.claim();
            if (elsewhere) *elsewhere = instance.runningElsewhere();
            return first;
        });
        while (later.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents();
        if (took)
            *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        const bool first = later.get();
        QCoreApplication::processEvents();
        return first;
    }

    std::unique_ptr<SingleInstance> running(int* shown) {
        auto instance = std::make_unique<SingleInstance>(folder(), kKey, ":0");
        instance->onShow = [shown] { ++*shown; };
        EXPECT_TRUE(instance->claim());
        return instance;
    }

    std::string socketPath() const {
        return QDir(dir_.path()).filePath(QStringLiteral("tolvane-test.socket")).toStdString();
    }

    // A socket of our own at the instance's path: bound there, or connected to it.
    int rawSocket(int (*attach)(int, const sockaddr*, socklen_t)) const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath().c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(attach(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        return fd;
    }

    static constexpr char kKey[] = "tolvane-test";
    QTemporaryDir dir_;
};

TEST_F(SingleInstanceTest, LaterStartShowsTheRunningOneAndEndsWithoutWaitingLong) {
    int shown = 0;
    auto first = running(&shown);
    std::chrono::milliseconds took{};
    EXPECT_FALSE(laterStart(&took));
    EXPECT_EQ(shown, 1);
    // The running one answers: the later start does not sit out its patience.
    EXPECT_LT(took.count(), 1000);
    EXPECT_FALSE(laterStart());
    EXPECT_EQ(shown, 2);

    // Once it has ended, the next start is the first again.
    first.reset();
    int shownAgain = 0;
    auto next = running(&shownAgain);
    EXPECT_FALSE(laterStart());
    EXPECT_EQ(shownAgain, 1);
}

// A later start on another display is told where the running one is, which does not
// show its window there.
TEST_F(SingleInstanceTest, LaterStartOnAnotherDisplayLearnsWhereTheRunningOneIs) {
    int shown = 0;
    auto first = running(&shown);
    std::string elsewhere = "?";
    EXPECT_FALSE(laterStart(nullptr, ":1", &elsewhere));
    EXPECT_EQ(elsewhere, ":0");
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(laterStart(nullptr, ":0", &elsewhere));
    EXPECT_EQ(elsewhere, "");
    EXPECT_EQ(shown, 1);
}

// A killed instance leaves its socket file behind, and nobody listens on it.
TEST_F(SingleInstanceTest, SocketLeftByAKilledInstanceDoesNotBlockTheNextStart) {
    ::close(rawSocket(::bind));
    ASSERT_EQ(::access(socketPath().c_str(), F_OK), 0);

    int shown = 0;
    auto first = running(&shown);
    EXPECT_FALSE(laterStart());
    EXPECT_EQ(shown, 1);
}

// Only this user may call, and a caller that stalls or says something else neither
// holds up the running one nor shows its window.
TEST_F(SingleInstanceTest, StrangeCallersAreIgnoredAndOthersCannotCall) {
    int shown = 0;
    auto first = running(&shown);
    struct stat file {};
    ASSERT_EQ(::stat(socketPath().c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 077, 0u);

    const int silent = rawSocket(::connect);
    for (const std::string& request : {std::string("hide\n"), std::string(200, 's')}) {
        const int other = rawSocket(::connect);
        ASSERT_EQ(::write(other, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        ::close(other);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 0);
    std::chrono::milliseconds took{};
    EXPECT_FALSE(laterStart(&took));
    EXPECT_EQ(shown, 1);
    EXPECT_LT(took.count(), 1000);
    ::close(silent);
}

}  // namespace
