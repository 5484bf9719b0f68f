// The wave audio device: files, time formats, status items and capabilities, and
// playing through the output with its completion notices. Runs against SDL's dummy
// output, which consumes sound in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;

class WaveTest : public ::testing::Test {
protected:
    MCIDEVICEID openWave(const WaveShape& plan, const std::string& name = "sound.wav") {
        const auto path = writeWave(folder / name, plan);
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd.open("WaveAudio", path.string(), id), 0u);
        return id;
    }
    bool waitForNotices(std::size_t count, std::chrono::milliseconds timeout = 5000ms) {
        return drainUntil(queue, [&] { return window.received.size() >= count; }, timeout);
    }

    ui::MessageQueue queue;
    TempFolder folder;
    std::unique_ptr<DeviceInterface> devices = mcidev::createDeviceManager(queue, {});
    Commands cmd{*devices};
    NoticeWindow window{queue};
};

// ---- files -------------------------------------------------------------------

TEST_F(WaveTest, LengthInEachTimeFormat) {
    // 1.5 s of 16-bit stereo at 44.1 kHz, and 0.5 s of 8-bit mono at 22.05 kHz.
    const MCIDEVICEID a = openWave({.sampleRate = 44100, .channels = 2, .bits = 16, .frames = 66150}, "a.wav");
    const MCIDEVICEID b = openWave({.sampleRate = 22050, .channels = 1, .bits = 8, .frames = 11025}, "b.wav");
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_LENGTH), 1500u);
    EXPECT_EQ(cmd.statusOr(b, MCI_STATUS_LENGTH), 500u);
    ASSERT_EQ(cmd.setTimeFormat(a, MCI_FORMAT_SAMPLES), 0u);
    ASSERT_EQ(cmd.setTimeFormat(b, MCI_FORMAT_BYTES), 0u);
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_SAMPLES);
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_LENGTH), 66150u);
    EXPECT_EQ(cmd.statusOr(b, MCI_STATUS_LENGTH), 11025u);
    ASSERT_EQ(cmd.setTimeFormat(a, MCI_FORMAT_BYTES), 0u);
    EXPECT_EQ(cmd.statusOr(a, MCI_STATUS_LENGTH), 66150u * 4);
}

TEST_F(WaveTest, OtherSampleSizesOpen) {
    for (const int bits : {24, 32}) {
        const MCIDEVICEID id =
            openWave({.sampleRate = 48000, .channels = 2, .bits = bits, .frames = 4800}, std::to_string(bits) + ".wav");
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 100u) << bits;
        ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_BYTES), 0u);
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 4800u * 2 * static_cast<unsigned>(bits / 8)) << bits;
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

TEST_F(WaveTest, StatusItemsOfAFile) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 1u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_CURRENT_TRACK), 1u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_READY), 1u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MEDIA_PRESENT), 1u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION, MCI_TRACK, 1), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 1), 100u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION, MCI_STATUS_START), 0u);

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
}

TEST_F(WaveTest, TimeFormatsTheDeviceDoesNotKnowAreRefused) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    for (const DWORD format : {MCI_FORMAT_TMSF, MCI_FORMAT_MSF, MCI_FORMAT_FRAMES, MCI_FORMAT_HMS, 77u})
        EXPECT_EQ(cmd.setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    MCI_SET_PARMS door{};
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &door), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_WAIT, &door), MCIERR_MISSING_PARAMETER);
}

struct CapsCase {
    DWORD item;
    DWORD expected;
};
class WaveCaps : public WaveTest, public ::testing::WithParamInterface<CapsCase> {};

TEST_P(WaveCaps, Answer) {
    const MCIDEVICEID id = openWave({.frames = 441});
    DWORD value = 0x77;
    ASSERT_EQ(cmd.caps(id, GetParam().item, value), 0u);
    EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Items, WaveCaps,
                         ::testing::Values(CapsCase{MCI_GETDEVCAPS_CAN_PLAY, 1}, CapsCase{MCI_GETDEVCAPS_CAN_RECORD, 0},
                                           CapsCase{MCI_GETDEVCAPS_CAN_EJECT, 0}, CapsCase{MCI_GETDEVCAPS_HAS_VIDEO, 0},
                                           CapsCase{MCI_GETDEVCAPS_HAS_AUDIO, 1}, CapsCase{MCI_GETDEVCAPS_USES_FILES, 1},
                                           CapsCase{MCI_GETDEVCAPS_CAN_SAVE, 0},
                                           CapsCase{MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO}));

// Damaged input gives a clear open error and never brings the program down.
TEST_F(WaveTest, DamagedFilesAreRefused) {
    const auto good = waveBytes({.frames = 4410});
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases{
        {"empty", {}},
        {"header-cut", {good.begin(), good.begin() + 20}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
    };
    auto zeroChannels = good;
    zeroChannels[22] = 0;
    cases.push_back({"no-channels", zeroChannels});
    auto hugeRate = good;
    hugeRate[24] = hugeRate[25] = hugeRate[26] = 0xFF;
    hugeRate[27] = 0x7F;
    cases.push_back({"rate", hugeRate});
    for (const Case& c : cases) {
        const auto path = folder / (c.name + ".wav");
        writeFile(path, c.bytes);
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd.open(nullptr, path.string(), id), MCIERR_INVALID_FILE) << c.name;
    }
    MCIDEVICEID id = 0;
    EXPECT_EQ(cmd.open("WaveAudio", folder.path().string(), id), MCIERR_FILE_NOT_FOUND) << "a folder";
}

