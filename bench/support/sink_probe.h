// What the benchmarks that time sound need: a program run on a pipe, a listener on
// the private sink's monitor that notes the first loud sample, an output that notes the
// first loud frame handed to it, and the figures printed as `name: value unit` lines.
#pragma once

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/mcidev/audio_output.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// The sample at fraction p of the sorted values (0 for none).
double percentile(std::vector<double> values, double p);
// `<name>_p50`, `_p95` and `_max` in ms, and `<name>_runs`.
void printLatency(const std::string& name, const std::vector<double>& samplesMs);
double millisecondsBetween(Clock::time_point from, Clock::time_point to);

// A program started through the shell with its standard output on a pipe; stopped and
// reaped when destroyed. The shell says which process it is, then becomes the program.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(SIGTERM); }
    bool start(const std::string& command);
    int output() const;
    // Sends `signal`; kills the program when it has not ended within three seconds.
    bool stop(int signal);

private:
    std::FILE* pipe_ = nullptr;
    long pid_ = -1;
};

// Reads the private sink's monitor (see mcitest::SoundServer) and notes when the first
// loud sample after arm() left the sink: the arrival time of its read, less the frames
// that followed it in that read. The figure includes the monitor's own delivery delay,
// so it is an upper bound.
class LoudnessProbe {
public:
    LoudnessProbe() = default;
    LoudnessProbe(const LoudnessProbe&) = delete;
    LoudnessProbe& operator=(const LoudnessProbe&) = delete;
    ~LoudnessProbe() { stop(); }
    bool start();
    void stop();
    void arm();
    // When the first loud sample since arm() left the sink, waiting up to `timeout`
    // (none: only a look).
    bool waitHeard(std::chrono::milliseconds timeout, Clock::time_point& at) const;

private:
    void run();

    ChildProcess parec_;
    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::atomic<bool> armed_{false};
    std::atomic<bool> heard_{false};
    Clock::time_point heardAt_;  // written before heard_ turns true
};

// Passes every stream through to the SDL output and notes when the first loud frame
// after arm() is handed to it.
class WatchedOutput final : public mcidev::AudioOutput {
public:
    mci::MCIERROR open(const mcidev::StreamFormat& format, mcidev::FillFunction fill,
                       std::unique_ptr<mcidev::AudioStream>& stream) override;
    void arm() { armed_ = true; }
    // When the first loud frame since arm() was handed over, waiting up to `timeout`
    // (none: only a look).
    bool waitLoud(std::chrono::milliseconds timeout, Clock::time_point& at) const;

private:
    std::unique_ptr<mcidev::AudioOutput> inner_ = mcidev::makeSdlOutput();
    std::atomic<bool> armed_{false};
    Clock::time_point loudAt_;  // written before armed_ turns false
};

}  // namespace bench
