// Shared pieces of the media device tests: a temporary folder, wave files, a window that
// records completion notices, and draining the message queue until something happened.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mci/commands.h"
#include "mci/device.h"
#include "ui/message_queue.h"

namespace mcitest {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct WaveShape {
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;                 // 8, 16, 24 or 32 (integer PCM)
    std::uint64_t frames = 44100;  // one second
    double toneHz = 440.0;         // 0 gives silence
    double level = 0.5;            // of full scale
};

// The bytes of a RIFF wave file of integer PCM.
std::vector<std::uint8_t> waveBytes(const WaveShape& plan);
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::filesystem::path writeWave(const std::filesystem::path& path, const WaveShape& plan);

struct Received {
    std::uint32_t message = 0;
    std::uintptr_t outcome = 0;
    std::intptr_t device = 0;
    std::chrono::steady_clock::time_point at;
};

// A window that keeps every message it receives.
class NoticeWindow final : public ui::MessageReceiver {
public:
    explicit NoticeWindow(ui::MessageQueue& queue) : queue_(queue), handle_(queue.registerWindow(*this)) {}
    ~NoticeWindow() { queue_.unregisterWindow(handle_); }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    void handleMessage(const ui::Message& msg) override {
        received.push_back({msg.id, msg.wParam, msg.lParam, std::chrono::steady_clock::now()});
        if (onMessage) onMessage(msg);
    }
    mci::DWORD_PTR handle() const { return handle_; }
    std::vector<mci::UINT> outcomes() const {
        std::vector<mci::UINT> result;
        for (const Received& r : received) result.push_back(static_cast<mci::UINT>(r.outcome));
        return result;
    }

    std::vector<Received> received;
    std::function<void(const ui::Message&)> onMessage;

private:
    ui::MessageQueue& queue_;
    ui::WindowHandle handle_;
};

// Drains the queue until `done` holds (true) or `timeout` has passed (false).
bool drainUntil(ui::MessageQueue& queue, const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
void drainFor(ui::MessageQueue& queue, std::chrono::milliseconds duration);

// Small wrappers over sendCommand for the tests' own requests.
class Commands {
public:
    explicit Commands(mci::DeviceInterface& devices) : devices_(devices) {}

    mci::MCIERROR open(const char* type, const std::string& element, mci::MCIDEVICEID& id,
                       mci::DWORD extraFlags = 0, mci::DWORD_PTR callback = 0);
    mci::MCIERROR close(mci::MCIDEVICEID id, mci::DWORD flags = mci::MCI_WAIT, mci::DWORD_PTR callback = 0);
    mci::MCIERROR play(mci::MCIDEVICEID id, mci::DWORD_PTR callback, mci::DWORD flags = mci::MCI_NOTIFY,
                       mci::DWORD from = 0, mci::DWORD to = 0);
    mci::MCIERROR simple(mci::MCIDEVICEID id, mci::UINT message, mci::DWORD flags = mci::MCI_WAIT,
                         mci::DWORD_PTR callback = 0);
    mci::MCIERROR seek(mci::MCIDEVICEID id, mci::DWORD flags, mci::DWORD to = 0, mci::DWORD_PTR callback = 0);
    mci::MCIERROR setTimeFormat(mci::MCIDEVICEID id, mci::DWORD format, mci::DWORD flags = mci::MCI_WAIT,
                                mci::DWORD_PTR callback = 0);
    mci::MCIERROR status(mci::MCIDEVICEID id, mci::DWORD item, mci::DWORD_PTR& value, mci::DWORD extraFlags = 0,
                         mci::DWORD track = 0);
    // The status value, or ~0 when the query fails.
    mci::DWORD_PTR statusOr(mci::MCIDEVICEID id, mci::DWORD item, mci::DWORD extraFlags = 0, mci::DWORD track = 0);
    mci::MCIERROR caps(mci::MCIDEVICEID id, mci::DWORD item, mci::DWORD& value);

private:
    mci::DeviceInterface& devices_;
};

}  // namespace mcitest
