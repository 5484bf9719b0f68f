// Where the devices' sound goes: an output opens one stream per playing device. The
// output's audio thread pulls interleaved 16-bit frames from each stream's fill
// function; once a stream is closed its function is never called again.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "mci/commands.h"

namespace mcidev {

struct StreamFormat {
    int sampleRate = 44100;
    int channels = 2;
};

// Called on the stream's audio thread with room for `frames` frames; must fill all of it.
using FillFunction = std::function<void(std::int16_t* out, std::size_t frames)>;

class AudioStream {
public:
    virtual ~AudioStream() = default;  // the fill function is not called after this
    // Frames per pull: the amount that sits in the output between two pulls.
    virtual std::size_t bufferFrames() const = 0;
    // The output has given up on this stream: its device failed, went away or stopped
    // pulling, so what the fill function gives is not heard.
    virtual bool lost() const { return false; }
};

// When an output last pulled sound, kept by its audio thread and read by anyone, to
// tell an output that has stopped pulling. Starting, an output takes the first buffer at
// once and may then wait seconds for the sound server to wake an idle sink or a
// wireless headset to connect, so the first few pulls get 4 s. Once it runs, a few of
// its buffers, but at least half a second (a busy machine may hold an audio thread up
// that long) and at most two.
class PullWatch {
public:
    PullWatch() { restart(); }
    // A new start: the starting allowance again.
    void restart();
    // Audio thread: a pull has come.
    void pulled();
    // Whether no pull has come for longer than an output of this buffer size may take.
    bool stalled(std::size_t bufferFrames, int sampleRate) const;

private:
    std::atomic<std::chrono::steady_clock::rep> last_{0};
    std::atomic<std::uint64_t> pulls_{0};
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Opens and starts a stream. Returns 0 or an MCI error code (no output device).
    virtual mci::MCIERROR open(const StreamFormat& format, FillFunction fill, std::unique_ptr<AudioStream>& stream) = 0;
};

// The system's default output through SDL: all streams are mixed into one output
// device. The device and the SDL audio subsystem are started with the first open stream
// and shut down again when the last one closes, so nothing of it runs while nothing
// plays. A device that fails or stops pulling is dropped at the next open, which opens
// the output afresh; the streams still on it are lost.
std::unique_ptr<AudioOutput> makeSdlOutput();
// An output that has no device: every open fails with MCIERR_NO_AUDIO_OUTPUT.
std::unique_ptr<AudioOutput> makeNoOutput();

}  // namespace mcidev
