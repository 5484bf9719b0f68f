// The manager and the file devices: opening, identifiers, error texts, time formats and
// status items, files refused, and playing through SDL's dummy output (which takes
// sound in real time). The transport and notice rules that every device shares are
// tested here once, on wave files.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>

#include "tests/mcidev/media_fixture.h"
#include "tests/midi/smf_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using Outcomes = std::vector<UINT>;

mcidev::DeviceOptions options(mcidev::AudioOutputChoice output, const std::string& soundFont = "") {
    mcidev::DeviceOptions o;
    o.audioOutput = output;
    o.soundFont = soundFont;
    return o;
}

class DeviceTest : public testing::Test, protected DeviceRig {
protected:
    MCIDEVICEID openFile(const std::filesystem::path& file, const char* type = nullptr) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open(type, file.string(), id), 0u) << file;
        return id;
    }
    MCIDEVICEID openWave(const WaveShape& plan, const std::string& name = "sound.wav") {
        return openFile(writeWave(folder / name, plan), "WaveAudio");
    }
    std::string wav = writeWave(folder / "chime.wav", {.frames = 4410}).string();
};

TEST_F(DeviceTest, IdsStartAtOneAndAFreedIdIsGivenAgain) {
    EXPECT_EQ(openFile(wav, "WaveAudio"), 1u);
    EXPECT_EQ(openFile(wav, "waveaudio"), 2u);
    ASSERT_EQ(cmd->close(1), 0u);
    EXPECT_EQ(cmd->close(1), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(openFile(wav, "WAVEAUDIO"), 1u);
    EXPECT_EQ(cmd->statusOr(2, MCI_STATUS_LENGTH), 100u);
}

// A failed open leaves the record's identifier alone.
TEST_F(DeviceTest, OpenRulesAnswerTheMatchingCode) {
    const auto typeId = [](DWORD type) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(type)); };
    const std::tuple<const char*, std::string, DWORD, MCIERROR> cases[] = {
        {nullptr, wav, 0, 0},
        {"WaveAudio", writeWave(folder / "any-name.snd", {.frames = 10}).string(), 0, 0},
        {typeId(MCI_DEVTYPE_WAVEFORM_AUDIO), wav, MCI_OPEN_TYPE_ID, 0},
        {typeId(MCI_DEVTYPE_VIDEODISC), wav, MCI_OPEN_TYPE_ID, MCIERR_INVALID_DEVICE_NAME},
        {nullptr, wav, MCI_OPEN_TYPE_ID, MCIERR_MISSING_PARAMETER},
        {nullptr, "noise.mp3", 0, MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, (folder / ".wav").string(), 0, MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, "", 0, MCIERR_MISSING_DEVICE_NAME},
        {"AVIVideo", "clip.avi", 0, MCIERR_INVALID_DEVICE_NAME},
        {"WaveAudio", "", 0, MCIERR_FILENAME_REQUIRED},
        {"Sequencer", "", 0, MCIERR_FILENAME_REQUIRED},
        {"WaveAudio", (folder / "missing.wav").string(), 0, MCIERR_FILE_NOT_FOUND},
        {nullptr, (folder / "missing.mid").string(), 0, MCIERR_FILE_NOT_FOUND},
        {"WaveAudio", folder.path().string(), 0, MCIERR_FILE_NOT_FOUND},
        {nullptr, wav, MCI_OPEN_ELEMENT_ID, MCIERR_UNSUPPORTED_FUNCTION}};
    for (const auto& [type, element, flags, expected] : cases) {
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd->open(type, element, id, flags), expected) << element;
        // What opened closes again; the rest left the identifier alone.
        EXPECT_EQ(expected == 0 ? cmd->close(id) : id, expected == 0 ? 0u : 0xDEADu) << element;
    }
    EXPECT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

