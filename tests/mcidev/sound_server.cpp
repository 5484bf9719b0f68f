#include "tests/mcidev/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace mcitest {

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                         const std::string& stdoutPath) {
    return spawn(argv, extraEnv, stdoutPath, -1);
}

bool ChildProcess::startPiped(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                              int& readFd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const bool ok = spawn(argv, extraEnv, {}, fds[1]);
    ::close(fds[1]);
    if (!ok) {
        ::close(fds[0]);
        return false;
    }
    readFd = fds[0];
    return true;
}

bool ChildProcess::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                         const std::string& stdoutPath, int pipeWriteFd) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const std::string& extra : extraEnv) overridden |= extra.compare(0, name.size() + 1, name + "=") == 0;
        if (!overridden) env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = stdoutPath.empty() ? "/dev/null" : stdoutPath;
    if (pipeWriteFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeWriteFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
}

bool ChildProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

bool ChildProcess::stop(int signal, int timeoutMs) {
    if (pid_ <= 0) return true;
    ::kill(pid_, signal);
    for (int waited = 0; waited <= timeoutMs; waited += 5) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !stop(SIGTERM, 2000)) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string SoundServer::missingTools() {
    for (const char* tool : {"pulseaudio", "pactl", "parec", "sox"})
        if (findProgram(tool).empty()) return std::string(tool) + " is not installed";
    return {};
}

SoundServer::SoundServer(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_ / "pulse");
}

SoundServer::~SoundServer() { daemon_.stop(SIGTERM, 3000); }

std::string SoundServer::serverAddress() const { return "unix:" + (folder_ / "pulse" / "native").string(); }

std::vector<std::string> SoundServer::clientEnvironment() const {
    return {"PULSE_SERVER=" + serverAddress(), "XDG_RUNTIME_DIR=" + folder_.string(),
            "PULSE_RUNTIME_PATH=" + (folder_ / "pulse").string(), "HOME=" + folder_.string()};
}

bool SoundServer::start(std::string& error) {
    // Running as root needs --system=false spelled out; the daemon then only warns. It
    // ends by itself 20 s after its last client has gone, should this process be killed
    // before it can stop it.
    const std::vector<std::string> argv{
        "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=20", "--system=false", "--disallow-exit=true",
        "--log-target=stderr", "--load=module-native-protocol-unix auth-anonymous=1",
        std::string("--load=module-null-sink sink_name=") + kSink + " rate=44100 channels=2"};
    if (!daemon_.start(argv, {"XDG_RUNTIME_DIR=" + folder_.string(),
                              "PULSE_RUNTIME_PATH=" + (folder_ / "pulse").string(), "HOME=" + folder_.string()})) {
        error = "cannot start pulseaudio";
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!daemon_.running()) {
            error = "pulseaudio exited at start";
            return false;
        }
        if (std::filesystem::exists(folder_ / "pulse" / "native")) {
            std::string command = "env";
            for (const std::string& e : clientEnvironment()) command += " '" + e + "'";
            command += " pactl list short sinks 2>/dev/null";
            if (FILE* pipe = ::popen(command.c_str(), "r")) {
                char line[512];
                bool found = false;
                while (std::fgets(line, sizeof line, pipe) != nullptr) found |= std::strstr(line, kSink) != nullptr;
                ::pclose(pipe);
                if (found) return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "pulseaudio did not answer";
    return false;
}

void SoundServer::useInThisProcess() const {
    for (const std::string& e : clientEnvironment()) {
        const auto eq = e.find('=');
        ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    ::setenv("PULSE_SINK", kSink, 1);
}

MonitorRecorder::MonitorRecorder(const SoundServer& server, std::filesystem::path file)
    : server_(server), file_(std::move(file)) {}

std::vector<std::string> monitorRecordCommand(int latencyMs) {
    return {"parec",         std::string("--device=") + SoundServer::kSink + ".monitor",
            "--format=s16le", "--rate=44100",
            "--channels=2",   "--latency-msec=" + std::to_string(latencyMs),
            "--raw"};
}

bool MonitorRecorder::start() {
    if (!parec_.start(monitorRecordCommand(10), server_.clientEnvironment(), file_.string())) return false;
    // Give the stream time to connect, so that nothing played after this is missed.
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::error_code ec;
        if (std::filesystem::file_size(file_, ec) > 0 && !ec) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return parec_.running();
}

bool MonitorRecorder::stop() { return parec_.stop(SIGINT, 3000); }

SoundMeasure measureRecording(const std::filesystem::path& raw, std::string& error) {
    SoundMeasure m;
    const std::string command = "sox -t raw -r 44100 -e signed-integer -b 16 -c 2 '" + raw.string() +
                                "' -n silence 1 0.001 1% reverse silence 1 0.001 1% reverse stat 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        error = "cannot run sox";
        return m;
    }
    char line[512];
    bool haveLength = false;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        double value = 0;
        if (std::sscanf(line, "Length (seconds): %lf", &value) == 1) {
            m.trimmedSeconds = value;
            haveLength = true;
        } else if (std::sscanf(line, "RMS amplitude: %lf", &value) == 1 ||
                   std::sscanf(line, "RMS     amplitude: %lf", &value) == 1) {
            m.rms = value;
        }
    }
    const int status = ::pclose(pipe);
    m.ok = haveLength && status == 0;
    if (!m.ok) error = "sox could not measure " + raw.string();
    return m;
}

}  // namespace mcitest
