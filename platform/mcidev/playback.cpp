#include "platform/mcidev/playback.h"

#include <algorithm>
#include <cstring>

namespace mcidev {

namespace {

// How long a source may keep the output waiting (a drive spinning up takes seconds).
constexpr std::uint64_t kStarvationLimitSeconds = 15;

}  // namespace

Playback::Playback(AudioSource& source, std::uint64_t endFrame, FinishedFunction finished)
    : source_(source),
      readAhead_(dynamic_cast<const ReadAheadSource*>(&source)),
      channels_(source.channels()),
      startFrame_(source.positionFrames()),
      endFrame_(std::max(endFrame, source.positionFrames())),
      onFinished_(std::move(finished)) {}

Playback::~Playback() { stream_.reset(); }

mci::MCIERROR Playback::start(AudioOutput& output, AudioSource& source, std::uint64_t endFrame,
                              FinishedFunction finished, std::unique_ptr<Playback>& playback) {
    std::unique_ptr<Playback> run(new Playback(source, endFrame, std::move(finished)));
    Playback* self = run.get();
    const StreamFormat format{source.sampleRate(), source.channels()};
    const mci::MCIERROR result = output.open(
        format, [self](std::int16_t* out, std::size_t frames) { self->fill(out, frames); }, run->stream_);
    if (result != 0) return result;
    run->bufferFrames_ = run->stream_->bufferFrames();
    playback = std::move(run);
    return 0;
}

void Playback::fill(std::int16_t* out, std::size_t frames) {
    pulls_.pulled();
    std::size_t written = 0;
    if (!sourceDone_.load(std::memory_order_relaxed)) {
        const std::uint64_t position = startFrame_ + sourceFrames_.load(std::memory_order_relaxed);
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(frames, endFrame_ - position));
        const std::size_t got = want == 0 ? 0 : source_.read(out, want);
        written = std::min(got, want);
        sourceFrames_.store(sourceFrames_.load(std::memory_order_relaxed) + written, std::memory_order_release);
        const bool behind = written < want && readAhead_ != nullptr && readAhead_->starved();
        if (behind) {
            // Silence until the reader catches up; a source that never does has failed.
            starvedFrames_ += want - written;
            if (starvedFrames_ > kStarvationLimitSeconds * static_cast<std::uint64_t>(source_.sampleRate())) {
                failed_.store(true, std::memory_order_release);
                sourceDone_.store(true, std::memory_order_release);
            }
        } else if (written < want || position + written >= endFrame_) {
            if (written < want && source_.failed()) failed_.store(true, std::memory_order_release);
            sourceDone_.store(true, std::memory_order_release);
        }
        if (written > 0) starvedFrames_ = 0;
    }
    if (written < frames)
        std::memset(out + written * static_cast<std::size_t>(channels_), 0,
                    (frames - written) * static_cast<std::size_t>(channels_) * sizeof(std::int16_t));
    const std::uint64_t out_total = outFrames_.load(std::memory_order_relaxed) + frames;
    outFrames_.store(out_total, std::memory_order_release);

    if (!sourceDone_.load(std::memory_order_relaxed) || finished_.load(std::memory_order_relaxed)) return;
    // The last real frames are still in the output's buffers; the run counts as finished
    // once two more pulls of silence have pushed them out.
    const std::uint64_t tail = out_total - sourceFrames_.load(std::memory_order_relaxed);
    if (!failed_.load(std::memory_order_relaxed) && tail < 2 * static_cast<std::uint64_t>(frames)) return;
    {
        std::lock_guard lock(waitMutex_);
        finished_.store(true, std::memory_order_release);
    }
    waitCondition_.notify_all();
    if (onFinished_) onFinished_();
}

std::uint64_t Playback::position() const {
    const std::uint64_t out = outFrames_.load(std::memory_order_acquire);
    const std::uint64_t played = out > bufferFrames_ ? out - bufferFrames_ : 0;
    const std::uint64_t sent = sourceFrames_.load(std::memory_order_acquire);
    if (finished()) return startFrame_ + sent;
    return startFrame_ + std::min(played, sent);
}

bool Playback::outputLost() const {
    if (stream_->lost()) return true;
    if (finished()) return false;
    return pulls_.stalled(bufferFrames_, source_.sampleRate());
}

bool Playback::waitFinished() {
    std::unique_lock lock(waitMutex_);
    while (!finished_.load(std::memory_order_acquire)) {
        waitCondition_.wait_for(lock, std::chrono::milliseconds(50));
        if (outputLost()) return false;
    }
    return !stream_->lost();
}

}  // namespace mcidev
