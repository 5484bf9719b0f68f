// A pull-model PCM source: what every device plays through the audio output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mcidev {

// Interleaved signed 16-bit samples at sampleRate(), channels() per frame. Not
// thread-safe: one thread (the device's audio thread) reads, and seeks happen with the
// audio stopped or under the device's own lock.
class AudioSource {
public:
    virtual ~AudioSource() = default;

    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // Total length in frames.
    virtual std::uint64_t lengthFrames() const = 0;
    // Moves the read position; false when the position is beyond the end or the
    // source cannot get there (the position is then unchanged).
    virtual bool seek(std::uint64_t frame) = 0;
    virtual std::uint64_t positionFrames() const = 0;
    // Reads up to `frames` frames into `out` (frames * channels() samples). Returns the
    // number of frames read; fewer than asked only at the end of the source or on a
    // read error (then failed() turns true).
    virtual std::size_t read(std::int16_t* out, std::size_t frames) = 0;
    virtual bool failed() const { return false; }
};

// Milliseconds and frames as every source counts them: a position in frames reads as
// the whole milliseconds it has reached, and a time in milliseconds starts at the first
// frame at or after it. framesToMs(msToFrames(ms)) == ms for every rate >= 1000, so the
// last frame of a source reads exactly as its length in milliseconds.
inline std::uint64_t framesToMs(std::uint64_t frames, int sampleRate) {
    return frames * 1000 / static_cast<std::uint64_t>(sampleRate);
}
inline std::uint64_t msToFrames(std::uint64_t ms, int sampleRate) {
    return (ms * static_cast<std::uint64_t>(sampleRate) + 999) / 1000;
}

}  // namespace mcidev
