// One run of a source through an audio stream, from the source's current position to
// an end frame. The audio thread reads the source; everything else happens on the
// thread that owns the Playback. Destroying it stops the sound at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "mci/commands.h"
#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/audio_source.h"
#include "platform/mcidev/read_ahead.h"

namespace mcidev {

class Playback {
public:
    // Called once, on the audio thread, when the run has finished (end frame reached
    // and played out, or the source failed). It must only hand the news on.
    using FinishedFunction = std::function<void()>;

    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;
    ~Playback();

    // Starts playing `source` from its current position up to `endFrame`. The source
    // must stay alive and untouched by others until the Playback is destroyed.
    static mci::MCIERROR start(AudioOutput& output, AudioSource& source, std::uint64_t endFrame,
                               FinishedFunction finished, std::unique_ptr<Playback>& playback);

    bool finished() const { return finished_.load(std::memory_order_acquire); }
    bool failed() const { return failed_.load(std::memory_order_acquire); }

    // The frame being heard now (estimated: what has been pulled minus one buffer).
    std::uint64_t position() const;

    // The output no longer takes the run's sound: it has lost the stream, or has not
    // pulled for longer than its PullWatch allows while the run was not finished. Checked
    // by whoever asks, so that nothing has to watch the output while it plays.
    bool outputLost() const;

    // Waits until the run has finished (true) or the output is lost (false).
    bool waitFinished();

private:
    Playback(AudioSource& source, std::uint64_t endFrame, FinishedFunction finished);
    void fill(std::int16_t* out, std::size_t frames);

    AudioSource& source_;
    const ReadAheadSource* readAhead_;  // the source, when it may fall behind
    const int channels_;
    const std::uint64_t startFrame_;
    const std::uint64_t endFrame_;
    FinishedFunction onFinished_;
    std::unique_ptr<AudioStream> stream_;
    std::size_t bufferFrames_ = 0;

    // Written by the audio thread only.
    std::atomic<std::uint64_t> sourceFrames_{0};  // frames of the source sent out
    std::atomic<std::uint64_t> outFrames_{0};     // frames sent out, silence included
    std::atomic<bool> sourceDone_{false};
    std::uint64_t starvedFrames_ = 0;  // silence put in while the source was behind
    std::atomic<bool> finished_{false};
    std::atomic<bool> failed_{false};
    PullWatch pulls_;

    mutable std::mutex waitMutex_;
    std::condition_variable waitCondition_;
};

}  // namespace mcidev
