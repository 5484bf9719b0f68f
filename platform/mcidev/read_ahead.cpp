#include "platform/mcidev/read_ahead.h"

#include <algorithm>
#include <cstring>

namespace mcidev {

namespace {

// Frames per read of the inner source.
constexpr std::size_t kChunkFrames = 4096;

}  // namespace

ReadAheadSource::ReadAheadSource(AudioSource& inner, std::size_t capacityFrames)
    : inner_(inner),
      channels_(inner.channels()),
      capacity_(std::max(capacityFrames, kChunkFrames)),
      ring_(capacity_ * static_cast<std::size_t>(channels_)),
      position_(inner.positionFrames()) {}

ReadAheadSource::~ReadAheadSource() { stop(); }

void ReadAheadSource::start() {
    stop();
    {
        std::lock_guard lock(mutex_);
        if (innerDone_) return;
        stopping_ = false;
    }
    reader_ = std::thread([this] { run(); });
}

void ReadAheadSource::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    space_.notify_all();
    if (reader_.joinable()) reader_.join();
}

bool ReadAheadSource::seek(std::uint64_t frame) {
    stop();
    if (!inner_.seek(frame)) return false;
    std::lock_guard lock(mutex_);
    head_ = count_ = 0;
    position_ = frame;
    innerDone_ = innerFailed_ = starved_ = false;
    return true;
}

std::uint64_t ReadAheadSource::positionFrames() const {
    std::lock_guard lock(mutex_);
    return position_;
}

bool ReadAheadSource::failed() const {
    std::lock_guard lock(mutex_);
    return innerFailed_ && count_ == 0;
}

bool ReadAheadSource::starved() const {
    std::lock_guard lock(mutex_);
    return starved_;
}

std::size_t ReadAheadSource::read(std::int16_t* out, std::size_t frames) {
    std::size_t taken = 0;
    {
        std::lock_guard lock(mutex_);
        const auto ch = static_cast<std::size_t>(channels_);
        while (taken < frames && count_ > 0) {
            const std::size_t run = std::min({frames - taken, count_, capacity_ - head_});
            std::memcpy(out + taken * ch, ring_.data() + head_ * ch, run * ch * sizeof(std::int16_t));
            head_ = (head_ + run) % capacity_;
            count_ -= run;
            taken += run;
        }
        position_ += taken;
        starved_ = taken < frames && !innerDone_;
    }
    if (taken > 0) space_.notify_one();
    return taken;
}

void ReadAheadSource::run() {
    const auto ch = static_cast<std::size_t>(channels_);
    std::vector<std::int16_t> chunk(kChunkFrames * ch);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            space_.wait(lock, [&] { return stopping_ || capacity_ - count_ >= kChunkFrames; });
            if (stopping_) return;
        }
        // The slow part, without the lock: the audio thread keeps taking what is held.
        const std::size_t got = inner_.read(chunk.data(), kChunkFrames);
        std::lock_guard lock(mutex_);
        std::size_t put = 0;
        while (put < got) {
            const std::size_t tail = (head_ + count_) % capacity_;
            const std::size_t run = std::min(got - put, capacity_ - tail);
            std::memcpy(ring_.data() + tail * ch, chunk.data() + put * ch, run * ch * sizeof(std::int16_t));
            count_ += run;
            put += run;
        }
        if (got < kChunkFrames) {
            // The starved mark stays as the last read left it: that read came up short
            // because this thread was behind, and the next one takes what is here now.
            // Clearing it here would let a reader that asks right after its short read
            // take the end of the source for the end of the play.
            innerDone_ = true;
            innerFailed_ = inner_.failed();
            return;
        }
    }
}

}  // namespace mcidev
