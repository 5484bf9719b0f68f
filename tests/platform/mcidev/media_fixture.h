// Shared pieces of the media device tests (and benchmarks): wave files, a window that
// records completion notices, draining the message queue, wrappers for the requests,
// the devices ready to use, and a private sound server to play into.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mci/commands.h"
#include "mci/device.h"
#include "platform/mcidev/device_manager.h"
#include "tests/support/temp_folder.h"
#include "sys/message_queue.h"

namespace mcitest {

using mci::DWORD, mci::DWORD_PTR, mci::MCIDEVICEID, mci::MCIERROR, mci::UINT;

struct WaveShape {
    int sampleRate = 44100;
    int channels = 2;
    std::uint64_t frames = 44100;  // one second
    double toneHz = 440.0;         // at half of full scale; 0 gives silence
};

// The bytes of a RIFF wave file of 16-bit PCM.
std::vector<std::uint8_t> waveBytes(const WaveShape& plan);
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::filesystem::path writeWave(const std::filesystem::path& path, const WaveShape& plan);

struct Received {
    std::uintptr_t outcome = 0;
    std::intptr_t device = 0;
    std::chrono::steady_clock::time_point at;
};

// A window that keeps every notice it receives.
class NoticeWindow final : public sys::MessageReceiver {
public:
    explicit NoticeWindow(sys::MessageQueue& queue) : queue_(queue), handle_(queue.registerWindow(*this)) {}
    ~NoticeWindow() { queue_.unregisterWindow(handle_); }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    void handleMessage(const sys::Message& msg) override {
        received.push_back({msg.wParam, msg.lParam, std::chrono::steady_clock::now()});
        if (onMessage) onMessage(msg);
    }
    DWORD_PTR handle() const { return handle_; }
    std::vector<UINT> outcomes() const {
        std::vector<UINT> result;
        for (const Received& r : received) result.push_back(static_cast<UINT>(r.outcome));
        return result;
    }

