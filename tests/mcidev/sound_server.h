// A private sound server for the integration test and the benchmarks: a PulseAudio
// daemon of our own with one null sink, in a temporary runtime folder, so that sound
// played through SDL can be recorded from the sink's monitor and measured. Nothing
// of the user's own session is touched.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mcitest {

// The full path of a program found on PATH, or empty.
std::string findProgram(const std::string& name);

// A child process; killed (SIGTERM, then SIGKILL) and reaped when destroyed.
class ChildProcess {
public:
    ChildProcess() = default;
    // Starts `argv` with `extraEnv` ("NAME=value") added to this process's environment;
    // its standard output goes to `stdoutPath` when given, else to /dev/null.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
               const std::string& stdoutPath = {});
    // The same with its standard output on a pipe; `readFd` is the reading end (the
    // caller closes it).
    bool startPiped(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, int& readFd);
    // Sends `signal` and waits up to `timeoutMs` for the exit; true when it exited.
    bool stop(int signal, int timeoutMs);
    bool running();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

private:
    bool spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
               const std::string& stdoutPath, int pipeWriteFd);
    pid_t pid_ = -1;
};

class SoundServer {
public:
    static constexpr const char* kSink = "tolvane_test";

    // Why the server cannot run here (a program missing), or empty.
    static std::string missingTools();

    explicit SoundServer(const std::filesystem::path& folder);
    ~SoundServer();

    // Starts the daemon and waits until it answers. On failure `error` says why.
    bool start(std::string& error);
    // Points this process's sound clients (SDL, libpulse) at the server.
    void useInThisProcess() const;
    // The environment a client process needs.
    std::vector<std::string> clientEnvironment() const;
    std::string serverAddress() const;

private:
    std::filesystem::path folder_;
    ChildProcess daemon_;
};

// The arguments of parec recording the sink's monitor as raw 16-bit stereo at 44.1 kHz.
std::vector<std::string> monitorRecordCommand(int latencyMs);

// Records the sink's monitor into a file until stop().

class MonitorRecorder {
public:
    MonitorRecorder(const SoundServer& server, std::filesystem::path file);
    bool start();
    bool stop();
    const std::filesystem::path& file() const { return file_; }

private:
    const SoundServer& server_;
    std::filesystem::path file_;
    ChildProcess parec_;
};

struct SoundMeasure {
    double trimmedSeconds = 0;  // from the first to the last sample above the threshold
    double rms = 0;             // of the trimmed part, 0..1
    bool ok = false;
};

// Measures a raw recording with sox: silence trimmed from both ends at 1% of full scale.
SoundMeasure measureRecording(const std::filesystem::path& raw, std::string& error);

}  // namespace mcitest
