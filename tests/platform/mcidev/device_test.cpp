// The manager and the file devices: opening, error texts, time formats, files refused,
// and playing through SDL's dummy output (which takes sound in real time). The transport
// and notice rules that every device shares are tested here once, on wave files.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <set>
#include <thread>

#include "platform/mcidev/alarm_tone.h"
#include "platform/mcidev/wave_file.h"
#include "platform/mcidev/midi/sound_font.h"
#include "tests/platform/mcidev/media_fixture.h"
#include "tests/platform/mcidev/midi/smf_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using Outcomes = std::vector<UINT>;

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
    std::filesystem::path corpus = std::filesystem::path(TOLVANE_SOURCE_DIR) / "fuzz/wave/corpus";
};

TEST_F(DeviceTest, OpenRulesAndRequestsRefused) {
    const std::tuple<const char*, std::string, MCIERROR> cases[] = {
        {nullptr, wav, 0},
        {"waveaudio", writeWave(folder / "any-name.snd", {.frames = 10}).string(), 0},
        {nullptr, (folder / "missing.mid").string(), MCIERR_FILE_NOT_FOUND},
        {"WaveAudio", folder.path().string(), MCIERR_FILE_NOT_FOUND},
        {nullptr, (corpus / "riff_no_fmt.wav").string(), MCIERR_INVALID_FILE},
        {nullptr, writeWave(folder / "header-only.wav", {.frames = 0}).string(), MCIERR_INVALID_FILE}};
    for (const auto& [type, element, expected] : cases) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open(type, element, id), expected) << element;
    }
    EXPECT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
    EXPECT_EQ(cmd->simple(42, MCI_PLAY), MCIERR_INVALID_DEVICE_ID);
    // A notice asked for without a record to name the window.
    EXPECT_EQ(devices->sendCommand(1, MCI_STOP, MCI_NOTIFY, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

// Every code the devices return has a text of its own, without a full stop, that may
// follow a report's own words with its first letter lowered, cut to the buffer it is
// given.
TEST_F(DeviceTest, ErrorTexts) {
    char buffer[4096];
    std::set<std::string> texts;
    for (MCIERROR code = 0; code < MCIERR_CUSTOM_DRIVER_BASE + 100; ++code) {
        if (!devices->errorString(code, buffer, sizeof buffer)) continue;
        EXPECT_TRUE(std::strlen(buffer) > 10 && buffer[std::strlen(buffer) - 1] != '.') << code << ": " << buffer;
        EXPECT_FALSE(std::isupper(static_cast<unsigned char>(buffer[1]))) << "reads wrong lowered: " << buffer;
        texts.insert(buffer);
    }
    EXPECT_EQ(texts.size(), 31u) << "a code lost its text, or two share one";
    EXPECT_FALSE(devices->errorString(MCIERR_BASE + 200, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(devices->errorString(mcidev::MCIERR_NO_AUDIO_OUTPUT, buffer, 8));
    EXPECT_EQ(std::strlen(buffer), 7u);
}

// Run twice: with no output chosen and, as the ctest entry mcidev_no_output, with the
// system's output through a driver that does not exist. The alarm tone says the same.
TEST(NoAudioOutput, PlayFailsClearlyAndNothingElseDoes) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const bool missing = driver != nullptr && std::string(driver) == "no-such-driver";
    mcidev::DeviceOptions options;
    options.output = missing ? mcidev::makeSdlOutput() : mcidev::makeNoOutput();
    DeviceRig rig(options);
    const auto tone = mcidev::makeAlarmTone(options.output);
    EXPECT_EQ(tone->start(), mcidev::errorText(mcidev::MCIERR_NO_AUDIO_OUTPUT));
    EXPECT_FALSE(tone->sounding());
    MCIDEVICEID id = 0;
    ASSERT_EQ(rig.cmd->open(nullptr, writeWave(rig.folder / "a.wav", {.frames = 4410}).string(), id), 0u);
    EXPECT_EQ(rig.cmd->play(id, rig.window.handle()), mcidev::MCIERR_NO_AUDIO_OUTPUT);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(rig.cmd->seek(id, MCI_SEEK_TO_END), 0u);
    drainFor(rig.queue, 30ms);
    EXPECT_TRUE(rig.window.received.empty());
}

// At 22.05 kHz milliseconds fall between frames; each reads back as the one sought. A
// play from the end is over at once.
TEST_F(DeviceTest, WavePositionsInMillisecondsAndRangesOutsideTheFile) {
    const MCIDEVICEID id = openWave({.sampleRate = 22050, .channels = 1, .frames = 22050});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    for (const DWORD ms : {1u, 7u, 333u, 999u}) {
        ASSERT_EQ(cmd->seek(id, MCI_TO, ms), 0u);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), ms);
    }
    ASSERT_EQ(cmd->seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(cmd->seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u) << "a refused seek leaves the position";
    EXPECT_EQ(cmd->seek(id, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM, 1001), MCIERR_OUTOFRANGE);
    EXPECT_EQ(cmd->play(id, 0, MCI_FROM | MCI_TO, 600, 500), MCIERR_OUTOFRANGE);
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    drainFor(queue, 10ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
}

// Every encoding the decoder reads opens with a length and decodes at the file's own
// level: not the silence of float samples read unscaled, nor a quiet file turned up to
// full scale. The files are the fuzz seeds, each a tone; the levels are their RMS as an
// independent tool (sox) measures it, relative to full scale. GSM decoders differ in
// level, so it need only be heard.
TEST_F(DeviceTest, WaveFilesOfEveryEncodingOpenAndPlayAtTheirOwnLevel) {
    const std::pair<const char*, double> files[] = {
        {"pcm_u8_mono.wav", 0.4930}, {"pcm16_stereo.wav", 0.5196},     {"pcm24_stereo.wav", 0.7366},
        {"pcm32_mono.wav", 0.5074},  {"float32.wav", 0.5186},          {"float64.wav", 0.5049},
        {"ulaw.wav", 0.5013},        {"extensible_float.wav", 0.2739}, {"alaw.wav", 0.5021},
        {"ima_adpcm.wav", 0.3714},   {"ms_adpcm.wav", 0.3731},         {"surround51.wav", 0.5283},
        {"gsm.wav", 0}};
    for (const auto& [name, level] : files) {
        const MCIDEVICEID id = openFile(corpus / name);
        ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_SAMPLES), 0u);
        EXPECT_GT(cmd->statusOr(id, MCI_STATUS_LENGTH), 0u) << name;
        EXPECT_EQ(cmd->close(id), 0u);

        std::unique_ptr<mcidev::WaveFile> file;
        ASSERT_EQ(mcidev::WaveFile::open((corpus / name).string(), file), 0u) << name;
        std::vector<std::int16_t> samples(file->lengthFrames() * static_cast<std::size_t>(file->channels()));
        ASSERT_EQ(file->read(samples.data(), file->lengthFrames()), file->lengthFrames()) << name;
        double sum = 0;
        for (const std::int16_t v : samples) sum += double(v) * v;
        const double rms = std::sqrt(sum / double(samples.size())) / 32768;
        if (level > 0) {
            EXPECT_NEAR(rms, level, 0.01) << name;
        } else {
            EXPECT_GT(rms, 0.1) << name;
        }
    }
}

// Exactly one notice, after the sound; the transport control rewinds from inside it.
TEST_F(DeviceTest, PlayToTheEndSendsSuccessAfterTheSound) {
    const MCIDEVICEID id = openWave({.frames = 13230});  // 300 ms
    DWORD_PTR heardAt = 0;
    window.onMessage = [&](const sys::Message&) {
        heardAt = cmd->statusOr(id, MCI_STATUS_POSITION);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
        EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_WAIT), 0u);
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(heardAt, 300u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
    drainFor(queue, 50ms);
    EXPECT_EQ(window.received.size(), 1u);
}

// A file that loses its end while it plays ends the play with a failure: the notice
// says so, and so does a play that was waited for.
TEST_F(DeviceTest, AFileCutWhilePlayingEndsThePlayWithAFailure) {
    for (const DWORD flags : {MCI_NOTIFY, MCI_WAIT}) {
        const std::string name = std::to_string(flags) + ".wav";
        const MCIDEVICEID id = openWave({.frames = 44100}, name);
        std::thread cutter([&] {
            std::this_thread::sleep_for(100ms);
            std::filesystem::resize_file(folder / name, 44 + 4 * 2205);
        });
        const MCIERROR played = cmd->play(id, window.handle(), flags);
        cutter.join();
        if (flags == MCI_WAIT) {
            EXPECT_EQ(played, MCIERR_FILE_READ);
        } else {
            ASSERT_EQ(played, 0u);
            ASSERT_TRUE(waitForNotices(1));
            EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_FAILURE});
        }
    }
}

