#include "platform/mcidev/cd/cd_audio_source.h"

#include <algorithm>

#include "platform/mcidev/cd/cd_time.h"

namespace mcidev::cd {

namespace {

// A third of a second per disc read.
constexpr int kReadAheadSectors = 25;

}  // namespace

CdAudioSource::CdAudioSource(std::shared_ptr<Disc> disc, std::int32_t fromLba, std::int32_t toLba)
    : disc_(std::move(disc)), from_(fromLba), to_(std::max(fromLba, toLba)) {}

int CdAudioSource::sampleRate() const { return kSampleRate; }
int CdAudioSource::channels() const { return kChannels; }

std::uint64_t CdAudioSource::lengthFrames() const { return sectorsToSampleFrames(std::int64_t{to_} - from_); }

bool CdAudioSource::seek(std::uint64_t frame) {
    if (frame > lengthFrames()) return false;
    position_ = frame;
    failed_ = false;
    cacheSectors_ = 0;  // read afresh: the disc may have changed since
    return true;
}

std::int32_t CdAudioSource::positionLba() const {
    return static_cast<std::int32_t>(from_ + static_cast<std::int64_t>(position_ / kSampleFramesPerSector));
}

bool CdAudioSource::fill(std::int32_t lba) {
    cacheSectors_ = 0;
    if (!disc_) return false;
    int n = static_cast<int>(std::min<std::int64_t>(kReadAheadSectors, std::int64_t{to_} - lba));
    if (n <= 0) return false;
    cache_.resize(static_cast<std::size_t>(n) * kBytesPerSector);
    // When the run cannot be read as a whole (its end may lie beyond the disc or on a
    // bad spot), the sector at the position alone still plays.
    if (!disc_->readAudio(lba, n, cache_.data())) {
        n = 1;
        if (!disc_->readAudio(lba, n, cache_.data())) return false;
    }
    cacheLba_ = lba;
    cacheSectors_ = n;
    return true;
}

std::size_t CdAudioSource::read(std::int16_t* out, std::size_t frames) {
    const std::uint64_t length = lengthFrames();
    std::size_t done = 0;
    while (done < frames && position_ < length && !failed_) {
        const std::int32_t lba = positionLba();
        if (lba < cacheLba_ || lba >= cacheLba_ + cacheSectors_) {
            if (!fill(lba)) {
                failed_ = true;
                break;
            }
        }
        // Copy what the cache holds from the position on.
        const std::uint64_t cacheStart = sectorsToSampleFrames(std::int64_t{cacheLba_} - from_);
        const std::uint64_t cacheEnd = cacheStart + sectorsToSampleFrames(cacheSectors_);
        if (position_ < cacheStart || position_ >= cacheEnd) {
            failed_ = true;  // cannot happen; never loop without progress
            break;
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, cacheEnd - position_));
        const std::uint8_t* in = cache_.data() + (position_ - cacheStart) * 4;
        std::int16_t* dst = out + done * 2;
        for (std::size_t i = 0; i < n * 2; ++i)
            dst[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
        done += n;
        position_ += n;
    }
    return done;
}

}  // namespace mcidev::cd