TEST_F(DeviceTest, RequestsNoDeviceCarriesOut) {
    const MCIDEVICEID id = openFile(wav);
    MCI_DGV_RECT_PARMS params{};  // the largest record
    const std::tuple<MCIDEVICEID, UINT, DWORD, MCIERROR> cases[] = {
        {42, MCI_PLAY, 0, MCIERR_INVALID_DEVICE_ID},
        // The picture commands (the transport control asks where the picture is on every
        // open) are not part of an audio device.
        {id, MCI_WHERE, MCI_DGV_WHERE_SOURCE, MCIERR_UNRECOGNIZED_COMMAND},
        {id, MCI_RECORD, 0, MCIERR_UNSUPPORTED_FUNCTION}};
    for (const auto& [device, message, flags, expected] : cases)
        EXPECT_EQ(devices->sendCommand(device, message, flags | MCI_WAIT, &params), expected) << message;
    // A notice asked for without a record to name the window.
    EXPECT_EQ(devices->sendCommand(id, MCI_STOP, MCI_NOTIFY, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

// Every code the devices return has a text of its own, without a full stop.
TEST_F(DeviceTest, ErrorTexts) {
    char buffer[4096];
    std::set<std::string> texts;
    for (MCIERROR code = 0; code < MCIERR_CUSTOM_DRIVER_BASE + 100; ++code) {
        if (!devices->errorString(code, buffer, sizeof buffer)) continue;
        EXPECT_GT(std::strlen(buffer), 10u) << code;
        EXPECT_NE(buffer[std::strlen(buffer) - 1], '.') << code;
        texts.insert(buffer);
    }
    EXPECT_EQ(texts.size(), 28u) << "a code lost its text, or two share one";
    EXPECT_FALSE(devices->errorString(MCIERR_BASE + 200, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(devices->errorString(mcidev::MCIERR_NO_AUDIO_OUTPUT, buffer, 8));
    EXPECT_EQ(std::strlen(buffer), 7u);
    EXPECT_TRUE(devices->errorString(mcidev::MCIERR_SOUND_FONT_UNUSABLE, nullptr, 0));
}

// Run twice: with no output chosen and, as the ctest entry mcidev_no_output, with the
// system's output through a driver that does not exist.
TEST(NoAudioOutput, PlayFailsClearlyAndNothingElseDoes) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const bool missing = driver != nullptr && std::string(driver) == "no-such-driver";
    DeviceRig rig(options(missing ? mcidev::AudioOutputChoice::System : mcidev::AudioOutputChoice::None));
    MCIDEVICEID id = 0;
    ASSERT_EQ(rig.cmd->open(nullptr, writeWave(rig.folder / "a.wav", {.frames = 4410}).string(), id), 0u);
    EXPECT_EQ(rig.cmd->play(id, rig.window.handle()), mcidev::MCIERR_NO_AUDIO_OUTPUT);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(rig.cmd->seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_POSITION), 100u);
    drainFor(rig.queue, 30ms);
    EXPECT_TRUE(rig.window.received.empty());
}

TEST_F(DeviceTest, WaveLengthAndPositionInEachTimeFormat) {
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
    EXPECT_EQ(cmd->seek(id, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
}

// Failed queries leave the return field alone.
TEST_F(DeviceTest, WaveStatusItemsCapabilitiesAndRefusedRequests) {
    const MCIDEVICEID id = openFile(wav);
    for (const auto& [item, expected] : {std::pair<DWORD, DWORD_PTR>{MCI_STATUS_NUMBER_OF_TRACKS, 1},
                                         {MCI_STATUS_CURRENT_TRACK, 1},
                                         {MCI_STATUS_READY, 1},
                                         {MCI_STATUS_MODE, MCI_MODE_STOP}})
        EXPECT_EQ(cmd->statusOr(id, item), expected) << item;
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 1), 100u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION, MCI_STATUS_START), 0u);
    for (const auto& [item, expected] : {std::pair<DWORD, DWORD>{MCI_GETDEVCAPS_CAN_PLAY, 1},
                                         {MCI_GETDEVCAPS_CAN_RECORD, 0},
                                         {MCI_GETDEVCAPS_CAN_EJECT, 0},
                                         {MCI_GETDEVCAPS_HAS_VIDEO, 0},
                                         {MCI_GETDEVCAPS_USES_FILES, 1},
                                         {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO}})
        EXPECT_EQ(cmd->capsOr(id, item), expected) << item;
    DWORD_PTR value = 0x5A5A;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value, MCI_TRACK, 2), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->status(id, 0x4242, value), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(value, 0x5A5Au);
    for (const DWORD format : {MCI_FORMAT_TMSF, MCI_FORMAT_MSF, MCI_FORMAT_FRAMES})
        EXPECT_EQ(cmd->setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    MCI_SET_PARMS door{};
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &door), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(devices->sendCommand(id, MCI_SET, MCI_WAIT, &door), MCIERR_MISSING_PARAMETER);
}

// Every encoding the decoder reads opens with a length (the files are the fuzz seeds);
// what we cannot play gives a clear open error.
TEST_F(DeviceTest, WaveFilesItOpensAndFilesItRefuses) {
    const std::filesystem::path corpus = std::filesystem::path(TOLVANE_SOURCE_DIR) / "fuzz/wave/corpus";
    for (const char* name :
         {"pcm_u8_mono.wav", "pcm24_stereo.wav", "pcm32_mono.wav", "float32.wav", "float64.wav", "ulaw.wav", "alaw.wav",
          "ima_adpcm.wav", "ms_adpcm.wav", "gsm.wav", "extensible_float.wav", "surround51.wav"}) {
        const MCIDEVICEID id = openFile(corpus / name);
        ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_GT(cmd->statusOr(id, MCI_STATUS_LENGTH), 0u) << name;
        EXPECT_EQ(cmd->close(id), 0u);
    }
    auto hugeRate = waveBytes({.frames = 4410});
    hugeRate[26] = 0x7F;
    writeFile(folder / "huge-rate.wav", hugeRate);
    MCIDEVICEID id = 0;
    EXPECT_EQ(cmd->open(nullptr, (folder / "huge-rate.wav").string(), id), MCIERR_INVALID_FILE);
    EXPECT_EQ(cmd->open(nullptr, (corpus / "riff_no_fmt.wav").string(), id), MCIERR_INVALID_FILE);
}

// Exactly one notice, after the sound; the transport control rewinds from inside it.
TEST_F(DeviceTest, PlayToTheEndSendsSuccessAfterTheSound) {
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
TEST_F(DeviceTest, AFileCutWhilePlayingEndsThePlayWithAFailure) {
    const MCIDEVICEID id = openWave({.frames = 8820});
    std::filesystem::resize_file(folder / "sound.wav", 44 + 4 * 2205);
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_FAILURE});
}

