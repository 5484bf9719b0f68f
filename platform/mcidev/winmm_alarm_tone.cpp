// The alarm's own tone through the system's wave output: the pattern's period, in
// stereo, in two buffers that a thread of its own hands back to the output as each
// one finishes, until the tone is stopped.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/mcidev/winmm_devices.h"
#include "sys/alarm_tone_wave.h"

#include <windows.h>

#include <mmsystem.h>

namespace mcidev {
namespace {

constexpr int kChannels = 2;

class WaveOutTone final : public sys::AlarmTone {
public:
    WaveOutTone() {
        const std::vector<std::int16_t> period = sys::alarmTonePeriod();
        samples_.reserve(period.size() * kChannels);
        for (const std::int16_t s : period) samples_.insert(samples_.end(), kChannels, s);
    }
    ~WaveOutTone() override { stop(); }

    WaveOutTone(const WaveOutTone&) = delete;
    WaveOutTone& operator=(const WaveOutTone&) = delete;

    std::string start() override {
        if (sounding()) return {};
        stop();
        done_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (done_ == nullptr) return "The alarm tone could not be started";
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = kChannels;
        format.nSamplesPerSec = sys::kAlarmToneRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = static_cast<WORD>(kChannels * sizeof(std::int16_t));
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        if (::waveOutOpen(&out_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
            out_ = nullptr;
            stop();
            return "No wave output device is available (no sound card or sound driver was found)";
        }
        // The output only reads the samples, so both buffers share them.
        for (WAVEHDR& header : headers_) {
            header = WAVEHDR{};
            header.lpData = reinterpret_cast<LPSTR>(samples_.data());
            header.dwBufferLength = static_cast<DWORD>(samples_.size() * sizeof(std::int16_t));
            if (::waveOutPrepareHeader(out_, &header, sizeof header) != MMSYSERR_NOERROR ||
                ::waveOutWrite(out_, &header, sizeof header) != MMSYSERR_NOERROR) {
                stop();
                return "The wave output refused the alarm tone";
            }
        }
        lost_ = false;
        quit_ = false;
        feeder_ = std::thread([this] { feed(); });
        return {};
    }

    void stop() override {
        if (feeder_.joinable()) {
            quit_ = true;
            ::SetEvent(done_);
            feeder_.join();
        }
        if (out_ != nullptr) {
            ::waveOutReset(out_);  // hands every buffer back
            for (WAVEHDR& header : headers_)
                if ((header.dwFlags & WHDR_PREPARED) != 0) ::waveOutUnprepareHeader(out_, &header, sizeof header);
            ::waveOutClose(out_);
            out_ = nullptr;
        }
        if (done_ != nullptr) {
            ::CloseHandle(done_);
            done_ = nullptr;
        }
    }

    bool sounding() const override { return out_ != nullptr && !lost_; }

private:
    // Writes each finished buffer again; an output that no longer takes one (its device
    // went away) leaves the tone silent, and the next start() opens the output afresh.
    void feed() {
        while (!quit_) {
            ::WaitForSingleObject(done_, INFINITE);
            for (WAVEHDR& header : headers_) {
                if (quit_ || (header.dwFlags & WHDR_DONE) == 0) continue;
                if (::waveOutWrite(out_, &header, sizeof header) != MMSYSERR_NOERROR) {
                    lost_ = true;
                    return;
                }
            }
        }
    }

    std::vector<std::int16_t> samples_;
    HWAVEOUT out_ = nullptr;
    HANDLE done_ = nullptr;
    WAVEHDR headers_[2]{};
    std::thread feeder_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> lost_{false};
};

}  // namespace

std::unique_ptr<sys::AlarmTone> createAlarmTone() { return std::make_unique<WaveOutTone>(); }

}  // namespace mcidev
