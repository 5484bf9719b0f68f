// The wave audio device, and through it what every device shares: time formats, status
// items, files it refuses, and playing through SDL's dummy output (which takes sound in
// real time) with the notices that go with it.
#include <gtest/gtest.h>

#include <thread>

#include "tests/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using Outcomes = std::vector<UINT>;

class WaveTest : public testing::Test, protected DeviceRig {
protected:
    MCIDEVICEID openWave(const WaveShape& plan, const std::string& name = "sound.wav") {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open("WaveAudio", writeWave(folder / name, plan).string(), id), 0u);
        return id;
    }
};

TEST_F(WaveTest, LengthAndPositionInEachTimeFormat) {
    const std::pair<WaveShape, DWORD> cases[] = {
        {{.sampleRate = 44100, .channels = 2, .bits = 16, .frames = 66150}, 1500},
        {{.sampleRate = 22050, .channels = 1, .bits = 8, .frames = 11025}, 500},
        {{.sampleRate = 48000, .channels = 2, .bits = 24, .frames = 4800}, 100},
        {{.sampleRate = 48000, .channels = 2, .bits = 32, .frames = 4800}, 100}};
    for (const auto& [shape, ms] : cases) {
        SCOPED_TRACE(shape.bits);
        const MCIDEVICEID id = openWave(shape, std::to_string(shape.bits) + ".wav");
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), ms);
        ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), shape.frames);
        ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_BYTES), 0u);
        const unsigned frameBytes = shape.channels * shape.bits / 8;
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), shape.frames * frameBytes);
        ASSERT_EQ(cmd->seek(id, MCI_TO, 2 * frameBytes + 1), 0u) << "to the next whole frame";
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 3 * frameBytes);
    }
    // At 22.05 kHz milliseconds fall between frames; each reads back as the one sought.
    const MCIDEVICEID id = openWave({.sampleRate = 22050, .channels = 1, .frames = 22050});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS) << "each device its own";
    for (const DWORD ms : {1u, 7u, 333u, 999u}) {
        ASSERT_EQ(cmd->seek(id, MCI_TO, ms), 0u);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), ms);
    }
    ASSERT_EQ(cmd->seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u);
    EXPECT_EQ(cmd->seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u) << "a refused seek leaves the position";
    ASSERT_EQ(cmd->seek(id, MCI_SEEK_TO_START), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
    EXPECT_EQ(cmd->seek(id, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
}

TEST_F(WaveTest, StatusItemsCapabilitiesAndRefusedRequests) {
    const MCIDEVICEID id = openWave({.frames = 4410});
    for (const auto& [item, expected] : {std::pair<DWORD, DWORD_PTR>{MCI_STATUS_NUMBER_OF_TRACKS, 1},
                                         {MCI_STATUS_CURRENT_TRACK, 1}, {MCI_STATUS_READY, 1},
                                         {MCI_STATUS_MEDIA_PRESENT, 1}, {MCI_STATUS_MODE, MCI_MODE_STOP}})
        EXPECT_EQ(cmd->statusOr(id, item), expected) << item;
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 1), 100u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION, MCI_STATUS_START), 0u);
    for (const auto& [item, expected] : {std::pair<DWORD, DWORD>{MCI_GETDEVCAPS_CAN_PLAY, 1},
                                         {MCI_GETDEVCAPS_CAN_RECORD, 0}, {MCI_GETDEVCAPS_CAN_EJECT, 0},
                                         {MCI_GETDEVCAPS_HAS_VIDEO, 0}, {MCI_GETDEVCAPS_USES_FILES, 1},
                                         {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO}}) {
        DWORD value = 0x77;
        ASSERT_EQ(cmd->caps(id, item, value), 0u) << item;
        EXPECT_EQ(value, expected) << item;
    }
    // Failed queries leave the return field alone.
    DWORD_PTR value = 0x5A5A;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value, MCI_TRACK, 2), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->status(id, 0x4242, value), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(value, 0x5A5Au);
    for (const DWORD format : {MCI_FORMAT_TMSF, MCI_FORMAT_MSF, MCI_FORMAT_FRAMES, MCI_FORMAT_HMS})
        EXPECT_EQ(cmd->setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    MCI_SET_PARMS door{};
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &door), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_WAIT, &door), MCIERR_MISSING_PARAMETER);
}