// What a play finds when the file has changed since the device opened it.
struct FileChange {
    const char* name;
    bool whilePaused;  // paused half-way, then resumed; otherwise played from 900 ms
    std::function<void(const std::filesystem::path&)> change;
    MCIERROR expected;
    DWORD_PTR lengthAfter;  // ms
};
void PrintTo(const FileChange& c, std::ostream* os) { *os << c.name; }

class WaveFileChanged : public DeviceTest, public testing::WithParamInterface<FileChange> {};

TEST_P(WaveFileChanged, PlayTakesUpTheFileAsItIsNow) {
    const FileChange& c = GetParam();
    const MCIDEVICEID id = openWave({.frames = 44100});
    if (c.whilePaused) {
        ASSERT_EQ(cmd->play(id, 0, MCI_FROM | MCI_TO, 0, 600), 0u);
        ASSERT_EQ(cmd->simple(id, MCI_PAUSE), 0u);
    } else {
        ASSERT_EQ(cmd->seek(id, MCI_TO, 900), 0u);
    }
    c.change(folder / "sound.wav");
    const MCIERROR result =
        c.whilePaused ? cmd->simple(id, MCI_RESUME, MCI_NOTIFY, window.handle()) : cmd->play(id, window.handle());
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), c.lengthAfter);
    if (result != 0) {
        EXPECT_NE(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
        return;
    }
    // It plays to the end of the run, kept within the file as it is now.
    ASSERT_TRUE(drainUntil(queue, [&] { return cmd->statusOr(id, MCI_STATUS_MODE) == MCI_MODE_STOP; }));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION),
              c.whilePaused ? std::min<DWORD_PTR>(c.lengthAfter, 600) : c.lengthAfter);
}

