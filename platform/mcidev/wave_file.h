// A wave file read in pieces as it plays: the decoder reads through our own I/O
// callbacks, which enforce the size caps and never load the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mci/commands.h"
#include "platform/mcidev/audio_source.h"

namespace mcidev {

// What a file on disk was when it was opened: any difference means it has changed.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` now; false with errno set when it cannot be had.
bool stampFile(const std::string& path, FileStamp& stamp);

struct WaveLimits {
    std::uint64_t maxFileBytes = 0xFFFFFFFFull;  // what a RIFF size field can describe
    int maxChannels = 8;
    int minSampleRate = 1000;
    int maxSampleRate = 768000;
};

class WaveFile final : public AudioSource {
public:
    ~WaveFile() override;

    // Opens a file by path (UTF-8 bytes). Returns 0, MCIERR_FILE_NOT_FOUND,
    // MCIERR_FILE_READ (exists but cannot be read) or MCIERR_INVALID_FILE (not a wave
    // file we can play, without a single frame of sound, or beyond the caps).
    static mci::MCIERROR open(const std::string& path, std::unique_ptr<WaveFile>& file, const WaveLimits& limits = {});
    // The same over bytes in memory, which must outlive the file.
    static mci::MCIERROR openMemory(const void* data, std::size_t size, std::unique_ptr<WaveFile>& file,
                                    const WaveLimits& limits = {});

    int sampleRate() const override { return sampleRate_; }
    int channels() const override { return channels_; }
    std::uint64_t lengthFrames() const override { return frames_; }
    bool seek(std::uint64_t frame) override;
    std::uint64_t positionFrames() const override { return position_; }
    std::size_t read(std::int16_t* out, std::size_t frames) override;
    bool failed() const override { return failed_; }
    // The file as it was opened; all zero for bytes in memory.
    const FileStamp& stamp() const { return stamp_; }

    // Size of `frames` frames in the file's own encoding, as bytes.
    std::uint64_t framesToBytes(std::uint64_t frames) const;
    // The first frame whose byte offset is at or after `bytes`.
    std::uint64_t bytesToFrames(std::uint64_t bytes) const;

    struct Input;

private:
    WaveFile() = default;
    long long readFloating(std::int16_t* out, long long frames);
    static mci::MCIERROR openInput(std::unique_ptr<Input> input, std::unique_ptr<WaveFile>& file,
                                   const WaveLimits& limits);

    std::unique_ptr<Input> input_;
    void* sndfile_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t position_ = 0;
    bool failed_ = false;
    bool floating_ = false;      // float or double samples, scaled as read
    std::vector<float> floats_;  // where they are read to
    FileStamp stamp_;
    // bytes = frames * bytesNum_ / bytesDen_
    std::uint64_t bytesNum_ = 2;
    std::uint64_t bytesDen_ = 1;
};

}  // namespace mcidev
