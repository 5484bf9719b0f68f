// Reads a slow source ahead on a thread of its own while a play runs, so that the audio
// thread never waits for it. A CD drive may take tens of milliseconds for one read and
// seconds to spin up; the output pulls every few milliseconds.
//
// The reading thread runs between start() and stop() (or a seek, or the destructor),
// so nothing of it is left while nothing plays. When the reader has fallen behind,
// read() gives what it has, possibly nothing, without moving further: starved() then
// tells the player to fill in silence and try again.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/mcidev/audio_source.h"

namespace mcidev {

class ReadAheadSource final : public AudioSource {
public:
    // `inner` is read only by the reading thread while it runs, and must outlive this.
    ReadAheadSource(AudioSource& inner, std::size_t capacityFrames);
    ~ReadAheadSource() override;
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    int sampleRate() const override { return inner_.sampleRate(); }
    int channels() const override { return channels_; }
    std::uint64_t lengthFrames() const override { return inner_.lengthFrames(); }
    // Stops the reading thread and moves the inner source. Not while a play pulls.
    bool seek(std::uint64_t frame) override;
    std::uint64_t positionFrames() const override;
    std::size_t read(std::int16_t* out, std::size_t frames) override;
    bool failed() const override;

    // True when the last read() came short only because the reader is behind.
    bool starved() const;

    // Starts reading ahead from the position (user-interface thread).
    void start();
    // Ends the reading thread; what it has read ahead is kept until the next seek.
    void stop();

private:
    void run();

    AudioSource& inner_;
    const int channels_;
    const std::size_t capacity_;  // frames

    mutable std::mutex mutex_;
    std::condition_variable space_;
    std::vector<std::int16_t> ring_;  // capacity_ frames
    std::size_t head_ = 0;            // first frame held
    std::size_t count_ = 0;           // frames held
    std::uint64_t position_ = 0;      // frame of the next read()
    bool innerDone_ = false;          // the inner source has given its last frame
    bool innerFailed_ = false;
    bool starved_ = false;
    bool stopping_ = false;
    std::thread reader_;
};

}  // namespace mcidev
