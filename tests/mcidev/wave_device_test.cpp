// The wave audio device: files, time formats, status items and capabilities, and
// playing through SDL's dummy output (which consumes sound in real time).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using Outcomes = std::vector<UINT>;

class WaveTest : public ::testing::Test {
protected:
    MCIDEVICEID openWave(const WaveShape& plan, const std::string& name = "sound.wav") {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd.open("WaveAudio", writeWave(folder / name, plan).string(), id), 0u);
        return id;
    }
    bool waitForNotices(std::size_t count) {
        return drainUntil(queue, [&] { return window.received.size() >= count; });
    }

    ui::MessageQueue queue;
    TempFolder folder;
    std::unique_ptr<DeviceInterface> devices = mcidev::createDeviceManager(queue, {});
    Commands cmd{*devices};
    NoticeWindow window{queue};
};

// Each device keeps its own time format: earlier ones stay in bytes while later open.
TEST_F(WaveTest, LengthInEachTimeFormat) {
    const std::pair<WaveShape, DWORD> cases[] = {
        {{.sampleRate = 44100, .channels = 2, .bits = 16, .frames = 66150}, 1500},
        {{.sampleRate = 22050, .channels = 1, .bits = 8, .frames = 11025}, 500},
        {{.sampleRate = 48000, .channels = 2, .bits = 24, .frames = 4800}, 100},
        {{.sampleRate = 48000, .channels = 2, .bits = 32, .frames = 4800}, 100}};
    int n = 0;
    for (const auto& [shape, ms] : cases) {
        const MCIDEVICEID id = openWave(shape, std::to_string(n++) + ".wav");
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), ms) << shape.bits;
        ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_SAMPLES);
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), shape.frames) << shape.bits;
        ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_BYTES), 0u);
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), shape.frames * unsigned(shape.channels * shape.bits / 8));
    }
}

TEST_F(WaveTest, SeekingByMillisecondsLandsOnTheSameMillisecond) {
    // 22.05 kHz: milliseconds fall between frames; reading back must give the value sought.
    const MCIDEVICEID id = openWave({.sampleRate = 22050, .channels = 1, .frames = 22050});
    for (const DWORD ms : {1u, 7u, 333u, 999u, 1000u}) {
        ASSERT_EQ(cmd.seek(id, MCI_TO, ms), 0u) << ms;
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), ms);
    }
    EXPECT_EQ(cmd.seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 1000u) << "a refused seek leaves the position";
    EXPECT_EQ(cmd.seek(id, MCI_SEEK_TO_START), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 0u);
    EXPECT_EQ(cmd.seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 1000u);
    EXPECT_EQ(cmd.seek(id, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(cmd.seek(id, MCI_SEEK_TO_START | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
}

TEST_F(WaveTest, StatusItemsCapabilitiesAndRefusedRequests) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    const std::pair<DWORD, DWORD_PTR> status[] = {
        {MCI_STATUS_NUMBER_OF_TRACKS, 1}, {MCI_STATUS_CURRENT_TRACK, 1}, {MCI_STATUS_READY, 1},
        {MCI_STATUS_MEDIA_PRESENT, 1},    {MCI_STATUS_MODE, MCI_MODE_STOP}};
    for (const auto& [item, expected] : status) EXPECT_EQ(cmd.statusOr(id, item), expected) << item;
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION, MCI_TRACK, 1), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 1), 100u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION, MCI_STATUS_START), 0u);
    const std::pair<DWORD, DWORD> caps[] = {
        {MCI_GETDEVCAPS_CAN_PLAY, 1},  {MCI_GETDEVCAPS_CAN_RECORD, 0}, {MCI_GETDEVCAPS_CAN_EJECT, 0},
        {MCI_GETDEVCAPS_HAS_VIDEO, 0}, {MCI_GETDEVCAPS_HAS_AUDIO, 1},  {MCI_GETDEVCAPS_USES_FILES, 1},
        {MCI_GETDEVCAPS_CAN_SAVE, 0},  {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO}};
    for (const auto& [item, expected] : caps) {
        DWORD value = 0x77;
        ASSERT_EQ(cmd.caps(id, item, value), 0u) << item;
        EXPECT_EQ(value, expected) << item;
    }

    // Failed queries leave the return field alone.
    DWORD_PTR value = 0x5A5A;
    EXPECT_EQ(cmd.status(id, MCI_STATUS_POSITION, value, MCI_TRACK, 2), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.status(id, 0x4242, value), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(value, 0x5A5Au);
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_LENGTH;
    p.dwReturn = 0x5A5A;
    EXPECT_EQ(devices->sendCommand(id, MCI_STATUS, MCI_WAIT, &p), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(p.dwReturn, 0x5A5Au);

    for (const DWORD format : {MCI_FORMAT_TMSF, MCI_FORMAT_MSF, MCI_FORMAT_FRAMES, MCI_FORMAT_HMS, 77u})
        EXPECT_EQ(cmd.setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    MCI_SET_PARMS door{};
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &door), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_WAIT, &door), MCIERR_MISSING_PARAMETER);
}

