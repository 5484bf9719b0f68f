// Reading a slow source ahead of the output: order, falling behind, failure, seeking,
// and no thread left behind.
#include "platform/mcidev/read_ahead.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Mono frames whose value is their own index (as 16 bits); each read can be slowed
// down or held until released, and the source can fail at a frame.
class SlowSource final : public mcidev::AudioSource {
public:
    int sampleRate() const override { return 8000; }
    int channels() const override { return 1; }
    std::uint64_t lengthFrames() const override { return 100000; }
    bool seek(std::uint64_t frame) override {
        position_ = frame;
        return true;
    }
    std::uint64_t positionFrames() const override { return position_; }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        while (held) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(delay);
        std::size_t n = 0;
        for (; n < frames && position_ < std::min<std::uint64_t>(100000, failAt); ++n)
            out[n] = static_cast<std::int16_t>(position_++);
        return n;
    }
    bool failed() const override { return position_ == failAt; }

    std::atomic<bool> held{false};
    std::chrono::milliseconds delay{0};
    std::uint64_t failAt = ~std::uint64_t{0};

private:
    std::uint64_t position_ = 0;
};

int threadCount() {
    int n = 0;
    DIR* d = ::opendir("/proc/self/task");
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
    return n;
}

// Reads to the end as the output would, waiting while the reader is behind; checks that
// every frame comes in order from `from` on, and returns how many came.
std::size_t readToTheEnd(mcidev::ReadAheadSource& source, std::uint64_t from) {
    std::int16_t buffer[300];
    std::size_t total = 0;
    for (const auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
        const std::size_t n = source.read(buffer, 300);
        for (std::size_t i = 0; i < n; ++i, ++total)
            if (buffer[i] != static_cast<std::int16_t>(from + total)) ADD_FAILURE() << "frame " << from + total;
        if (n < 300 && !source.starved()) break;
        if (n == 0) std::this_thread::sleep_for(1ms);
    }
    return total;
}

TEST(ReadAhead, GivesEveryFrameInOrderAndRunsAThreadOnlyWhileReading) {
    const int before = threadCount();
    SlowSource slow;
    slow.delay = 1ms;
    slow.held = true;
    mcidev::ReadAheadSource source(slow, 8192);
    ASSERT_TRUE(source.seek(50100));
    source.start();
    EXPECT_EQ(threadCount(), before + 1);
    // Behind: nothing yet, and the position stays.
    std::int16_t buffer[64];
    EXPECT_EQ(source.read(buffer, 64), 0u);
    EXPECT_TRUE(source.starved());
    EXPECT_EQ(source.positionFrames(), 50100u);
    slow.held = false;
    EXPECT_EQ(readToTheEnd(source, 50100), 49900u);
    EXPECT_FALSE(source.failed());
    EXPECT_FALSE(source.starved()) << "the end is not a reader behind";
    source.stop();
    EXPECT_EQ(threadCount(), before);
    source.start();  // and the destructor ends one that still runs
}

TEST(ReadAhead, FailureShowsOnceTheHeldFramesAreUsedAndASeekStartsAfresh) {
    SlowSource slow;
    slow.failAt = 5000;
    mcidev::ReadAheadSource source(slow, 8192);
    source.start();
    EXPECT_EQ(readToTheEnd(source, 0), 5000u);
    EXPECT_TRUE(source.failed());
    slow.failAt = ~std::uint64_t{0};
    slow.delay = 2ms;
    ASSERT_TRUE(source.seek(20000));
    source.start();
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(source.seek(90000));  // while reading
    EXPECT_FALSE(source.failed());
    source.start();
    EXPECT_EQ(readToTheEnd(source, 90000), 10000u);
}

}  // namespace
