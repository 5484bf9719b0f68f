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

    std::unique_ptr<DeviceInterface> makeDevices(const mcidev::DeviceOptions& options) {
        return mcidev::createDeviceManager(queue, options);
    }

    // Plays the open device from `from` to `to` (or its end) while recording the sink,
    // and measures what came out.
    SoundMeasure playAndRecord(DeviceInterface& devices, MCIDEVICEID id, const std::string& name, DWORD flags,
                               DWORD from, DWORD to, std::chrono::milliseconds& noticeAfter) {
        MonitorRecorder recorder(*server, folder / (name + ".raw"));
        EXPECT_TRUE(recorder.start());
        NoticeWindow window(queue);
        warmUp(devices, window);
        const auto start = std::chrono::steady_clock::now();
        const MCIERROR result = Commands(devices).play(id, window.handle(), MCI_NOTIFY | flags, from, to);
        EXPECT_EQ(result, 0u);
        EXPECT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }, 10s));
        if (!window.received.empty()) {
            EXPECT_EQ(window.received[0].outcome, MCI_NOTIFY_SUCCESSFUL);
            noticeAfter = std::chrono::duration_cast<std::chrono::milliseconds>(window.received[0].at - start);
        }
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(recorder.stop());
        std::string error;
        const SoundMeasure measure = measureRecording(recorder.file(), error);
        EXPECT_TRUE(measure.ok) << error;
        std::printf("%s: sound for %.3f s (rms %.3f), notice after %lld ms\n", name.c_str(), measure.trimmedSeconds,
                    measure.rms, static_cast<long long>(noticeAfter.count()));
        return measure;
    }

    // A fresh null sink may hold the first stream it gets for up to its idle block time
    // (two seconds) before it renders regularly. A short silent sound takes that wait,
    // so that the measured play starts on a sink that is already running.
    void warmUp(DeviceInterface& devices, NoticeWindow& window) {
        const auto path = writeWave(folder / "silence.wav", {.frames = 4410, .toneHz = 0});
        Commands cmd(devices);
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd.open(nullptr, path.string(), id), 0u);
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
    auto devices = makeDevices({});
    const auto path = writeWave(folder / "tone.wav", {.sampleRate = 44100, .channels = 2, .frames = 44100});
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open(nullptr, path.string(), id), 0u);
    std::chrono::milliseconds noticeAfter{0};
    const SoundMeasure m = playAndRecord(*devices, id, "wave", 0, 0, 0, noticeAfter);
    EXPECT_NEAR(m.trimmedSeconds, 1.0, 0.05);
    EXPECT_GT(m.rms, 0.2);
    EXPECT_GE(noticeAfter, 980ms);
}

TEST_F(SoundServerTest, MidiFileSoundsForItsLength) {
    auto devices = makeDevices({});
    // An organ chord held for two quarters at 120 bpm: one second of steady sound.
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 19);
    t.noteOn(0, 0, 60, 127).noteOn(0, 0, 64, 127).noteOn(0, 0, 67, 127);
    t.noteOff(960, 0, 60).noteOff(0, 0, 64).noteOff(0, 0, 67).end();
    writeFile(folder / "organ.mid", midi_test::smf(0, 480, {t}));
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open(nullptr, (folder / "organ.mid").string(), id), 0u);
    ASSERT_EQ(Commands(*devices).statusOr(id, MCI_STATUS_LENGTH), 1000u);
    std::chrono::milliseconds noticeAfter{0};
    const SoundMeasure m = playAndRecord(*devices, id, "midi", 0, 0, 0, noticeAfter);
    EXPECT_NEAR(m.trimmedSeconds, 1.0, 0.1);
    EXPECT_GT(m.rms, 0.01);
    EXPECT_GE(noticeAfter, 980ms);
}

TEST_F(SoundServerTest, CdImageTrackSoundsForItsLength) {
    cdtest::DiscPlan plan;
    plan.tracks = {cdtest::TrackPlan{.sectors = 30},
                   cdtest::TrackPlan{.sectors = 75, .kind = cdtest::SampleKind::Tone, .toneHz = 660.0}};
    const cdtest::WrittenImage image = cdtest::writeImage(folder / "cd", plan);
    mcidev::DeviceOptions options;
    options.cdImage = image.cue.string();
    auto devices = makeDevices(options);
    MCIDEVICEID id = 0;
    ASSERT_EQ(Commands(*devices).open("CDAudio", "", id, MCI_OPEN_SHAREABLE), 0u);
    ASSERT_EQ(Commands(*devices).setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    std::chrono::milliseconds noticeAfter{0};
    const SoundMeasure m = playAndRecord(*devices, id, "cd", MCI_FROM, MCI_MAKE_TMSF(2, 0, 0, 0), 0, noticeAfter);
    EXPECT_NEAR(m.trimmedSeconds, 1.0, 0.05);
    EXPECT_GT(m.rms, 0.2);
    EXPECT_GE(noticeAfter, 980ms);
}

}  // namespace