const auto cutTo = [](std::uintmax_t bytes) {
    return [bytes](const std::filesystem::path& file) { std::filesystem::resize_file(file, bytes); };
};
const auto rewrite = [](std::uint64_t frames) {
    return [frames](const std::filesystem::path& file) { writeWave(file, {.frames = frames}); };
};

INSTANTIATE_TEST_SUITE_P(
    Changes, WaveFileChanged,
    testing::Values(FileChange{"Emptied", false, cutTo(0), MCIERR_INVALID_FILE, 1000},
                    FileChange{"CutToItsHeader", false, cutTo(44), MCIERR_INVALID_FILE, 1000},
                    FileChange{"Deleted", false, [](const auto& file) { std::filesystem::remove(file); },
                               MCIERR_FILE_NOT_FOUND, 1000},
                    FileChange{"ReplacedByALongerOne", false, rewrite(88200), 0, 2000},
                    FileChange{"ReplacedByAShorterOne", false, rewrite(4410), 0, 100},
                    FileChange{"ReplacedByOneOfTheSameSizeAtHalfTheRate", false,
                               [](const auto& file) { writeWave(file, {.sampleRate = 22050, .frames = 44100}); }, 0,
                               2000},
                    FileChange{"EmptiedWhilePaused", true, cutTo(0), MCIERR_INVALID_FILE, 1000},
                    FileChange{"ShortenedWhilePaused", true, rewrite(13230), 0, 300}),
    [](const auto& info) { return std::string(info.param.name); });

// What becomes of a play's notice when another request follows it.
TEST_F(DeviceTest, RequestsAfterAPlayDecideItsNotice) {
    const std::tuple<const char*, std::function<void(MCIDEVICEID)>, Outcomes> cases[] = {
        {"stop aborts and keeps the position heard",
         [&](MCIDEVICEID id) {
             std::this_thread::sleep_for(100ms);
             ASSERT_EQ(cmd->simple(id, MCI_STOP), 0u);
             EXPECT_GT(cmd->statusOr(id, MCI_STATUS_POSITION), 0u);
             EXPECT_LT(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u);
         },
         {MCI_NOTIFY_ABORTED}},
        {"second play aborts it",
         [&](MCIDEVICEID id) { cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM); },
         {MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}},
        // The transport control does this every second while a CD plays.
        {"notice request naming no window keeps it",
         [&](MCIDEVICEID id) { cmd->setTimeFormat(id, MCI_FORMAT_MILLISECONDS, MCI_NOTIFY, 0); },
         {MCI_NOTIFY_SUCCESSFUL}},
        {"close aborts", [&](MCIDEVICEID id) { cmd->close(id); }, {MCI_NOTIFY_ABORTED}}};
    int n = 0;
    for (const auto& [name, then, expected] : cases) {
        SCOPED_TRACE(name);
        // A second, so that the request surely comes while it plays, even on a busy machine.
        const MCIDEVICEID id = openWave({.frames = 44100}, std::to_string(n++) + ".wav");
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

TEST_F(DeviceTest, PauseAndResumeKeepThePositionAndTheEnd) {
    const MCIDEVICEID id = openWave({.frames = 441000});
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_TO, 0, 2500), 0u);
    ASSERT_TRUE(drainUntil(queue, [&] { return cmd->statusOr(id, MCI_STATUS_POSITION) >= 50; }));
    ASSERT_EQ(cmd->simple(id, MCI_PAUSE), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PAUSE);
    const DWORD_PTR pausedAt = cmd->statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GE(pausedAt, 50u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), pausedAt) << "time stands still while paused";
    // Resume goes on from there; its own notice replaces the play's.
    ASSERT_EQ(cmd->simple(id, MCI_RESUME, MCI_NOTIFY, window.handle()), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    const DWORD_PTR resumedAt = cmd->statusOr(id, MCI_STATUS_POSITION);
    EXPECT_GE(resumedAt, pausedAt);
    EXPECT_LT(resumedAt, pausedAt + 500);
    // and ends where the play was to end.
    ASSERT_TRUE(drainUntil(queue, [&] { return cmd->statusOr(id, MCI_STATUS_MODE) == MCI_MODE_STOP; }));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 2500u);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(window.outcomes(), (Outcomes{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(cmd->simple(id, MCI_RESUME), MCIERR_NONAPPLICABLE_FUNCTION);
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

// 480 ticks a quarter: one quarter at 120 bpm (500 ms), then two at 240 bpm (500 ms).
// A copy cut short is refused.
TEST_F(DeviceTest, SequencerPlaysItsFileOnTheTempoMapToTheEnd) {
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 0).noteOn(0, 0, 60).noteOff(480, 0, 60);
    t.tempo(0, 250000).noteOn(0, 0, 64).noteOff(960, 0, 64).end();
    const midi_test::Bytes song = midi_test::smf(0, 480, {t});
    writeFile(folder / "tempo.mid", song);
    writeFile(folder / "cut.mid", {song.begin(), song.end() - 8});
    MCIDEVICEID cut = 0;
    EXPECT_EQ(cmd->open(nullptr, (folder / "cut.mid").string(), cut), MCIERR_INVALID_FILE);
    midi_test::Track silent;
    writeFile(folder / "empty.mid", midi_test::smf(0, 480, {silent.end()}));
    EXPECT_EQ(cmd->open(nullptr, (folder / "empty.mid").string(), cut), MCIERR_INVALID_FILE) << "nothing to hear";
    const MCIDEVICEID id = openFile(folder / "tempo.mid");
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 1000u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 700), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u);
}

