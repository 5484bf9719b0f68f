#include "tests/platform/mcidev/media_fixture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace mcitest {

using namespace mci;

std::vector<std::uint8_t> waveBytes(const WaveShape& plan) {
    const auto blockAlign = static_cast<std::uint32_t>(2 * plan.channels);
    const auto dataBytes = static_cast<std::uint32_t>(plan.frames * blockAlign);
    const auto rate = static_cast<std::uint32_t>(plan.sampleRate);
    std::vector<std::uint8_t> out;
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int b = 0; b < bytes; ++b) out.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    };
    out = {'R', 'I', 'F', 'F'};
    put(36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
    for (const auto& [value, bytes] : {std::pair{static_cast<std::uint32_t>(plan.channels), 2},
                                       {rate, 4},
                                       {rate * blockAlign, 4},
                                       {blockAlign, 2},
                                       {16u, 2}})
        put(value, bytes);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(dataBytes, 4);
    for (std::uint64_t f = 0; f < plan.frames * plan.channels; ++f) {
        const double t = static_cast<double>(f / plan.channels) / plan.sampleRate;
        const double v = plan.toneHz > 0 ? 0.5 * std::sin(2 * M_PI * plan.toneHz * t + f % plan.channels) : 0;
        put(static_cast<std::uint32_t>(std::lround(v * 32767)), 2);
    }
    return out;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error(path.string() + ": cannot write");
}

std::filesystem::path writeWave(const std::filesystem::path& path, const WaveShape& plan) {
    writeFile(path, waveBytes(plan));
    return path;
}

bool drainUntil(sys::MessageQueue& queue, const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        queue.drain();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void drainFor(sys::MessageQueue& queue, std::chrono::milliseconds duration) {
    drainUntil(
        queue, [] { return false; }, duration);
}

MCIERROR Commands::open(const char* type, const std::string& element, MCIDEVICEID& id, DWORD extraFlags,
                        DWORD_PTR callback) {
    MCI_OPEN_PARMS p{callback, 0xDEAD, type, element.empty() ? nullptr : element.c_str(), nullptr};
    const DWORD flags =
        MCI_WAIT | extraFlags | (type != nullptr ? MCI_OPEN_TYPE : 0) | (element.empty() ? 0 : MCI_OPEN_ELEMENT);
    const MCIERROR result = devices_.sendCommand(0, MCI_OPEN, flags, &p);
    id = p.wDeviceID;
    return result;
}

class RecordingOutput::Stream final : public mcidev::AudioStream {
public:
    Stream(RecordingOutput& output, mcidev::FillFunction fill) : output(output), fill(std::move(fill)) {}
    ~Stream() override {
        std::lock_guard lock(output.mutex_);
        std::erase(output.streams_, this);
    }
    std::size_t bufferFrames() const override { return 512; }
    bool lost() const override { return gone; }

    RecordingOutput& output;
    mcidev::FillFunction fill;
    std::atomic<bool> gone{false};
};

MCIERROR RecordingOutput::open(const mcidev::StreamFormat& format, mcidev::FillFunction fill,
                               std::unique_ptr<mcidev::AudioStream>& stream) {
    if (failure != 0) return failure;
    if (format.sampleRate != 44100 || format.channels != 2) return MCIERR_WAVE_OUTPUTSUNSUITABLE;
    auto made = std::make_unique<Stream>(*this, std::move(fill));
    std::lock_guard lock(mutex_);
    streams_.push_back(made.get());
    ++opens_;
    stream = std::move(made);
    return 0;
}

std::size_t RecordingOutput::streams() const {
    std::lock_guard lock(mutex_);
    return streams_.size();
}

std::size_t RecordingOutput::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

void RecordingOutput::loseStreams() {
    std::lock_guard lock(mutex_);
    for (Stream* s : streams_) s->gone = true;
}

std::vector<std::int16_t> RecordingOutput::pull(std::size_t frames) {
    std::vector<int> sum(frames * 2, 0);
    std::vector<std::int16_t> one(frames * 2);
    std::lock_guard lock(mutex_);
    for (Stream* s : streams_) {
        s->fill(one.data(), frames);
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += one[i];
    }
    std::vector<std::int16_t> out(sum.size());
    for (std::size_t i = 0; i < sum.size(); ++i) out[i] = static_cast<std::int16_t>(std::clamp(sum[i], -32768, 32767));
    return out;
}

std::string SoundServer::missingTools() {
    for (const std::string tool : {"pulseaudio", "parec"})
        if (std::system(("command -v " + tool + " >/dev/null").c_str()) != 0) return tool + " is not installed";
    return {};
}

// The daemon forks itself away once it serves; the sink is loaded before the socket.
// As root, --system=false must be spelled out. Should this process be killed before it
// can stop the daemon, that ends by itself 20 s after its last client.
bool SoundServer::start(std::string& error) {
    std::filesystem::create_directories(folder_ / "pulse");
    for (const auto& [name, value] : {std::pair{"XDG_RUNTIME_DIR", folder_},
                                      {"HOME", folder_},
                                      {"PULSE_RUNTIME_PATH", folder_ / "pulse"},
                                      {"PULSE_SERVER", std::filesystem::path("unix:") += folder_ / "pulse/native"}})
        ::setenv(name, value.c_str(), 1);
    ::setenv("PULSE_SINK", kSink, 1);
    const std::string command = std::string("pulseaudio -n --daemonize=yes --exit-idle-time=20 --system=false ") +
                                "--load='module-null-sink sink_name=" + kSink + " rate=44100 channels=2' " +
                                "--load='module-native-protocol-unix auth-anonymous=1' >/dev/null 2>&1";
    started_ = std::system(command.c_str()) == 0;
    if (!started_) error = "pulseaudio did not start";
    return started_;
}

void SoundServer::stop() {
    if (started_ && std::system("pulseaudio --kill >/dev/null 2>&1") != 0)
        std::fprintf(stderr, "the test sound server did not stop\n");
    started_ = false;
}

std::string monitorRecordCommand(int latencyMs) {
    return std::string("parec --device=") + SoundServer::kSink +
           ".monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=" + std::to_string(latencyMs);
}

}  // namespace mcitest