// What becomes of a play's notice when another request follows it.
TEST_F(DeviceTest, RequestsAfterAPlayDecideItsNotice) {
    const std::tuple<const char*, std::function<void(MCIDEVICEID)>, Outcomes> cases[] = {
        {"stop aborts and keeps the position heard",
         [&](MCIDEVICEID id) {
             std::this_thread::sleep_for(100ms);
             ASSERT_EQ(cmd->simple(id, MCI_STOP), 0u);
             EXPECT_GT(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
             EXPECT_LT(cmd->statusOr(id, MCI_STATUS_POSITION), 200u);
         },
         {MCI_NOTIFY_ABORTED}},
        {"second play supersedes",
         [&](MCIDEVICEID id) { cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM); },
         {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}},
        {"play without notice aborts", [&](MCIDEVICEID id) { cmd->play(id, 0, MCI_FROM); }, {MCI_NOTIFY_ABORTED}},
        {"seek aborts, its own notice comes at once",
         [&](MCIDEVICEID id) { cmd->seek(id, MCI_TO | MCI_NOTIFY, 50, window.handle()); },
         {MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}},
        {"pause and resume without notice keep it",
         [&](MCIDEVICEID id) {
             cmd->simple(id, MCI_PAUSE);
             cmd->simple(id, MCI_RESUME);
         },
         {MCI_NOTIFY_SUCCESSFUL}},
        // The transport control does this every second while a CD plays.
        {"notice request naming no window keeps it",
         [&](MCIDEVICEID id) { cmd->setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0); },
         {MCI_NOTIFY_SUCCESSFUL}},
        {"close aborts", [&](MCIDEVICEID id) { cmd->close(id); }, {MCI_NOTIFY_ABORTED}}};
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

TEST_F(DeviceTest, PauseAndResumeKeepThePosition) {
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
    EXPECT_LT(cmd->statusOr(id, MCI_STATUS_POSITION), pausedAt + 40);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
    ASSERT_EQ(cmd->simple(id, MCI_STOP), 0u);
    EXPECT_EQ(cmd->simple(id, MCI_RESUME), MCIERR_NONAPPLICABLE_FUNCTION);
}

// MCI_WAIT returns when the sound has ended; from the end to the end is done at once.
TEST_F(DeviceTest, PlayFromToEndsAtToAndRangesOutsideTheFileAreRefused) {
    const MCIDEVICEID id = openWave({.frames = 44100});
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->play(id, 0, MCI_TO, 0, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM | MCI_TO, 600, 500), MCIERR_OUTOFRANGE);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO | MCI_WAIT, 500, 700), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 180ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 700u);
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 1000), 0u);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
}

