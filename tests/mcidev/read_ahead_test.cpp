// Reading a slow source ahead of the output: order, starvation, failure, seeking, and
// no thread left behind.
#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/mcidev/read_ahead.h"

namespace {

using namespace std::chrono_literals;

// Mono frames whose value is their own index (mod 32768); each read can be slowed down
// or held until released, and the source can fail at a frame.
class SlowSource final : public mcidev::AudioSource {
public:
    explicit SlowSource(std::uint64_t length) : length_(length) {}
    int sampleRate() const override { return 8000; }
    int channels() const override { return 1; }
    std::uint64_t lengthFrames() const override { return length_; }
    bool seek(std::uint64_t frame) override {
        if (frame > length_) return false;
        position_ = frame;
        failed_ = false;
        return true;
    }
    std::uint64_t positionFrames() const override { return position_; }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        while (held) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(delay);
        std::size_t n = 0;
        while (n < frames && position_ < length_) {
            if (position_ == failAt) {
                failed_ = true;
                break;
            }
            out[n++] = static_cast<std::int16_t>(position_++ % 32768);
        }
        return n;
    }
    bool failed() const override { return failed_; }

    std::atomic<bool> held{false};
    std::chrono::milliseconds delay{0};
    std::uint64_t failAt = ~std::uint64_t{0};

private:
    std::uint64_t length_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

int threadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

// Reads everything, as the output would: waits while the reader is behind.
std::vector<std::int16_t> drainAll(mcidev::ReadAheadSource& source) {
    std::vector<std::int16_t> all;
    std::int16_t buffer[300];
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::size_t n = source.read(buffer, 300);
        all.insert(all.end(), buffer, buffer + n);
        if (n < 300 && !source.starved()) break;
        if (n == 0) std::this_thread::sleep_for(1ms);
    }
    return all;
}

TEST(ReadAhead, GivesEveryFrameInOrder) {
    SlowSource slow(50000);
    slow.delay = 1ms;
    mcidev::ReadAheadSource source(slow, 8192);
    ASSERT_TRUE(source.seek(100));
    source.start();
    const auto all = drainAll(source);
    ASSERT_EQ(all.size(), 49900u);
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<std::int16_t>((100 + i) % 32768)) << i;
    EXPECT_EQ(source.positionFrames(), 50000u);
    EXPECT_FALSE(source.failed());
    EXPECT_FALSE(source.starved());
}

TEST(ReadAhead, FallingBehindGivesNothingAndDoesNotMove) {
    SlowSource slow(20000);
    slow.held = true;
    mcidev::ReadAheadSource source(slow, 8192);
    source.start();
    std::int16_t buffer[64];
    EXPECT_EQ(source.read(buffer, 64), 0u);
    EXPECT_TRUE(source.starved());
    EXPECT_EQ(source.positionFrames(), 0u);
    slow.held = false;
    const auto all = drainAll(source);
    EXPECT_EQ(all.size(), 20000u);
    EXPECT_EQ(all.front(), 0);
}

TEST(ReadAhead, FailureShowsOnceTheHeldFramesAreUsed) {
    SlowSource slow(20000);
    slow.failAt = 5000;
    mcidev::ReadAheadSource source(slow, 8192);
    source.start();
    const auto all = drainAll(source);
    EXPECT_EQ(all.size(), 5000u);
    EXPECT_TRUE(source.failed());
    EXPECT_FALSE(source.starved());
    // A seek clears the failure and reading goes on from there.
    slow.failAt = ~std::uint64_t{0};
    ASSERT_TRUE(source.seek(19000));
    EXPECT_FALSE(source.failed());
    source.start();
    EXPECT_EQ(drainAll(source).size(), 1000u);
}

TEST(ReadAhead, SeekWhileReadingStartsAfresh) {
    SlowSource slow(100000);
    slow.delay = 2ms;
    mcidev::ReadAheadSource source(slow, 8192);
    source.start();
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(source.seek(90000));
    EXPECT_EQ(source.positionFrames(), 90000u);
    source.start();
    const auto all = drainAll(source);
    ASSERT_EQ(all.size(), 10000u);
    EXPECT_EQ(all.front(), static_cast<std::int16_t>(90000 % 32768));
    EXPECT_FALSE(source.seek(100001));
}

TEST(ReadAhead, NoThreadOutsideAPlay) {
    const int before = threadCount();
    SlowSource slow(1000000);
    mcidev::ReadAheadSource source(slow, 8192);
    EXPECT_EQ(threadCount(), before);
    source.start();
    EXPECT_EQ(threadCount(), before + 1);
    source.stop();
    EXPECT_EQ(threadCount(), before);
    source.start();  // and the destructor ends one that still runs
}

}  // namespace
