// The output volume against a private sound server with two null sinks, set up and
// read back with the server's own command-line client; and against no server at all,
// and one that never answers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/volume/output_volume.h"
#include "tests/support/temp_folder.h"

namespace {

using Volumes = std::vector<unsigned>;
constexpr unsigned kNorm = 65536;
constexpr unsigned kFloor = kNorm * volume::kAudibleFloorPercent / 100;

struct SinkState {
    bool mute = false;
    Volumes volumes;
    friend bool operator==(const SinkState&, const SinkState&) = default;
};

void PrintTo(const SinkState& s, std::ostream* os) {
    *os << (s.mute ? "muted" : "on");
    for (unsigned v : s.volumes) *os << " " << v;
}

// Runs a command; its standard output, or nothing when it failed.
std::optional<std::string> output(const std::string& command) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string text;
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional(text) : std::nullopt;
}

class SoundServer : public testing::Test {
protected:
    static constexpr const char* kSinkA = "tolvane_volume_a";
    static constexpr const char* kSinkB = "tolvane_volume_b";

    static void SetUpTestSuite() {
        folder_ = new mcitest::TempFolder;
        address_ = "unix:" + (folder_->path() / "native").string();
        // The client library and pactl look for their settings and cookie at home.
        ::setenv("HOME", folder_->path().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", folder_->path().c_str(), 1);
        ::setenv("PULSE_RUNTIME_PATH", folder_->path().c_str(), 1);
        const std::string socket =
            "--load=module-native-protocol-unix auth-anonymous=1 socket=" + (folder_->path() / "native").string();
        const std::string sinkA = std::string("--load=module-null-sink sink_name=") + kSinkA + " channels=2";
        const std::string sinkB = std::string("--load=module-null-sink sink_name=") + kSinkB + " channels=2";
        server_ = ::fork();
        if (server_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
            const char* argv[] = {
                "pulseaudio",           "-n",           "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                "--disallow-exit=true", socket.c_str(), sinkA.c_str(),    sinkB.c_str(),         nullptr};
            ::execvp(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline && !output(pactl("info >/dev/null")))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    static void TearDownTestSuite() {
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
        delete folder_;
    }

    void SetUp() override {
        ASSERT_TRUE(output(pactl("info >/dev/null"))) << "the test sound server did not start";
        run("set-default-sink " + std::string(kSinkA));
        for (const char* sink : {kSinkA, kSinkB}) set(sink, {false, {kNorm, kNorm}});
    }

    static std::string pactl(const std::string& args) { return "pactl -s " + address_ + " " + args; }

    static void run(const std::string& args) { ASSERT_TRUE(output(pactl(args))) << "pactl " << args; }

    static void set(const char* sink, const SinkState& state) {
        run(std::string("set-sink-mute ") + sink + (state.mute ? " 1" : " 0"));
        std::string volumes;
        for (unsigned v : state.volumes) volumes += " " + std::to_string(v);
        run(std::string("set-sink-volume ") + sink + volumes);
    }

    static SinkState state(const char* sink) {
        SinkState s;
        const auto mute = output(pactl(std::string("get-sink-mute ") + sink));
        const auto volume = output(pactl(std::string("get-sink-volume ") + sink));
        if (!mute || !volume) return {true, {}};
        s.mute = mute->find("yes") != std::string::npos;
        // "Volume: front-left: 1311 /   2% / -101.71 dB,   front-right: ..."
        const std::regex raw(R"(: (\d+) /)");
        for (std::sregex_iterator it(volume->begin(), volume->end(), raw), end; it != end; ++it)
            s.volumes.push_back(static_cast<unsigned>(std::stoul((*it)[1])));
        return s;
    }

    static inline mcitest::TempFolder* folder_ = nullptr;
    static inline std::string address_;
    static inline pid_t server_ = -1;
};

struct RaiseCase {
    const char* name;
    SinkState before;
    SinkState raised;
    const char* raisedFrom;
};

void PrintTo(const RaiseCase& c, std::ostream* os) { *os << c.name; }

class Raise : public SoundServer, public testing::WithParamInterface<RaiseCase> {};

// Raised as far as needed, said so, and on restore given back exactly, channel by channel.
TEST_P(Raise, TurnsUpThenGivesBack) {
    const RaiseCase& c = GetParam();
    set(kSinkA, c.before);
    auto output = volume::createOutputVolume(address_);
    const auto change = output->makeAudible();
    EXPECT_EQ(change.problem, "");
    EXPECT_EQ(change.raisedFrom, c.raisedFrom);
    EXPECT_EQ(state(kSinkA), c.raised);
    output->restore();
    EXPECT_EQ(state(kSinkA), c.before);
    EXPECT_EQ(state(kSinkB), (SinkState{false, {kNorm, kNorm}}));
}

INSTANTIATE_TEST_SUITE_P(
    Output, Raise,
    testing::Values(RaiseCase{"Muted", {true, {kNorm, kNorm}}, {false, {kNorm, kNorm}}, "muted"},
                    RaiseCase{"Low", {false, {1311, 655}}, {false, {kFloor, kFloor}}, "turned down to 2 %"},
                    RaiseCase{"Silent", {false, {0, 0}}, {false, {kFloor, kFloor}}, "turned down to 0 %"},
                    RaiseCase{
                        "MutedAndLow", {true, {2621, 2621}}, {false, {kFloor, kFloor}}, "muted and turned down to 4 %"},
                    RaiseCase{"AudibleOnOneSide", {false, {kFloor + 100, 0}}, {false, {kFloor + 100, 0}}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever the user does to the output while the alarm sounds is theirs to keep.
class UserChange : public SoundServer, public testing::WithParamInterface<SinkState> {};

TEST_P(UserChange, IsNotUndone) {
    set(kSinkA, {true, {1311, 1311}});
    auto output = volume::createOutputVolume(address_);
    ASSERT_EQ(output->makeAudible().raisedFrom, "muted and turned down to 2 %");
    set(kSinkA, GetParam());
    output->restore();
    EXPECT_EQ(state(kSinkA), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Output, UserChange,
                         testing::Values(SinkState{false, {kNorm / 2, kNorm / 2}}, SinkState{true, {kFloor, kFloor}}));

// A second alarm finds the output as the first left it: restore still gives back the
// user's own setting, once.
TEST_F(SoundServer, SecondAlarmKeepsWhatTheFirstChanged) {
    set(kSinkA, {true, {kNorm, kNorm}});
    auto output = volume::createOutputVolume(address_);
    ASSERT_EQ(output->makeAudible().raisedFrom, "muted");
    EXPECT_EQ(output->makeAudible().raisedFrom, "");
    output->restore();
    EXPECT_EQ(state(kSinkA), (SinkState{true, {kNorm, kNorm}}));
    set(kSinkA, {false, {kNorm, kNorm}});
    output->restore();
    EXPECT_EQ(state(kSinkA), (SinkState{false, {kNorm, kNorm}}));
}

// The output that was turned up is the one given back, though another became the
// default meanwhile.
TEST_F(SoundServer, RestoresTheOutputItChanged) {
    set(kSinkA, {true, {kNorm, kNorm}});
    set(kSinkB, {true, {kNorm, kNorm}});
    auto output = volume::createOutputVolume(address_);
    ASSERT_EQ(output->makeAudible().raisedFrom, "muted");
    run(std::string("set-default-sink ") + kSinkB);
    output->restore();
    EXPECT_TRUE(state(kSinkA).mute);
    EXPECT_TRUE(state(kSinkB).mute);
}

TEST_F(SoundServer, GivenBackWhenTheProgramEndsDuringTheAlarm) {
    set(kSinkA, {true, {kNorm, kNorm}});
    ASSERT_EQ(volume::createOutputVolume(address_)->makeAudible().raisedFrom, "muted");
    EXPECT_TRUE(state(kSinkA).mute);
}

// No server, and a socket that takes the connection but never answers: the alarm is
// told the output may not be heard, and the call comes back (the test's time limit
// catches a hang).
TEST(NoServer, SaysSoAndChangesNothing) {
    mcitest::TempFolder folder;
    auto output = volume::createOutputVolume("unix:" + (folder.path() / "none").string());
    const auto change = output->makeAudible();
    EXPECT_EQ(change.raisedFrom, "");
    EXPECT_EQ(change.problem, "no sound server answered");
    output->restore();
}

TEST(NoServer, ServerThatNeverAnswers) {
    mcitest::TempFolder folder;
    const auto path = (folder.path() / "silent").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    auto output = volume::createOutputVolume("unix:" + path);
    const auto change = output->makeAudible();
    EXPECT_EQ(change.raisedFrom, "");
    EXPECT_EQ(change.problem, "the sound server did not answer in time");
    ::close(listener);
}

}  // namespace