// Notices on their way when a device closes must not reach the next one to get its id.
TEST_F(DeviceTest, NoticesOfAClosedDeviceDoNotReachItsSuccessor) {
    const MCIDEVICEID first = openWave({.frames = 2205}, "short.wav");
    ASSERT_EQ(cmd->play(first, window.handle()), 0u);
    std::this_thread::sleep_for(300ms);  // it ends meanwhile; the queue is not drained
    ASSERT_EQ(cmd->simple(first, MCI_STOP, MCI_NOTIFY, window.handle()), 0u);  // also queued
    ASSERT_EQ(cmd->close(first), 0u);
    ASSERT_EQ(openWave({.frames = 44100}, "long.wav"), first);
    drainFor(queue, 100ms);
    EXPECT_TRUE(window.received.empty());
}

TEST_F(DeviceTest, SeveralDevicesPlayAtOnce) {
    const MCIDEVICEID a = openWave({.sampleRate = 44100, .frames = 8820}, "a.wav");
    const MCIDEVICEID b = openWave({.sampleRate = 22050, .channels = 1, .frames = 4410}, "b.wav");
    NoticeWindow other(queue);
    ASSERT_EQ(cmd->play(a, window.handle()), 0u);
    ASSERT_EQ(cmd->play(b, other.handle()), 0u);
    ASSERT_TRUE(drainUntil(queue, [&] { return window.received.size() == 1 && other.received.size() == 1; }));
    EXPECT_EQ(window.received[0].device, static_cast<std::intptr_t>(a));
    EXPECT_EQ(other.received[0].device, static_cast<std::intptr_t>(b));
    EXPECT_EQ(other.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

// 480 ticks a quarter: one quarter at 120 bpm (500 ms), then two at 240 bpm (500 ms).
midi_test::Bytes tempoChangeSong() {
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 0).noteOn(0, 0, 60).noteOff(480, 0, 60);
    t.tempo(0, 250000).noteOn(0, 0, 64).noteOff(960, 0, 64).end();
    return midi_test::smf(0, 480, {t});
}

// Also a RIFF-wrapped copy, opened by its extension.
TEST_F(DeviceTest, SequencerLengthFollowsTheTempoMapAndOnlyMillisecondsAreOffered) {
    writeFile(folder / "tempo.mid", tempoChangeSong());
    writeFile(folder / "wrapped.RMI", midi_test::rmi(tempoChangeSong()));
    const MCIDEVICEID id = openFile(folder / "tempo.mid");
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd->statusOr(openFile(folder / "wrapped.RMI"), MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd->capsOr(id, MCI_GETDEVCAPS_DEVICE_TYPE), MCI_DEVTYPE_SEQUENCER);
    for (const DWORD ms : {1u, 499u, 1000u}) {
        ASSERT_EQ(cmd->seek(id, MCI_TO, ms), 0u);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), ms);
    }
    EXPECT_EQ(cmd->seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    for (const DWORD format : {0x4001u /* song pointer */, MCI_FORMAT_SMPTE_30, MCI_FORMAT_SAMPLES})
        EXPECT_EQ(cmd->setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    const midi_test::Bytes song = tempoChangeSong();
    writeFile(folder / "cut.mid", {song.begin(), song.end() - 8});
    MCIDEVICEID cut = 0;
    EXPECT_EQ(cmd->open(nullptr, (folder / "cut.mid").string(), cut), MCIERR_INVALID_FILE);
}

TEST_F(DeviceTest, SequencerPlaysToTheEndAndTellsSo) {
    writeFile(folder / "song.mid", tempoChangeSong());
    const MCIDEVICEID id = openFile(folder / "song.mid");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 700), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u);
}

TEST_F(DeviceTest, UnusableSoundFontsFailTheSequencerOpenWithTheirOwnCodes) {
    writeFile(folder / "song.mid", tempoChangeSong());
    writeFile(folder / "broken.sf2", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    for (const auto& [font, expected] :
         {std::pair{"nowhere.sf2", MCIERR_SEQ_NOMIDIPRESENT}, {"broken.sf2", mcidev::MCIERR_SOUND_FONT_UNUSABLE}}) {
        start(options(mcidev::AudioOutputChoice::System, (folder / font).string()));
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open(nullptr, (folder / "song.mid").string(), id), expected) << font;
    }
}

}  // namespace
