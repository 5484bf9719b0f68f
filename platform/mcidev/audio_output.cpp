#include "platform/mcidev/audio_output.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/mcidev/error_text.h"

namespace mcidev {
namespace {

// About 10 ms per pull: short enough for a quick start, long enough that a pull a
// hundred times a second costs nothing worth measuring.
std::uint16_t pullFrames(int sampleRate) {
    std::uint16_t frames = 128;
    while (frames < 4096 && frames * 100 < sampleRate) frames = static_cast<std::uint16_t>(frames * 2);
    return frames;
}

constexpr int kOutputChannels = 2;

std::chrono::steady_clock::rep nowTicks() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

}  // namespace

void PullWatch::restart() {
    pulls_.store(0, std::memory_order_relaxed);
    last_.store(nowTicks(), std::memory_order_relaxed);
}

void PullWatch::pulled() {
    last_.store(nowTicks(), std::memory_order_relaxed);
    pulls_.store(pulls_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

bool PullWatch::stalled(std::size_t bufferFrames, int sampleRate) const {
    using std::chrono::milliseconds;
    milliseconds limit(4000);
    if (pulls_.load(std::memory_order_relaxed) >= 4) {
        const milliseconds buffers(4 * 1000 * static_cast<std::int64_t>(bufferFrames) / std::max(sampleRate, 1));
        limit = std::clamp(buffers, milliseconds(500), milliseconds(2000));
    }
    return std::chrono::steady_clock::duration(nowTicks() - last_.load(std::memory_order_relaxed)) > limit;
}

namespace {

// One source feeding the mixer, in its own format; converted to the output's format
// when the two differ.
struct Voice {
    FillFunction fill;
    int channels = 2;
    SDL_AudioStream* converter = nullptr;  // null: same format as the output
    std::vector<std::int16_t> scratch;

    ~Voice() {
        if (converter != nullptr) SDL_FreeAudioStream(converter);
    }

    // Puts `frames` output frames into `out`.
    void pull(std::int16_t* out, std::size_t frames, std::size_t chunkFrames) {
        if (converter == nullptr) {
            fill(out, frames);
            return;
        }
        const int want = static_cast<int>(frames * kOutputChannels * sizeof(std::int16_t));
        scratch.resize(chunkFrames * static_cast<std::size_t>(channels));
        while (SDL_AudioStreamAvailable(converter) < want) {
            fill(scratch.data(), chunkFrames);
            if (SDL_AudioStreamPut(converter, scratch.data(),
                                   static_cast<int>(scratch.size() * sizeof(std::int16_t))) != 0)
                break;
        }
        const int got = std::max(SDL_AudioStreamGet(converter, out, want), 0);
        if (got < want) std::memset(reinterpret_cast<char*>(out) + got, 0, static_cast<std::size_t>(want - got));
    }
};

// All playing devices go through one output device: the sources are summed into it.
// It is opened when the first source starts and closed, with the audio subsystem, when
// the last one stops, so nothing of it runs while nothing plays. One device also suits
// outputs that offer a single device only (the dummy driver, some sound servers).
//
// A device can die under the sources: the sound server quits or restarts, a headset is
// pulled. SDL then reports it stopped, or its audio thread stops calling; either way
// it is given up at the next add, which opens the output afresh. Each opening has its
// own number, so that the sources of a device given up know they are lost.
class Mixer {
public:
    ~Mixer() { closeDevice(); }

    // `opening` receives the number of the device opening the voice is added to.
    mci::MCIERROR add(Voice* voice, const StreamFormat& format, std::size_t& bufferFrames, std::uint64_t& opening) {
        if (device_ != 0 && lost(opening_)) {
            {
                std::lock_guard lock(mutex_);
                voices_.clear();
            }
            closeDevice();
        }
        if (device_ == 0) {
            if (const mci::MCIERROR e = openDevice(format.sampleRate)) return e;
        }
        if (format.sampleRate != rate_ || format.channels != kOutputChannels) {
            voice->converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(format.channels), format.sampleRate,
                                                  AUDIO_S16SYS, kOutputChannels, rate_);
            if (voice->converter == nullptr) {
                if (voices_.empty()) closeDevice();
                return mci::MCIERR_WAVE_OUTPUTSUNSUITABLE;
            }
        }
        voice->channels = format.channels;
        // Frames of the voice that one pull of the output holds.
        bufferFrames =
            static_cast<std::size_t>(static_cast<std::uint64_t>(bufferFrames_) *
                                     static_cast<std::uint64_t>(format.sampleRate) / static_cast<std::uint64_t>(rate_));
        {
            std::lock_guard lock(mutex_);
            voices_.push_back(voice);
        }
        SDL_PauseAudioDevice(device_, 0);
        opening = opening_;
        return 0;
    }

    // Whether the sources added with `opening` are no longer heard: that device was
    // given up, has failed, or has stopped pulling.
    bool lost(std::uint64_t opening) const {
        if (device_ == 0 || opening != opening_) return true;
        if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) return true;
        return pulls_.stalled(bufferFrames_, rate_);
    }

    // After this returns the voice is never pulled again.
    void remove(Voice* voice) {
        bool empty = false;
        {
            std::lock_guard lock(mutex_);
            voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
            empty = voices_.empty();
        }
        if (empty) closeDevice();
    }

private:
    mci::MCIERROR openDevice(int sampleRate) {
        // Our own process keeps its signals: SDL must not take over SIGINT and SIGTERM.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Tolvane");
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Alarm sound");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return MCIERR_NO_AUDIO_OUTPUT;
        SDL_AudioSpec want{};
        want.freq = sampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = kOutputChannels;
        want.samples = pullFrames(sampleRate);
        want.callback = &Mixer::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // SDL converts to what the hardware wants; the mixer always sees this format.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return MCIERR_NO_AUDIO_OUTPUT;
        }
        rate_ = sampleRate;
        bufferFrames_ = have.samples;
        ++opening_;
        pulls_.restart();
        return 0;
    }

    void closeDevice() {
        if (device_ == 0) return;
        SDL_CloseAudioDevice(device_);  // joins the audio thread
        device_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    static void SDLCALL callback(void* userdata, Uint8* stream, int len) {
        static_cast<Mixer*>(userdata)->mix(reinterpret_cast<std::int16_t*>(stream),
                                           static_cast<std::size_t>(len) / (kOutputChannels * sizeof(std::int16_t)));
    }

    void mix(std::int16_t* out, std::size_t frames) {
        pulls_.pulled();
        const std::size_t samples = frames * kOutputChannels;
        std::lock_guard lock(mutex_);
        if (voices_.size() == 1) {
            voices_.front()->pull(out, frames, bufferFrames_);
            return;
        }
        sum_.assign(samples, 0);
        one_.resize(samples);
        for (Voice* voice : voices_) {
            voice->pull(one_.data(), frames, bufferFrames_);
            for (std::size_t i = 0; i < samples; ++i) sum_[i] += one_[i];
        }
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = static_cast<std::int16_t>(std::clamp(sum_[i], -32768, 32767));
    }

    std::mutex mutex_;
    std::vector<Voice*> voices_;  // guarded by mutex_
    std::vector<int> sum_;        // used by the audio thread only
    std::vector<std::int16_t> one_;
    SDL_AudioDeviceID device_ = 0;
    int rate_ = 44100;
    std::size_t bufferFrames_ = 512;
    std::uint64_t opening_ = 0;
    PullWatch pulls_;  // of the open device
};

class MixerStream final : public AudioStream {
public:
    MixerStream(Mixer& mixer, FillFunction fill) : mixer_(mixer) { voice_.fill = std::move(fill); }
    ~MixerStream() override {
        if (added_) mixer_.remove(&voice_);
    }

    mci::MCIERROR start(const StreamFormat& format) {
        const mci::MCIERROR e = mixer_.add(&voice_, format, bufferFrames_, opening_);
        added_ = e == 0;
        return e;
    }
    std::size_t bufferFrames() const override { return bufferFrames_; }
    bool lost() const override { return mixer_.lost(opening_); }

private:
    Mixer& mixer_;
    Voice voice_;
    bool added_ = false;
    std::size_t bufferFrames_ = 0;
    std::uint64_t opening_ = 0;
};

class SdlOutput final : public AudioOutput {
public:
    mci::MCIERROR open(const StreamFormat& format, FillFunction fill, std::unique_ptr<AudioStream>& stream) override {
        if (format.sampleRate <= 0 || format.channels <= 0 || format.channels > 8)
            return mci::MCIERR_WAVE_OUTPUTSUNSUITABLE;
        auto voice = std::make_unique<MixerStream>(mixer_, std::move(fill));
        if (const mci::MCIERROR e = voice->start(format)) return e;
        stream = std::move(voice);
        return 0;
    }

private:
    Mixer mixer_;
};

class NoOutput final : public AudioOutput {
public:
    mci::MCIERROR open(const StreamFormat&, FillFunction, std::unique_ptr<AudioStream>&) override {
        return MCIERR_NO_AUDIO_OUTPUT;
    }
};

}  // namespace

std::unique_ptr<AudioOutput> makeSdlOutput() { return std::make_unique<SdlOutput>(); }
std::unique_ptr<AudioOutput> makeNoOutput() { return std::make_unique<NoOutput>(); }

}  // namespace mcidev