// Damaged input gives a clear open error and never brings the program down.
TEST_F(WaveTest, DamagedFilesAreRefused) {
    const auto good = waveBytes({.frames = 4410});
    auto zeroChannels = good;
    zeroChannels[22] = 0;
    auto hugeRate = good;
    hugeRate[24] = hugeRate[25] = hugeRate[26] = 0xFF;
    hugeRate[27] = 0x7F;
    const std::pair<std::string, std::vector<std::uint8_t>> cases[] = {
        {"empty", {}}, {"header-cut", {good.begin(), good.begin() + 20}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"no-channels", zeroChannels}, {"rate", hugeRate}};
    MCIDEVICEID id = 0;
    for (const auto& [name, bytes] : cases) {
        writeFile(folder / (name + ".wav"), bytes);
        EXPECT_EQ(cmd.open(nullptr, (folder / (name + ".wav")).string(), id), MCIERR_INVALID_FILE) << name;
    }
    EXPECT_EQ(cmd.open("WaveAudio", folder.path().string(), id), MCIERR_FILE_NOT_FOUND) << "a folder";
}

// Every encoding the decoder reads opens with a length; the files are the fuzz seeds.
TEST_F(WaveTest, EncodingsTheDecoderReads) {
    const std::filesystem::path corpus = std::filesystem::path(TOLVANE_SOURCE_DIR) / "fuzz/wave/corpus";
    MCIDEVICEID id = 0;
    for (const char* name : {"pcm_u8_mono.wav", "pcm16_stereo.wav", "pcm24_stereo.wav", "pcm32_mono.wav",
                             "float32.wav", "float64.wav", "ulaw.wav", "alaw.wav", "ima_adpcm.wav", "ms_adpcm.wav",
                             "gsm.wav", "extensible_float.wav", "surround51.wav"}) {
        ASSERT_EQ(cmd.open(nullptr, (corpus / name).string(), id), 0u) << name;
        ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_GT(cmd.statusOr(id, MCI_STATUS_LENGTH), 0u) << name;
        EXPECT_EQ(cmd.close(id), 0u);
    }
    EXPECT_EQ(cmd.open(nullptr, (corpus / "riff_no_fmt.wav").string(), id), MCIERR_INVALID_FILE);
}

// A file cut inside its data (the header still claims all samples), an empty one and
// one behind a path with spaces and non-ASCII characters all open and play to their end.
TEST_F(WaveTest, CutEmptyAndOddlyNamedFilesPlayToTheirEnd) {
    auto cut = waveBytes({.frames = 4410});
    cut.resize(44 + 4 * 2205);
    std::filesystem::create_directories(folder / "Wecker Töne ☀");
    const std::tuple<std::string, std::vector<std::uint8_t>, DWORD> cases[] = {
        {"cut.wav", cut, 50}, {"empty.wav", waveBytes({.frames = 0}), 0},
        {"Wecker Töne ☀/früh auf.wav", waveBytes({.frames = 2205}), 50}};
    for (const auto& [name, bytes, length] : cases) {
        writeFile(folder / name, bytes);
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd.open(nullptr, (folder / name).string(), id), 0u) << name;
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), length) << name;
        window.received.clear();
        ASSERT_EQ(cmd.play(id, window.handle()), 0u);
        ASSERT_TRUE(waitForNotices(1)) << name;
        EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL}) << name;
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    }
}