// Every encoding the decoder reads opens with a length (the files are the fuzz seeds);
// what we cannot play gives a clear open error.
TEST_F(WaveTest, FilesItOpensAndFilesItRefuses) {
    const std::filesystem::path corpus = std::filesystem::path(TOLVANE_SOURCE_DIR) / "fuzz/wave/corpus";
    MCIDEVICEID id = 0;
    for (const char* name : {"pcm_u8_mono.wav", "pcm16_stereo.wav", "pcm24_stereo.wav", "pcm32_mono.wav",
                             "float32.wav", "float64.wav", "ulaw.wav", "alaw.wav", "ima_adpcm.wav", "ms_adpcm.wav",
                             "gsm.wav", "extensible_float.wav", "surround51.wav"}) {
        ASSERT_EQ(cmd->open(nullptr, (corpus / name).string(), id), 0u) << name;
        ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_GT(cmd->statusOr(id, MCI_STATUS_LENGTH), 0u) << name;
        EXPECT_EQ(cmd->close(id), 0u);
    }
    auto hugeRate = waveBytes({.frames = 4410});
    hugeRate[26] = 0x7F;
    writeFile(folder / "huge-rate.wav", hugeRate);
    EXPECT_EQ(cmd->open(nullptr, (folder / "huge-rate.wav").string(), id), MCIERR_INVALID_FILE);
    EXPECT_EQ(cmd->open(nullptr, (corpus / "riff_no_fmt.wav").string(), id), MCIERR_INVALID_FILE);
    EXPECT_EQ(cmd->open("WaveAudio", folder.path().string(), id), MCIERR_FILE_NOT_FOUND) << "a folder";
}

// Exactly one notice, after the sound; the transport control rewinds from inside it.
TEST_F(WaveTest, PlayToTheEndSendsSuccessAfterTheSound) {
    const MCIDEVICEID id = openWave({.frames = 13230});  // 300 ms
    DWORD_PTR heardAt = 0;
    window.onMessage = [&](const ui::Message&) {
        heardAt = cmd->statusOr(id, MCI_STATUS_POSITION);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
        EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_WAIT), 0u);
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(window.received[0].device, static_cast<std::intptr_t>(id));
    EXPECT_EQ(heardAt, 300u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
    drainFor(queue, 50ms);
    EXPECT_EQ(window.received.size(), 1u);
}

// A file that loses its end while it plays ends the play with a failure.
TEST_F(WaveTest, AFileCutWhilePlayingEndsThePlayWithAFailure) {
    const MCIDEVICEID id = openWave({.frames = 8820});
    std::filesystem::resize_file(folder / "sound.wav", 44 + 4 * 2205);
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_FAILURE});
}

// What becomes of a play's notice when another request follows it.
TEST_F(WaveTest, RequestsAfterAPlayDecideItsNotice) {
    using Then = std::function<void(MCIDEVICEID)>;
    const std::tuple<const char*, Then, Outcomes> cases[] = {
        {"stop aborts and keeps the position heard",
         [&](MCIDEVICEID id) {
             std::this_thread::sleep_for(100ms);
             ASSERT_EQ(cmd->simple(id, MCI_STOP), 0u);
             EXPECT_GT(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
             EXPECT_LT(cmd->statusOr(id, MCI_STATUS_POSITION), 200u);
         },
         {MCI_NOTIFY_ABORTED}},
        {"second play supersedes",
         [&](MCIDEVICEID id) { ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 0), 0u); },
         {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}},
        {"play without notice aborts", [&](MCIDEVICEID id) { ASSERT_EQ(cmd->play(id, 0, MCI_FROM, 0), 0u); },
         {MCI_NOTIFY_ABORTED}},
        {"seek aborts, its own notice comes at once",
         [&](MCIDEVICEID id) { ASSERT_EQ(cmd->seek(id, MCI_TO | MCI_NOTIFY, 50, window.handle()), 0u); },
         {MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}},
        {"pause and resume without notice keep it",
         [&](MCIDEVICEID id) {
             ASSERT_EQ(cmd->simple(id, MCI_PAUSE), 0u);
             ASSERT_EQ(cmd->simple(id, MCI_RESUME), 0u);
         },
         {MCI_NOTIFY_SUCCESSFUL}},
        // The transport control does this every second while a CD plays.
        {"notice request naming no window keeps it",
         [&](MCIDEVICEID id) { ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0), 0u); },
         {MCI_NOTIFY_SUCCESSFUL}},
        {"close aborts", [&](MCIDEVICEID id) { ASSERT_EQ(cmd->close(id), 0u); }, {MCI_NOTIFY_ABORTED}}};
    int n = 0;
    for (const auto& [name, then, expected] : cases) {
        SCOPED_TRACE(name);
        const MCIDEVICEID id = openWave({.frames = 8820}, std::to_string(n++) + ".wav");  // 200 ms
        window.received.clear();
        ASSERT_EQ(cmd->play(id, window.handle()), 0u);
        then(id);
        ASSERT_TRUE(drainUntil(queue, [&] {
            return window.received.size() >= expected.size() && cmd->statusOr(id, MCI_STATUS_MODE) != MCI_MODE_PLAY;
        }));
        drainFor(queue, 30ms);
        EXPECT_EQ(window.outcomes(), expected);
    }
}

