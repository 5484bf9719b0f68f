#include "bench/support/sink_probe.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "tests/platform/mcidev/media_fixture.h"

namespace bench {

using namespace std::chrono_literals;

namespace {

constexpr int kLoud = 330;  // 1% of full scale
constexpr int kRate = 44100;

// Polls `done` every millisecond until it holds or `timeout` has passed; looks once
// even with no time to wait.
template <typename Done>
bool pollFor(std::chrono::milliseconds timeout, Done done) {
    for (const auto end = Clock::now() + timeout;; std::this_thread::sleep_for(1ms)) {
        if (done()) return true;
        if (Clock::now() >= end) return false;
    }
}

}  // namespace

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

void printLatency(const std::string& name, const std::vector<double>& samplesMs) {
    std::printf("%s_p50: %.1f ms\n", name.c_str(), percentile(samplesMs, 0.5));
    std::printf("%s_p95: %.1f ms\n", name.c_str(), percentile(samplesMs, 0.95));
    std::printf("%s_max: %.1f ms\n", name.c_str(), percentile(samplesMs, 1.0));
    std::printf("%s_runs: %zu runs\n", name.c_str(), samplesMs.size());
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool ChildProcess::start(const std::string& command) {
    pipe_ = ::popen(("echo $$; exec " + command).c_str(), "re");
    return pipe_ != nullptr && std::fscanf(pipe_, "%ld\n", &pid_) == 1;
}

int ChildProcess::output() const { return pipe_ == nullptr ? -1 : fileno(pipe_); }

bool ChildProcess::stop(int signal) {
    if (pipe_ == nullptr) return true;
    const auto pid = static_cast<pid_t>(pid_);
    bool ended = ::kill(pid, signal) != 0;
    for (int waited = 0; !ended && waited < 3000; waited += 5) {
        ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
        if (!ended) std::this_thread::sleep_for(5ms);
    }
    if (!ended) ::kill(pid, SIGKILL);
    ::pclose(pipe_);  // reaps the program unless waitpid did
    pipe_ = nullptr;
    return ended;
}

bool LoudnessProbe::start() {
    if (!parec_.start(mcitest::monitorRecordCommand(2))) return false;
    fd_ = parec_.output();
    running_ = true;
    thread_ = std::thread([this] { run(); });
    std::this_thread::sleep_for(300ms);
    return true;
}

void LoudnessProbe::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    parec_.stop(SIGINT);
}

void LoudnessProbe::arm() {
    heard_ = false;
    armed_ = true;
}

bool LoudnessProbe::waitHeard(std::chrono::milliseconds timeout, Clock::time_point& at) const {
    if (!pollFor(timeout, [this] { return heard_.load(); })) return false;
    at = heardAt_;
    return true;
}

void LoudnessProbe::run() {
    std::size_t carry = 0;  // bytes of a frame split across reads
    unsigned char partial[4];
    while (running_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        unsigned char raw[8192];
        const ssize_t n = ::read(fd_, raw, sizeof raw);
        if (n <= 0) break;
        const auto arrived = Clock::now();
        // Whole frames (4 bytes) only; keep any rest for the next read.
        std::vector<unsigned char> bytes(partial, partial + carry);
        bytes.insert(bytes.end(), raw, raw + n);
        const std::size_t frames = bytes.size() / 4;
        carry = bytes.size() - frames * 4;
        std::copy(bytes.end() - static_cast<long>(carry), bytes.end(), partial);
        if (!armed_) continue;
        for (std::size_t f = 0; f < frames; ++f) {
            const auto left = static_cast<std::int16_t>(bytes[4 * f] | (bytes[4 * f + 1] << 8));
            if (std::abs(left) > kLoud) {
                // The sample left the sink (frames - f) frames before this read came in.
                heardAt_ = arrived - std::chrono::microseconds((frames - f) * 1000000 / kRate);
                armed_ = false;
                heard_ = true;
                break;
            }
        }
    }
}

mci::MCIERROR WatchedOutput::open(const mcidev::StreamFormat& format, mcidev::FillFunction fill,
                                  std::unique_ptr<mcidev::AudioStream>& stream) {
    const auto channels = static_cast<std::size_t>(format.channels);
    return inner_->open(
        format,
        [this, channels, fill = std::move(fill)](std::int16_t* out, std::size_t frames) {
            fill(out, frames);
            if (!armed_.load() ||
                !std::any_of(out, out + frames * channels, [](std::int16_t v) { return std::abs(v) > kLoud; }))
                return;
            loudAt_ = Clock::now();
            armed_ = false;
        },
        stream);
}

bool WatchedOutput::waitLoud(std::chrono::milliseconds timeout, Clock::time_point& at) const {
    if (!pollFor(timeout, [this] { return !armed_.load(); })) return false;
    at = loudAt_;
    return true;
}

}  // namespace bench
