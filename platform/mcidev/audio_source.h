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

}  // namespace mcidev
