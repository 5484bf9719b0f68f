// The real devices against a real sound server: a private PulseAudio daemon with a null
// sink. A wave file, a MIDI file and a CD image are played through the manager while
// the sink's monitor is recorded; the recording must hold sound for as long as the
// medium, and the notice must come after it. The server also quits under a play and
// comes back. Skips when the sound server is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "platform/mcidev/alarm_tone.h"
#include "tests/platform/mcidev/media_fixture.h"
#include "tests/platform/mcidev/midi/smf_writer.h"
#include "tests/support/cd_image_writer.h"

// The sound server's client library keeps what it had in flight when its server goes
// away; the leak checker of a sanitized build is not to blame us for it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;

class SoundServerTest : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = SoundServer::missingTools(); !missing.empty()) GTEST_SKIP() << missing;
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    }

    // Plays one second of a medium while the sink is recorded, and expects as much sound
    // of at least `minRms` of full scale, with the notice after it.
    void expectOneSecondOfSound(const char* type, const std::string& element, DWORD timeFormat, DWORD from,
                                double tolerance, double minRms) {
        SCOPED_TRACE(element);
        mcidev::DeviceOptions options;
        options.cdImage = type != nullptr ? element : "";
        auto devices = mcidev::createDeviceManager(queue, options);
        Commands cmd(*devices);
        NoticeWindow window(queue);
        // Five seconds of the sink; SIGINT makes the recorder write out what it has.
        const auto raw = folder / "recording.raw";
        std::FILE* recorder =
            ::popen(("exec timeout -s INT 5 " + monitorRecordCommand(10) + " >" + raw.string()).c_str(), "r");
        ASSERT_NE(recorder, nullptr);
        // A null sink left idle holds its first stream for up to two seconds: a short
        // silent sound takes that wait before the measured play.
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd.open(nullptr, writeWave(folder / "quiet.wav", {.frames = 4410, .toneHz = 0}).string(), id), 0u);
        ASSERT_EQ(cmd.play(id, 0, MCI_WAIT), 0u);
        ASSERT_EQ(cmd.close(id), 0u);
        ASSERT_TRUE(drainUntil(
            queue, [&] { return exists(raw) && file_size(raw) > 0; }, 3s));

        ASSERT_EQ(cmd.open(type, type != nullptr ? "" : element, id), 0u);
        ASSERT_EQ(cmd.setTimeFormat(id, timeFormat), 0u);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, from), 0u);
        ASSERT_TRUE(drainUntil(
            queue, [&] { return !window.received.empty(); }, 10s));
        EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
        EXPECT_GE(window.received[0].at - start, 980ms);
        ::pclose(recorder);

        // The sound lasts from the first to the last sample above 1 % of full scale.
        std::vector<std::int16_t> s(file_size(raw) / 2);
        std::ifstream(raw, std::ios::binary).read(reinterpret_cast<char*>(s.data()), std::streamsize(s.size() * 2));
        const auto loud = [](std::int16_t v) { return std::abs(v) > 327; };
        const auto first = std::find_if(s.begin(), s.end(), loud) - s.begin();
        const auto end = s.rend() - std::find_if(s.rbegin(), s.rend(), loud);
        ASSERT_LT(first, end) << "nothing was heard";
        double sum = 0;
        for (auto i = first; i < end; ++i) sum += double(s[i]) * s[i];
        EXPECT_NEAR(double(end - first) / 2 / 44100, 1.0, tolerance);
        EXPECT_GT(std::sqrt(sum / double(end - first)) / 32768, minRms);
    }

    TempFolder folder;
    SoundServer server{folder / "runtime"};
    sys::MessageQueue queue;
};

// A tone; an organ chord held for two quarters at 120 bpm; a CD's second track of a tone.
TEST_F(SoundServerTest, EachMediumSoundsForItsLength) {
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 19).noteOn(0, 0, 60, 127).noteOn(0, 0, 64, 127).noteOn(0, 0, 67, 127);
    t.noteOff(960, 0, 60).noteOff(0, 0, 64).noteOff(0, 0, 67).end();
    writeFile(folder / "organ.mid", midi_test::smf(0, 480, {t}));
    using cdtest::TrackPlan;
    const auto image = cdtest::writeImage(
        folder / "cd", {TrackPlan{.sectors = 30}, TrackPlan{.sectors = 75, .kind = cdtest::SampleKind::Tone}});
    expectOneSecondOfSound(nullptr, writeWave(folder / "tone.wav", {}).string(), MCI_FORMAT_MILLISECONDS, 0, 0.05, 0.2);
    expectOneSecondOfSound(nullptr, (folder / "organ.mid").string(), MCI_FORMAT_MILLISECONDS, 0, 0.1, 0.01);
    expectOneSecondOfSound("CDAudio", image.cue.string(), MCI_FORMAT_TMSF, MCI_MAKE_TMSF(2, 0, 0, 0), 0.05, 0.2);
}

// The server quits under a play and the tone: the next request finds the play over as
// a failure, and the tone silent. Once the server is back, the output opens afresh.
TEST_F(SoundServerTest, AServerThatQuitsFailsThePlayAndABackOneServesTheNext) {
    mcidev::DeviceOptions options;
    options.output = mcidev::makeSdlOutput();
    auto devices = mcidev::createDeviceManager(queue, options);
    const auto tone = mcidev::makeAlarmTone(options.output);
    Commands cmd(*devices);
    NoticeWindow window(queue);
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open(nullptr, writeWave(folder / "long.wav", {.frames = 441000}).string(), id), 0u);
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(tone->start(), "");
    drainFor(queue, 200ms);
    server.stop();
    ASSERT_TRUE(drainUntil(
        queue, [&] { return cmd.statusOr(id, MCI_STATUS_MODE) == MCI_MODE_STOP; }, 3s));
    ASSERT_TRUE(drainUntil(
        queue, [&] { return !window.received.empty(); }, 1s));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_FAILURE});
    EXPECT_FALSE(tone->sounding());

    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    window.received.clear();
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 0, 300), 0u);
    ASSERT_TRUE(drainUntil(
        queue, [&] { return !window.received.empty(); }, 5s));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(tone->start(), "");
    EXPECT_TRUE(tone->sounding());
}

}  // namespace