TEST_F(WaveTest, PauseAndResumeKeepThePosition) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(cmd->simple(id, MCI_PAUSE), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PAUSE);
    const DWORD_PTR pausedAt = cmd->statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GT(pausedAt, 50u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), pausedAt) << "time stands still while paused";
    // Resume goes on from there; its own notice replaces the play's.
    ASSERT_EQ(cmd->simple(id, MCI_RESUME, MCI_NOTIFY, window.handle()), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    const DWORD_PTR resumedAt = cmd->statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GE(resumedAt, pausedAt);
    EXPECT_LT(resumedAt, pausedAt + 40);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
    ASSERT_EQ(cmd->simple(id, MCI_STOP), 0u);
    EXPECT_EQ(cmd->simple(id, MCI_RESUME), MCIERR_NONAPPLICABLE_FUNCTION);
}

TEST_F(WaveTest, PlayFromToEndsAtToAndRangesOutsideTheFileAreRefused) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->play(id, 0, MCI_TO, 0, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM | MCI_TO, 600, 500), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO | MCI_WAIT, 500, 700), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 180ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 700u);
    // From the end to the end: nothing to play, done at once.
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 1000), 0u);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
}

// Notices on their way when a device closes must not reach the next one to get its id.
TEST_F(WaveTest, NoticesOfAClosedDeviceDoNotReachItsSuccessor) {
    const MCIDEVICEID first = openWave({.frames = 2205}, "short.wav");
    ASSERT_EQ(cmd->play(first, window.handle()), 0u);
    std::this_thread::sleep_for(300ms);  // it ends meanwhile; the queue is not drained
    ASSERT_EQ(cmd->simple(first, MCI_STOP, MCI_NOTIFY, window.handle()), 0u);  // also queued
    ASSERT_EQ(cmd->close(first), 0u);
    ASSERT_EQ(openWave({.frames = 44100}, "long.wav"), first);
    drainFor(queue, 100ms);
    EXPECT_TRUE(window.received.empty());
}

TEST_F(WaveTest, SeveralDevicesPlayAtOnce) {
    const MCIDEVICEID a = openWave({.sampleRate = 44100, .frames = 8820}, "a.wav");
    const MCIDEVICEID b = openWave({.sampleRate = 22050, .channels = 1, .frames = 4410}, "b.wav");
    NoticeWindow other(queue);
    ASSERT_EQ(cmd->play(a, window.handle()), 0u);
    ASSERT_EQ(cmd->play(b, other.handle()), 0u);
    EXPECT_EQ(cmd->statusOr(a, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(drainUntil(queue, [&] { return window.received.size() == 1 && other.received.size() == 1; }));
    EXPECT_EQ(window.received[0].device, static_cast<std::intptr_t>(a));
    EXPECT_EQ(other.received[0].device, static_cast<std::intptr_t>(b));
    EXPECT_EQ(other.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

}  // namespace