TEST_F(WaveTest, PlayToTheEndSendsSuccessAfterTheSound) {
    const MCIDEVICEID id = openWave({.frames = 13230});  // 300 ms
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(window.received[0].device, static_cast<std::intptr_t>(id));
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 300u);
    drainFor(queue, 50ms);
    EXPECT_EQ(window.received.size(), 1u) << "exactly one notice";
}

TEST_F(WaveTest, StopCutsThePlayShortWithAbort) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(cmd.simple(id, MCI_STOP), 0u);
    const DWORD_PTR stoppedAt = cmd.statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GT(stoppedAt, 0u);
    EXPECT_LT(stoppedAt, 2000u);
    ASSERT_TRUE(waitForNotices(1));
    drainFor(queue, 30ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_ABORTED});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
}

// What becomes of a play's notice when another request follows it at once.
TEST_F(WaveTest, RequestsAfterAPlayDecideItsNotice) {
    using Then = std::function<void(MCIDEVICEID)>;
    const std::tuple<const char*, Then, Outcomes> cases[] = {
        {"second play supersedes",
         [&](MCIDEVICEID id) { ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 0), 0u); },
         {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}},
        {"play without notice aborts", [&](MCIDEVICEID id) { ASSERT_EQ(cmd.play(id, 0, MCI_FROM, 0), 0u); },
         {MCI_NOTIFY_ABORTED}},
        {"pause and resume without notice keep it",
         [&](MCIDEVICEID id) {
             ASSERT_EQ(cmd.simple(id, MCI_PAUSE), 0u);
             ASSERT_EQ(cmd.simple(id, MCI_RESUME), 0u);
         },
         {MCI_NOTIFY_SUCCESSFUL}},
        // The transport control does this every second while a CD plays.
        {"notice request naming no window keeps it",
         [&](MCIDEVICEID id) { ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0), 0u); },
         {MCI_NOTIFY_SUCCESSFUL}},
        {"close aborts", [&](MCIDEVICEID id) { ASSERT_EQ(cmd.close(id), 0u); }, {MCI_NOTIFY_ABORTED}}};
    int n = 0;
    for (const auto& [name, then, expected] : cases) {
        const MCIDEVICEID id = openWave({.frames = 8820}, std::to_string(n++) + ".wav");  // 200 ms
        window.received.clear();
        ASSERT_EQ(cmd.play(id, window.handle()), 0u);
        then(id);
        ASSERT_TRUE(drainUntil(queue, [&] {
            return window.received.size() >= expected.size() && cmd.statusOr(id, MCI_STATUS_MODE) != MCI_MODE_PLAY;
        })) << name;
        drainFor(queue, 30ms);
        EXPECT_EQ(window.outcomes(), expected) << name;
    }
}

TEST_F(WaveTest, PauseAndResumeKeepThePosition) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(cmd.simple(id, MCI_PAUSE), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_PAUSE);
    const DWORD_PTR pausedAt = cmd.statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GT(pausedAt, 50u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), pausedAt) << "time stands still while paused";
    // Resume goes on from there; its own notice replaces the play's.
    ASSERT_EQ(cmd.simple(id, MCI_RESUME, MCI_NOTIFY, window.handle()), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    const DWORD_PTR resumedAt = cmd.statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GE(resumedAt, pausedAt);
    EXPECT_LT(resumedAt, pausedAt + 40);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
    ASSERT_EQ(cmd.simple(id, MCI_STOP), 0u);
    EXPECT_EQ(cmd.simple(id, MCI_RESUME), MCIERR_NONAPPLICABLE_FUNCTION);
}

TEST_F(WaveTest, PlayFromToEndsAtTo) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 500, 700), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 180ms);
    EXPECT_LT(window.received[0].at - start, 800ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 700u);
}