    std::vector<Received> received;
    std::function<void(const sys::Message&)> onMessage;

private:
    sys::MessageQueue& queue_;
    sys::WindowHandle handle_;
};

// Drains the queue until `done` holds (true) or `timeout` has passed (false).
bool drainUntil(sys::MessageQueue& queue, const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
void drainFor(sys::MessageQueue& queue, std::chrono::milliseconds duration);

// Small wrappers over sendCommand for the tests' own requests.
class Commands {
public:
    explicit Commands(mci::DeviceInterface& devices) : devices_(devices) {}

    MCIERROR open(const char* type, const std::string& element, MCIDEVICEID& id, DWORD extraFlags = 0,
                  DWORD_PTR callback = 0);
    MCIERROR close(MCIDEVICEID id, DWORD flags = mci::MCI_WAIT, DWORD_PTR callback = 0) {
        return simple(id, mci::MCI_CLOSE, flags, callback);
    }
    MCIERROR play(MCIDEVICEID id, DWORD_PTR callback, DWORD flags = mci::MCI_NOTIFY, DWORD from = 0, DWORD to = 0) {
        return send(id, mci::MCI_PLAY, flags, mci::MCI_PLAY_PARMS{callback, from, to});
    }
    MCIERROR simple(MCIDEVICEID id, UINT message, DWORD flags = mci::MCI_WAIT, DWORD_PTR callback = 0) {
        return send(id, message, flags, mci::MCI_GENERIC_PARMS{callback});
    }
    MCIERROR seek(MCIDEVICEID id, DWORD flags, DWORD to = 0, DWORD_PTR callback = 0) {
        return send(id, mci::MCI_SEEK, flags, mci::MCI_SEEK_PARMS{callback, to});
    }
    MCIERROR setTimeFormat(MCIDEVICEID id, DWORD format, DWORD flags = mci::MCI_WAIT, DWORD_PTR callback = 0) {
        return send(id, mci::MCI_SET, mci::MCI_SET_TIME_FORMAT | flags, mci::MCI_SET_PARMS{callback, format, 0});
    }
    // `value` is what the record's return field holds before and after the request.
    MCIERROR status(MCIDEVICEID id, DWORD item, DWORD_PTR& value, DWORD extraFlags = 0, DWORD track = 0) {
        mci::MCI_STATUS_PARMS p{0, value, item, track};
        const MCIERROR result =
            devices_.sendCommand(id, mci::MCI_STATUS, mci::MCI_STATUS_ITEM | mci::MCI_WAIT | extraFlags, &p);
        value = p.dwReturn;
        return result;
    }
    // The status value, or ~0 when the query fails.
    DWORD_PTR statusOr(MCIDEVICEID id, DWORD item, DWORD extraFlags = 0, DWORD track = 0) {
        DWORD_PTR value = ~DWORD_PTR{0};
        return status(id, item, value, extraFlags, track) == 0 ? value : ~DWORD_PTR{0};
    }
    MCIERROR caps(MCIDEVICEID id, DWORD item, DWORD& value) {
        mci::MCI_GETDEVCAPS_PARMS p{0, value, item};
        const MCIERROR result =
            devices_.sendCommand(id, mci::MCI_GETDEVCAPS, mci::MCI_GETDEVCAPS_ITEM | mci::MCI_WAIT, &p);
        value = p.dwReturn;
        return result;
    }

private:
    template <typename Params>
    MCIERROR send(MCIDEVICEID id, UINT message, DWORD flags, Params params) {
        return devices_.sendCommand(id, message, flags, &params);
    }
    mci::DeviceInterface& devices_;
};

// What a device test works with: the devices over a queue, a folder for its files and
// a window for notices. start() makes the devices afresh with other options.
struct DeviceRig {
    explicit DeviceRig(const mcidev::DeviceOptions& options = {}) { start(options); }
    void start(const mcidev::DeviceOptions& options) {
        cmd.reset();
        devices = mcidev::createDeviceManager(queue, options);
        cmd = std::make_unique<Commands>(*devices);
    }
    bool waitForNotices(std::size_t count) {
        return drainUntil(queue, [&] { return window.received.size() >= count; });
    }

    sys::MessageQueue queue;
    TempFolder folder;
    std::unique_ptr<mci::DeviceInterface> devices;
    std::unique_ptr<Commands> cmd;
    NoticeWindow window{queue};
};

// An output that plays nothing: the test itself pulls what the open streams give and
// gets their sum, so an output that stops pulling is one the test does not pull.
// Takes 44.1 kHz stereo only; `failure` makes every open fail.
class RecordingOutput final : public mcidev::AudioOutput {
public:
    MCIERROR open(const mcidev::StreamFormat& format, mcidev::FillFunction fill,
                  std::unique_ptr<mcidev::AudioStream>& stream) override;
    std::size_t streams() const;
    std::size_t opens() const;
    std::vector<std::int16_t> pull(std::size_t frames);
    // The streams open now report themselves lost, as those of a device that went away
    // (they are still pulled).
    void loseStreams();

    MCIERROR failure = 0;

private:
    class Stream;
    mutable std::mutex mutex_;
    std::vector<Stream*> streams_;
    std::size_t opens_ = 0;
};

// A PulseAudio daemon of our own with one null sink, in a folder of its own, so that
// what SDL plays can be recorded from the sink's monitor. start() points this process,
// and every program it starts, at it; nothing of the user's own session is touched.
class SoundServer {
public:
    static constexpr const char* kSink = "tolvane_test";
    // Why the server cannot run here (a program missing), or empty.
    static std::string missingTools();

    explicit SoundServer(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ~SoundServer() { stop(); }
    bool start(std::string& error);
    void stop();

private:
    std::filesystem::path folder_;
    bool started_ = false;
};

// Records the sink's monitor as raw 16-bit stereo at 44.1 kHz to its standard output.
std::string monitorRecordCommand(int latencyMs);

}  // namespace mcitest
