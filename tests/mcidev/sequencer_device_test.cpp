// The MIDI sequencer device: lengths on the tempo map, its one time format, damaged
// files, a missing sound font, and playing to the end.
#include <gtest/gtest.h>

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

class SequencerTest : public testing::Test, protected DeviceRig {
protected:
    std::string writeSong(const std::string& name, const midi_test::Bytes& bytes) {
        writeFile(folder / name, bytes);
        return (folder / name).string();
    }
};

// Also a RIFF-wrapped copy, opened by its extension.
TEST_F(SequencerTest, LengthFollowsTheTempoMapAndOnlyMillisecondsAreOffered) {
    MCIDEVICEID id = 0, wrapped = 0;
    ASSERT_EQ(cmd->open(nullptr, writeSong("tempo.mid", tempoChangeSong()), id), 0u);
    ASSERT_EQ(cmd->open(nullptr, writeSong("wrapped.RMI", midi_test::rmi(tempoChangeSong())), wrapped), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(cmd->statusOr(wrapped, MCI_STATUS_LENGTH), 1000u);
    DWORD type = 0;
    ASSERT_EQ(cmd->caps(wrapped, MCI_GETDEVCAPS_DEVICE_TYPE, type), 0u);
    EXPECT_EQ(type, MCI_DEVTYPE_SEQUENCER);
    // Seeking to a time reads back as that time, up to the very end.
    for (const DWORD ms : {1u, 499u, 1000u}) {
        ASSERT_EQ(cmd->seek(id, MCI_TO, ms), 0u);
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), ms);
    }
    EXPECT_EQ(cmd->seek(id, MCI_TO, 1001), MCIERR_OUTOFRANGE);
    for (const DWORD format : {0x4001u /* song pointer */, MCI_FORMAT_SMPTE_30, MCI_FORMAT_SAMPLES})
        EXPECT_EQ(cmd->setTimeFormat(id, format), MCIERR_BAD_TIME_FORMAT) << format;
    // 96 ticks a quarter at 0.6 s: three ticks are 18.75 ms.
    midi_test::Track t;
    t.tempo(0, 600000).noteOn(0, 0, 60).noteOff(3, 0, 60).end();
    ASSERT_EQ(cmd->open("Sequencer", writeSong("short.midi", midi_test::smf(0, 96, {t})), id), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 19u);
    const midi_test::Bytes song = tempoChangeSong();
    EXPECT_EQ(cmd->open(nullptr, writeSong("cut.mid", {song.begin(), song.end() - 8}), id), MCIERR_INVALID_FILE);
}

TEST_F(SequencerTest, PlaysToTheEndAndTellsSo) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open(nullptr, writeSong("song.mid", tempoChangeSong()), id), 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM, 700), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 280ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 1000u);
}

TEST_F(SequencerTest, UnusableSoundFontsFailTheOpenWithTheirOwnCodes) {
    const std::string song = writeSong("song.mid", tempoChangeSong());
    writeFile(folder / "broken.sf2", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    for (const auto& [font, expected] : {std::pair{"nowhere.sf2", MCIERR_SEQ_NOMIDIPRESENT},
                                         {"broken.sf2", mcidev::MCIERR_SOUND_FONT_UNUSABLE}}) {
        mcidev::DeviceOptions options;
        options.soundFont = (folder / font).string();
        start(options);
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open(nullptr, song, id), expected) << font;
    }
}

}  // namespace
