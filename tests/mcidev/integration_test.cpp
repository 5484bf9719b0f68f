// The real devices against a real sound server: a private PulseAudio daemon with a null
// sink. A wave file, a MIDI file and a CD image are played through the manager and the
// sink's monitor is recorded; the recording must hold sound for as long as the medium.
// Skips when the sound server or the tools are not installed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"
#include "tests/mcidev/sound_server.h"
#include "tests/midi/smf_writer.h"
#include "tests/support/cd_image_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;

class SoundServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = SoundServer::missingTools();
        if (!missing.empty()) GTEST_SKIP() << missing;
        server = std::make_unique<SoundServer>(folder / "runtime");
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
        server->useInThisProcess();
        ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    }

    // Plays the open device while recording the sink, and expects about one second of
    // sound of at least `minRms`, with the notice after it.
    void expectOneSecondOfSound(DeviceInterface& devices, MCIDEVICEID id, const std::string& name, DWORD flags,
                                DWORD from, double tolerance, double minRms) {
        MonitorRecorder recorder(*server, folder / (name + ".raw"));
        ASSERT_TRUE(recorder.start());
        NoticeWindow window(queue);
        warmUp(devices, window);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Commands(devices).play(id, window.handle(), MCI_NOTIFY | flags, from, 0), 0u);
        ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }, 10s));
        EXPECT_EQ(window.received[0].outcome, MCI_NOTIFY_SUCCESSFUL);
        const auto noticeAfter = std::chrono::duration_cast<std::chrono::milliseconds>(window.received[0].at - start);
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(recorder.stop());
        std::string error;
        const SoundMeasure m = measureRecording(recorder.file(), error);
        ASSERT_TRUE(m.ok) << error;
        std::printf("%s: sound for %.3f s (rms %.3f), notice after %lld ms\n", name.c_str(), m.trimmedSeconds, m.rms,
                    static_cast<long long>(noticeAfter.count()));
        EXPECT_NEAR(m.trimmedSeconds, 1.0, tolerance);
        EXPECT_GT(m.rms, minRms);
        EXPECT_GE(noticeAfter, 980ms);
    }

    // A fresh null sink may hold its first stream for up to its idle block time (two
    // seconds); a short silent sound takes that wait before the measured play.
    void warmUp(DeviceInterface& devices, NoticeWindow& window) {
        Commands cmd(devices);
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd.open(nullptr, writeWave(folder / "silence.wav", {.frames = 4410, .toneHz = 0}).string(), id), 0u);
        ASSERT_EQ(cmd.play(id, window.handle()), 0u);
        EXPECT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }, 10s));
        EXPECT_EQ(cmd.close(id), 0u);
        window.received.clear();
    }

    TempFolder folder;
    std::unique_ptr<SoundServer> server;
    ui::MessageQueue queue;
};

TEST_F(SoundServerTest, WaveFileSoundsForItsLength) {
    auto devices = mcidev::createDeviceManager(queue);
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open(nullptr, writeWave(folder / "tone.wav", {.frames = 44100}).string(), id), 0u);
    expectOneSecondOfSound(*devices, id, "wave", 0, 0, 0.05, 0.2);
}

TEST_F(SoundServerTest, MidiFileSoundsForItsLength) {
    auto devices = mcidev::createDeviceManager(queue);
    // An organ chord held for two quarters at 120 bpm: one second of steady sound.
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 19);
    t.noteOn(0, 0, 60, 127).noteOn(0, 0, 64, 127).noteOn(0, 0, 67, 127);
    t.noteOff(960, 0, 60).noteOff(0, 0, 64).noteOff(0, 0, 67).end();
    writeFile(folder / "organ.mid", midi_test::smf(0, 480, {t}));
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open(nullptr, (folder / "organ.mid").string(), id), 0u);
    ASSERT_EQ(Commands(*devices).statusOr(id, MCI_STATUS_LENGTH), 1000u);
    expectOneSecondOfSound(*devices, id, "midi", 0, 0, 0.1, 0.01);
}

TEST_F(SoundServerTest, CdImageTrackSoundsForItsLength) {
    cdtest::DiscPlan plan;
    plan.tracks = {cdtest::TrackPlan{.sectors = 30},
                   cdtest::TrackPlan{.sectors = 75, .kind = cdtest::SampleKind::Tone, .toneHz = 660.0}};
    const cdtest::WrittenImage image = cdtest::writeImage(folder / "cd", plan);
    mcidev::DeviceOptions options;
    options.cdImage = image.cue.string();
    auto devices = mcidev::createDeviceManager(queue, options);
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open("CDAudio", "", id, MCI_OPEN_SHAREABLE), 0u);
    ASSERT_EQ(Commands(*devices).setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    expectOneSecondOfSound(*devices, id, "cd", MCI_FROM, MCI_MAKE_TMSF(2, 0, 0, 0), 0.05, 0.2);
}

}  // namespace