TEST_F(WaveTest, PlayRangesOutsideTheFileAreRefused) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    EXPECT_EQ(cmd.play(id, 0, MCI_FROM, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.play(id, 0, MCI_TO, 0, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.play(id, 0, MCI_FROM | MCI_TO, 600, 500), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    // From the end to the end: nothing to play, done at once.
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 1000), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WaveTest, SeekWhilePlayingAbortsAndImmediateCommandsSucceedAtOnce) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.seek(id, MCI_SEEK_TO_START | MCI_WAIT), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    ASSERT_EQ(cmd.seek(id, MCI_TO | MCI_NOTIFY, 250, window.handle()), 0u);
    ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_SAMPLES, MCI_NOTIFY, window.handle()), 0u);
    ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0), 0u);  // no window, no notice
    ASSERT_TRUE(waitForNotices(3));
    drainFor(queue, 30ms);
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 250u);
}

// Notices on their way when a device closes must not reach the next one to get its id.
TEST_F(WaveTest, NoticesOfAClosedDeviceDoNotReachItsSuccessor) {
    const MCIDEVICEID first = openWave({.frames = 2205}, "short.wav");
    ASSERT_EQ(cmd.play(first, window.handle()), 0u);
    std::this_thread::sleep_for(300ms);  // it ends meanwhile; the queue is not drained
    ASSERT_EQ(cmd.simple(first, MCI_STOP, MCI_NOTIFY, window.handle()), 0u);  // also queued
    ASSERT_EQ(cmd.close(first), 0u);
    const MCIDEVICEID second = openWave({.frames = 44100}, "long.wav");
    ASSERT_EQ(second, first);
    drainFor(queue, 100ms);
    EXPECT_TRUE(window.received.empty());
    ASSERT_EQ(cmd.play(second, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 0, 50), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

// The transport control rewinds a stopped device from inside the notice handler.
TEST_F(WaveTest, CommandsFromInsideANoticeHandler) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    window.onMessage = [&](const ui::Message&) {
        if (cmd.statusOr(id, MCI_STATUS_MODE) == MCI_MODE_STOP) {
            ASSERT_EQ(cmd.seek(id, MCI_SEEK_TO_START | MCI_WAIT), 0u);
        }
    };
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 0u);
}

TEST_F(WaveTest, PlayWithWaitReturnsWhenTheSoundHasEnded) {
    const MCIDEVICEID id = openWave({.frames = 6615});  // 150 ms
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_WAIT), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 140ms);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    ASSERT_TRUE(waitForNotices(1));
    drainFor(queue, 30ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WaveTest, SeveralDevicesPlayAtOnce) {
    const MCIDEVICEID a = openWave({.sampleRate = 44100, .frames = 8820}, "a.wav");
    const MCIDEVICEID b = openWave({.sampleRate = 22050, .channels = 1, .frames = 4410}, "b.wav");
    NoticeWindow other(queue);
    ASSERT_EQ(cmd.play(a, window.handle()), 0u);
    ASSERT_EQ(cmd.play(b, other.handle()), 0u);
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_MODE), MCI_MODE_PLAY);
    EXPECT_EQ(cmd.statusOr(b, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(drainUntil(queue, [&] { return window.received.size() == 1 && other.received.size() == 1; }));
    EXPECT_EQ(window.received[0].device, static_cast<std::intptr_t>(a));
    EXPECT_EQ(other.received[0].device, static_cast<std::intptr_t>(b));
    EXPECT_EQ(other.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

// Run by the ctest entry mcidev_no_output with an output driver that does not exist.
class WaveNoOutput : public WaveTest {};

TEST_F(WaveNoOutput, PlayFailsClearlyAndNothingElseDoes) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (driver == nullptr || std::string(driver) != "no-such-driver") GTEST_SKIP() << "needs a missing output";
    const MCIDEVICEID id = openWave({.frames = 4410});
    EXPECT_EQ(cmd.play(id, window.handle()), mcidev::MCIERR_NO_AUDIO_OUTPUT);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 100u);
    drainFor(queue, 30ms);
    EXPECT_TRUE(window.received.empty());
}

}  // namespace
