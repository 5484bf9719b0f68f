// The program's own alarm tone, and what becomes of it and of a device's play when the
// output they share goes away, pulled through a recording output.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/mcidev/alarm_tone.h"
#include "tests/platform/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;

constexpr std::size_t kMs = 44;  // frames, near enough for the checks below
constexpr std::size_t kPeriod = 52920;

// Loudest left sample of frames [from, to).
int peak(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    int top = 0;
    for (std::size_t f = from; f < to; ++f) top = std::max(top, std::abs(int{s[2 * f]}));
    return top;
}

class AlarmToneTest : public testing::Test {
protected:
    AlarmToneTest() {
        mcidev::DeviceOptions options;
        options.output = output;
        rig.start(options);
    }
    std::shared_ptr<RecordingOutput> output = std::make_shared<RecordingOutput>();
    DeviceRig rig;
    std::unique_ptr<sys::AlarmTone> tone = mcidev::makeAlarmTone(output);
};

// Four beeps of 880 Hz, the first at once, faded in, at -6 dBFS, then a pause; over
// again exactly.
TEST_F(AlarmToneTest, BeepsAtOnceInARepeatingPattern) {
    ASSERT_EQ(tone->start(), "");
    const std::vector<std::int16_t> s = output->pull(2 * kPeriod);
    EXPECT_GT(peak(s, 0, 100 * kMs), 15000) << "nothing loud within the first 100 ms";
    EXPECT_LE(peak(s, 0, kPeriod), 16384) << "louder than -6 dBFS";
    EXPECT_LT(peak(s, 0, 2 * kMs), 8000) << "the beep starts without a ramp";
    EXPECT_EQ(peak(s, 700 * kMs, kPeriod), 0) << "no pause";
    int beeps = 0;
    bool loud = false;
    for (std::size_t block = 0; block < kPeriod; block += 5 * kMs) {
        const bool now = peak(s, block, block + 5 * kMs) > 8000;
        beeps += now && !loud;
        loud = now;
    }
    EXPECT_EQ(beeps, 4);
    int crossings = 0;  // 60 ms of the first beep's steady part at 880 Hz: about 105
    for (std::size_t f = 20 * kMs; f < 80 * kMs; ++f) crossings += (s[2 * f] < 0) != (s[2 * f + 2] < 0);
    EXPECT_NEAR(crossings, 105, 5);
    EXPECT_TRUE(std::equal(s.begin(), s.begin() + 2 * kPeriod, s.begin() + 2 * kPeriod)) << "the pattern drifts";
    for (std::size_t f = 0; f < kPeriod; ++f) ASSERT_EQ(s[2 * f], s[2 * f + 1]) << f;
}

// One stream however often it is started; stopped, it is gone at once, and a new
// start begins with a beep. A device playing meanwhile is heard through the pause.
TEST_F(AlarmToneTest, OneStreamBesideAPlayingDeviceUntilStopped) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(rig.cmd->open(nullptr, writeWave(rig.folder / "a.wav", {.frames = 441000}).string(), id), 0u);
    ASSERT_EQ(rig.cmd->play(id, 0, 0), 0u);
    ASSERT_EQ(tone->start(), "");
    ASSERT_EQ(tone->start(), "");
    EXPECT_TRUE(tone->sounding());
    EXPECT_EQ(output->streams(), 2u);
    const std::vector<std::int16_t> mixed = output->pull(kPeriod);
    EXPECT_GT(peak(mixed, 700 * kMs, kPeriod), 10000) << "the device's sound is missing from the mix";
    EXPECT_GT(peak(mixed, 0, 100 * kMs), 16384) << "the tone is missing from the mix";
    tone->stop();
    EXPECT_FALSE(tone->sounding());
    EXPECT_EQ(output->streams(), 1u);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_EQ(rig.cmd->simple(id, MCI_STOP), 0u);
    EXPECT_EQ(peak(output->pull(kPeriod), 0, kPeriod), 0);
    ASSERT_EQ(tone->start(), "");
    EXPECT_GT(peak(output->pull(100 * kMs), 0, 100 * kMs), 15000);
}

// An output that stops pulling, or loses its streams, ends a play as a failure: found
// by the next request or by the wait, never passed as playing or as heard. The next
// play, and the tone, open the output again; an output gone for good fails the play.
TEST_F(AlarmToneTest, AnOutputThatStopsTakingSoundFailsThePlay) {
    DeviceRig& r = rig;
    MCIDEVICEID id = 0;
    ASSERT_EQ(r.cmd->open(nullptr, writeWave(r.folder / "a.wav", {.frames = 441000}).string(), id), 0u);
    const auto mode = [&] { return r.cmd->statusOr(id, MCI_STATUS_MODE); };
    ASSERT_EQ(r.cmd->play(id, r.window.handle()), 0u);
    for (int pull = 0; pull < 4; ++pull) output->pull(25 * kMs);  // past its start
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(mode(), MCI_MODE_PLAY) << "given up within the stall limit";
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(mode(), MCI_MODE_STOP);
    EXPECT_EQ(output->streams(), 0u);
    EXPECT_LE(r.cmd->statusOr(id, MCI_STATUS_POSITION), 100u) << "the position is not the one heard";
    ASSERT_TRUE(r.waitForNotices(1));

    // Lost streams (the device went away, SDL fills on unheard) count at once, also for
    // a play that runs to its end on them.
    ASSERT_EQ(tone->start(), "");
    ASSERT_EQ(r.cmd->play(id, r.window.handle()), 0u);
    EXPECT_EQ(output->opens(), 3u);
    output->loseStreams();
    EXPECT_FALSE(tone->sounding());
    EXPECT_EQ(mode(), MCI_MODE_STOP);
    ASSERT_EQ(r.cmd->play(id, r.window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 0, 50), 0u);
    output->loseStreams();
    for (int pull = 0; pull < 4; ++pull) output->pull(50 * kMs);
    ASSERT_TRUE(r.waitForNotices(3));
    EXPECT_EQ(r.window.outcomes(), (std::vector<UINT>(3, MCI_NOTIFY_FAILURE)));
    ASSERT_EQ(tone->start(), "");
    EXPECT_TRUE(tone->sounding());
    EXPECT_EQ(output->streams(), 1u);

    // The output starts the waited play, then stops.
    std::thread output_thread([&] {
        while (output->streams() < 2) std::this_thread::sleep_for(1ms);
        for (int pull = 0; pull < 4; ++pull) output->pull(25 * kMs);
    });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(r.cmd->play(id, 0, MCI_WAIT), mcidev::MCIERR_AUDIO_OUTPUT_LOST);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
    output_thread.join();
    EXPECT_EQ(mode(), MCI_MODE_STOP);
    output->failure = mcidev::MCIERR_NO_AUDIO_OUTPUT;
    EXPECT_EQ(r.cmd->play(id, 0, 0), mcidev::MCIERR_NO_AUDIO_OUTPUT);
}

}  // namespace
