// Plays a stretch of a disc: the sectors from one LBA up to (not including) another,
// as 44100 Hz stereo 16-bit audio read straight off the disc.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/mcidev/audio_source.h"
#include "platform/mcidev/cd/disc.h"

namespace mcidev::cd {

class CdAudioSource final : public AudioSource {
public:
    // Plays [fromLba, toLba). A range that is empty or reversed plays nothing; sectors
    // the disc cannot give (beyond its lead-out, or once it is taken out) end the
    // playing with failed() set.
    CdAudioSource(std::shared_ptr<Disc> disc, std::int32_t fromLba, std::int32_t toLba);

    int sampleRate() const override;
    int channels() const override;
    std::uint64_t lengthFrames() const override;
    // Any frame from 0 to lengthFrames() (the end) is allowed. A successful seek also
    // clears failed() and drops the sectors read ahead, so that playing may be tried
    // again, on whatever disc is in the drive by then.
    bool seek(std::uint64_t frame) override;
    std::uint64_t positionFrames() const override { return position_; }
    std::size_t read(std::int16_t* out, std::size_t frames) override;
    bool failed() const override { return failed_; }

private:
    // The sector that holds the read position (the end sector at the end).
    std::int32_t positionLba() const;
    bool fill(std::int32_t lba);

    std::shared_ptr<Disc> disc_;
    std::int32_t from_;
    std::int32_t to_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
    // Sectors read ahead: [cacheLba_, cacheLba_ + cacheSectors_).
    std::vector<std::uint8_t> cache_;
    std::int32_t cacheLba_ = 0;
    int cacheSectors_ = 0;
};

}  // namespace mcidev::cd
