// The MIDI sequencer device: lengths on the tempo map, its one time format, damaged
// files, a missing sound font, and playing to the end.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"
#include "tests/midi/smf_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;

// 480 ticks a quarter: one quarter at 120 bpm (500 ms), then two at 240 bpm (500 ms).
midi_test::Bytes tempoChangeSong() {
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 0).noteOn(0, 0, 60).noteOff(480, 0, 60);
    t.tempo(0, 250000).noteOn(0, 0, 64).noteOff(960, 0, 64).end();
    return midi_test::smf(0, 480, {t});
}

class SequencerTest : public ::testing::Test {
protected:
    std::string writeSong(const std::string& name, const midi_test::Bytes& bytes) {
        const auto path = folder / name;
        writeFile(path, bytes);
        return path.string();
    }

    ui::MessageQueue queue;
    TempFolder folder;
    std::unique_ptr<DeviceInterface> devices = mcidev::createDeviceManager(queue, {});
    Commands cmd{*devices};
    NoticeWindow window{queue};
};

// Also a RIFF-wrapped copy, opened by its extension: the same length and device type.
TEST_F(SequencerTest, LengthFollowsTheTempoMapAndOnlyMillisecondsAreOffered) {
    MCIDEVICEID id = 0, wrapped = 0;
    ASSERT_EQ(cmd.open(nullptr, writeSong("tempo.mid", tempoChangeSong()), id), 0u);
    ASSERT_EQ(cmd.open(nullptr, writeSong("wrapped.RMI", midi_test::rmi(tempoChangeSong())), wrapped), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd.statusOr(wrapped, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 1u);
    DWORD type = 0;
    ASSERT_EQ(cmd.caps(wrapped, MCI_GETDEVCAPS_DEVICE_TYPE, type), 0u);
    EXPECT_EQ(type, MCI_DEVTYPE_SEQUENCER);
    // Seeking to a time reads back as that time, up to the very end.
    for (const DWORD ms : {0u, 1u, 499u, 500u, 999u, 1000u}) {
        ASSERT_EQ(cmd.seek(id, MCI_TO, ms), 0u) << ms;
        EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), ms);
    }
    EXPECT_EQ(cmd.seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    constexpr DWORD kSongPointer = 0x4001;
    for (const DWORD format : {kSongPointer, MCI_FORMAT_SMPTE_30, MCI_FORMAT_SAMPLES, MCI_FORMAT_TMSF})
        EXPECT_EQ(cmd.setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    EXPECT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_MILLISECONDS), 0u);

    // 96 ticks a quarter at 0.6 s: a tick is 6.25 ms; three ticks are 18.75 ms.
    midi_test::Track t;
    t.tempo(0, 600000).noteOn(0, 0, 60).noteOff(3, 0, 60).end();
    ASSERT_EQ(cmd.open("Sequencer", writeSong("short.midi", midi_test::smf(0, 96, {t})), id), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_LENGTH), 19u);
}

TEST_F(SequencerTest, DamagedFilesAreRefused) {
    const midi_test::Bytes good = tempoChangeSong();
    const std::vector<std::pair<std::string, midi_test::Bytes>> cases{
        {"empty.mid", {}},
        {"cut.mid", midi_test::Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
    };
    for (const auto& [name, bytes] : cases) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd.open(nullptr, writeSong(name, bytes), id), MCIERR_INVALID_FILE) << name;
    }
}

TEST_F(SequencerTest, PlaysToTheEndAndTellsSo) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open(nullptr, writeSong("song.mid", tempoChangeSong()), id), 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 700), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 1000u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
}

// A missing or unusable sound font fails the open with a text that says so.
TEST(SequencerSoundFont, UnusableFontsFailTheOpenWithAClearText) {
    ui::MessageQueue queue;
    TempFolder folder;
    writeFile(folder / "song.mid", tempoChangeSong());
    writeFile(folder / "broken.sf2", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    const std::pair<const char*, MCIERROR> cases[] = {{"nowhere.sf2", MCIERR_SEQ_NOMIDIPRESENT},
                                                      {"broken.sf2", mcidev::MCIERR_SOUND_FONT_UNUSABLE}};
    for (const auto& [font, expected] : cases) {
        mcidev::DeviceOptions options;
        options.soundFont = (folder / font).string();
        auto devices = mcidev::createDeviceManager(queue, options);
        MCIDEVICEID id = 0;
        const MCIERROR result = Commands(*devices).open(nullptr, (folder / "song.mid").string(), id);
        EXPECT_EQ(result, expected) << font;
        char text[512] = {};
        devices->errorString(result, text, sizeof text);
        EXPECT_NE(std::string(text).find("sound font"), std::string::npos) << text;
    }
}

}  // namespace