// Every encoding the decoder reads opens, with the length its frames give; the files
// are the fuzz seeds.
TEST_F(WaveTest, EncodingsTheDecoderReads) {
    const std::filesystem::path corpus = std::filesystem::path(TOLVANE_SOURCE_DIR) / "fuzz/wave/corpus";
    for (const char* name : {"pcm_u8_mono.wav", "pcm16_stereo.wav", "pcm24_stereo.wav", "pcm32_mono.wav",
                             "float32.wav", "float64.wav", "ulaw.wav", "alaw.wav", "ima_adpcm.wav", "ms_adpcm.wav",
                             "gsm.wav", "extensible_float.wav", "surround51.wav"}) {
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd.open(nullptr, (corpus / name).string(), id), 0u) << name;
        ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_GT(cmd.statusOr(id, MCI_STATUS_LENGTH), 0u) << name;
        EXPECT_EQ(cmd.close(id), 0u);
    }
    MCIDEVICEID id = 0;
    EXPECT_EQ(cmd.open(nullptr, (corpus / "riff_no_fmt.wav").string(), id), MCIERR_INVALID_FILE);
}

TEST_F(WaveTest, FileCutInsideItsDataPlaysWhatIsThere) {
    auto bytes = waveBytes({.frames = 4410});
    bytes.resize(44 + 4 * 2205);  // half of the samples; the header still claims all
    const auto path = folder / "cut.wav";
    writeFile(path, bytes);
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open(nullptr, path.string(), id), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 50u);
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WaveTest, PathWithSpacesAndNonAsciiCharacters) {
    const auto sub = folder / "Wecker Töne ☀";
    std::filesystem::create_directories(sub);
    const auto path = writeWave(sub / "früh auf.wav", {.frames = 2205});
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open(nullptr, path.string(), id), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 50u);
}

TEST_F(WaveTest, ZeroLengthFileOpensAndPlaysToItsEndAtOnce) {
    const MCIDEVICEID id = openWave({.frames = 0});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 0u);
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
}

// ---- playing -----------------------------------------------------------------

TEST_F(WaveTest, PlayToTheEndSendsSuccessAfterTheSound) {
    const MCIDEVICEID id = openWave({.frames = 13230});  // 300 ms
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
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
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
}

TEST_F(WaveTest, ASecondPlaySupersedesTheFirst) {
    const MCIDEVICEID id = openWave({.frames = 8820});  // 200 ms
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 0), 0u);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (std::vector<UINT>{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
}

TEST_F(WaveTest, APlayWithoutNoticeAbortsTheOneWaiting) {
    const MCIDEVICEID id = openWave({.frames = 8820});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.play(id, 0, MCI_FROM, 0), 0u);
    drainUntil(queue, [&] { return cmd.statusOr(id, MCI_STATUS_MODE) == MCI_MODE_STOP; });
    drainFor(queue, 20ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
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
    EXPECT_EQ(window.outcomes(), (std::vector<UINT>{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
    ASSERT_EQ(cmd.simple(id, MCI_STOP), 0u);
    EXPECT_EQ(cmd.simple(id, MCI_RESUME), MCIERR_NONAPPLICABLE_FUNCTION);
}

TEST_F(WaveTest, PauseWithoutNoticeKeepsThePlaysNotice) {
    const MCIDEVICEID id = openWave({.frames = 8820});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.simple(id, MCI_PAUSE), 0u);
    ASSERT_EQ(cmd.simple(id, MCI_RESUME), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WaveTest, PlayFromToEndsAtTo) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 500, 700), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 180ms);
    EXPECT_LT(window.received[0].at - start, 800ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 700u);
}

TEST_F(WaveTest, PlayRangesOutsideTheFileAreRefused) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    EXPECT_EQ(cmd.play(id, 0, MCI_FROM, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.play(id, 0, MCI_TO, 0, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.play(id, 0, MCI_FROM | MCI_TO, 600, 500), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.seek(id, MCI_TO, 5000), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    // From the end to the end: nothing to play, done at once.
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 1000), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
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
    EXPECT_EQ(window.outcomes(),
              (std::vector<UINT>{MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 250u);
}

// The transport control writes the time format with a notice request that names no
// window, every second while a CD plays; that must not take the play's notice away.
TEST_F(WaveTest, NoticeRequestWithoutWindowLeavesThePlaysNotice) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0), 0u);
    ASSERT_TRUE(waitForNotices(1));
    drainFor(queue, 30ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WaveTest, CloseWhilePlayingAbortsAndSilences) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd.play(id, window.handle()), 0u);
    ASSERT_EQ(cmd.close(id), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
}

// A notice that was on its way when its device closed must not reach whoever opens
// the same identifier next.
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
    // The new device's own notices do arrive.
    ASSERT_EQ(cmd.play(second, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, 0, 50), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
}

// The transport control rewinds a stopped device from inside the notice handler.
TEST_F(WaveTest, CommandsFromInsideANoticeHandler) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    window.onMessage = [&](const ui::Message&) {
        DWORD_PTR mode = 0;
        ASSERT_EQ(cmd.status(id, MCI_STATUS_MODE, mode), 0u);
        if (mode == MCI_MODE_STOP) {
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
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
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
    EXPECT_EQ(other.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
}

// A machine without sound: the ctest entry mcidev_no_output runs this with an output
// driver name that does not exist.
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