TEST_F(DeviceTest, UnusableSoundFontsFailTheSequencerOpenWithTheirOwnCodes) {
    midi_test::Track t;
    writeFile(folder / "song.mid", midi_test::smf(0, 480, {t.end()}));
    writeFile(folder / "broken.sf2", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    for (const auto& [font, expected] :
         {std::pair{"nowhere.sf2", MCIERR_SEQ_NOMIDIPRESENT}, {"broken.sf2", mcidev::MCIERR_SOUND_FONT_UNUSABLE}}) {
        mcidev::DeviceOptions options;
        options.soundFont = (folder / font).string();
        start(options);
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open(nullptr, (folder / "song.mid").string(), id), expected) << font;
    }
}

// The sound font is loaded by the first sequencer open, not before, and let go once
// the user-interface thread finds no sequencer open; one closed and another opened in
// the same turn keep it, and a failed open lets go of the font it waited for.
TEST_F(DeviceTest, TheSoundFontIsHeldWhileASequencerIsOpen) {
    if (mcidev::midi::SoundFontCache::findDefault().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
    const auto fonts = std::make_shared<mcidev::midi::SoundFontCache>();
    mcidev::DeviceOptions options;
    options.fontCache = fonts;
    start(options);
    midi_test::Track t;
    t.noteOn(0, 0, 60).noteOff(480, 0, 60).end();
    writeFile(folder / "song.mid", midi_test::smf(0, 480, {t}));
    writeFile(folder / "empty.mid", midi_test::smf(0, 480, {midi_test::Track().end()}));
    const auto settled = [&] {
        drainFor(queue, 5ms);
        return fonts->path().empty() ? "released" : "held";
    };

    openWave({.frames = 100});
    EXPECT_EQ(fonts->loads(), 0u);
    const MCIDEVICEID first = openFile(folder / "song.mid");
    const MCIDEVICEID second = openFile(folder / "song.mid");
    EXPECT_EQ(fonts->loads(), 1u);
    ASSERT_EQ(cmd->close(first), 0u);
    EXPECT_STREQ(settled(), "held");
    ASSERT_EQ(cmd->close(second), 0u);
    const MCIDEVICEID next = openFile(folder / "song.mid");
    EXPECT_STREQ(settled(), "held");
    EXPECT_EQ(fonts->loads(), 1u);
    ASSERT_EQ(cmd->close(next), 0u);
    EXPECT_STREQ(settled(), "released");

    MCIDEVICEID refused = 0;
    EXPECT_EQ(cmd->open(nullptr, (folder / "empty.mid").string(), refused), MCIERR_INVALID_FILE);
    EXPECT_EQ(fonts->loads(), 2u);
    EXPECT_STREQ(settled(), "released");
}

}  // namespace
