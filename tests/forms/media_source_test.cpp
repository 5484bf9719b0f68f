// The media page: the CD, a wave file or a MIDI file, the open-file dialog and its
// cancel paths, the armed state across a change, the track after a transport button and
// the completion notice.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

using MediaSourceTest = MainWindowTest;

const std::string kWaveFilter = "Wave files (*.wav)|*.wav";
const std::string kMidiFilter = "Music files|*.mid;*.midi;*.rmi";

// The first press opens the last wave file; the dialog then offers it, and the chosen
// file is opened and kept as the last one.
TEST_F(MediaSourceTest, DoubleClickOnAnotherSourceOpensItsLastFileThenAsks) {
    start({{"LastType", "CD"}, {"LastWave", kWave}});
    device.clearRequests();
    chooseFile(form().WavRadioButton, "/b/gong.wav");
    EXPECT_EQ(services.dialogs, Texts{kWaveFilter + " " + kWave});
    EXPECT_EQ(device.requests(mci::MCI_OPEN).at(0).elementName, kWave);
    EXPECT_EQ(device.typeName() + " " + device.element(), "WaveAudio /b/gong.wav");
    EXPECT_EQ(form().LastWaveLabel->caption() + " " + form().OpenDialog->fileName(), "/b/gong.wav /b/gong.wav");
    EXPECT_EQ(mediaShows(), "/b/gong.wav [right] Length: 2 sec");
}

// A change stops a playing sound and closes the device. The CD has no file anywhere and
// shows the whole packed position (the next tick shows the track alone); a double click
// on it opens it again.
TEST_F(MediaSourceTest, TheCd) {
    device.profiles["CDAudio"].position = mci::MCI_MAKE_TMSF(2, 3, 4, 0);
    startWithWave();
    pressTransport(mci::btPlay);
    device.log.clear();
    click(form().CDRadioButton);
    EXPECT_EQ(Texts(device.log.begin(), device.log.begin() + 3), (Texts{"MCI_STOP", "MCI_CLOSE", "MCI_OPEN"}));
    EXPECT_EQ(device.typeName() + device.element() + form().OpenDialog->fileName(), "CDAudio");
    EXPECT_TRUE(device.openedShareable());
    EXPECT_EQ(mediaShows(), "Music CD [left] Track: 262914");
    device.clearRequests();
    doubleClick(form().CDRadioButton);
    EXPECT_EQ(device.count(mci::MCI_CLOSE) + device.count(mci::MCI_OPEN), 2u);
}

// Cancelling the dialog opens nothing and leaves the alarm as it was: only the radio
// buttons are put back in step with the device, and the dialog keeps what it last showed.
TEST_F(MediaSourceTest, CancelChangesOnlyTheRadioButtons) {
    startArmed({{"LastType", "Midi"}, {"LastFileName", "/b/other.mid"}, {"LastMidi", kMidi}, {"LastWave", ""}});
    device.log.clear();
    doubleClick(form().MidiRadioButton);
    doubleClick(form().WavRadioButton);  // no wave file yet: the first press asks too
    EXPECT_EQ(services.dialogs,
              (Texts{kMidiFilter + " /b/other.mid", kWaveFilter + " /b/other.mid", kWaveFilter + " " + kMidi}));
    EXPECT_EQ(checkedSource() + " " + form().OpenDialog->filter() + " " + form().OpenDialog->fileName(),
              "MidiRadioButton " + kMidiFilter + " " + kMidi);
    EXPECT_EQ(device.log, Texts{});
    expectAlarm(true, "Tolvane @7:05AM");
    click(form().CDRadioButton);
    device.log.clear();
    doubleClick(form().WavRadioButton);
    EXPECT_EQ(checkedSource() + " " + form().OpenDialog->filter(), "CDRadioButton " + kWaveFilter);
    EXPECT_EQ(device.log, Texts{});
}

// ---- The armed state across a change

// The alarm is down while the source changes and comes back as it was; the title shows
// the alarm time either way.
TEST_F(MediaSourceTest, AChangeKeepsTheArmedState) {
    startArmed({{"LastType", "CD"}, {"LastMidi", kMidi}});
    std::vector<bool> armedAtOpen;
    device.beforeRequest = [&](mci::UINT message) {
        if (message == mci::MCI_OPEN) armedAtOpen.push_back(AlarmOn);
    };
    click(form().MidiRadioButton);
    EXPECT_EQ(device.typeName() + " " + form().TimeIndexLabel->caption(), "Sequencer 60 sec");
    EXPECT_FALSE(device.openedShareable());
    chooseFile(form().WavRadioButton, kWave);
    click(form().CDRadioButton);
    EXPECT_EQ(armedAtOpen, std::vector<bool>(4, false));
    expectAlarm(true, "Tolvane @7:05AM");
    click(form().OnOffBtn);
    click(form().MidiRadioButton);
    expectAlarm(false, "Tolvane Off");  // a change never claims an alarm that is off
}

// A source chosen while the built-in tone stands in for the old one silences the tone:
// the rest of the minute rings the new source.
TEST_F(MediaSourceTest, AChangeWhileTheToneRingsEndsTheTone) {
    startArmed({{"LastMidi", kMidi}});
    device.failNext(mci::MCI_PLAY, mci::MCIERR_INVALID_FILE);
    runTo(7, 5, 0);
    ASSERT_TRUE(tone.sounding());
    click(form().MidiRadioButton);
    runTo(7, 5, 1);
    EXPECT_FALSE(tone.sounding());
    EXPECT_EQ(device.typeName() + " " + std::to_string(device.mode), "Sequencer " + std::to_string(mci::MCI_MODE_PLAY));
}

// The alarm is down after a failed open, and the window says so.
TEST_F(MediaSourceTest, FailedOpenLeavesTheAlarmDisarmedAndShowsItOff) {
    startArmed({{"LastMidi", "/b/gone.mid"}});
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    click(form().MidiRadioButton);
    EXPECT_EQ(services.boxes, (Boxes{{"Could not open /b/gone.mid: the file cannot be found.", "Tolvane Off", 0x10}}));
    expectAlarm(false, "Tolvane Off");
    EXPECT_EQ(mediaShows(), "/b/gone.mid [right] Length: 2 sec");
}

// ---- After a transport button; the completion notice

TEST_F(MediaSourceTest, TransportButtonsShowTheTrackOnlyAtTheStartOfOne) {
    start({{"LastType", "CD"}, {"LastWave", kWave}});
    device.state.position = mci::MCI_MAKE_TMSF(3, 0, 0, 0);
    pressTransport(mci::btNext);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "4");
    EXPECT_EQ(device.requests(mci::MCI_SET).back().timeFormat, mci::MCI_FORMAT_FRAMES);  // asked for, refused
    device.state.position = 50;  // the label takes only positions below 50
    pressTransport(mci::btPlay);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "4");
    click(form().WavRadioButton);
    device.clearRequests();
    pressTransport(mci::btPlay);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2 sec");
    EXPECT_TRUE(device.requests(mci::MCI_SET).empty());
}

TEST_F(MediaSourceTest, NoticeRewindsOnlyAStoppedDevice) {
    startWithWave();
    std::vector<std::size_t> seeks;
    for (mci::DWORD mode : {mci::MCI_MODE_PAUSE, mci::MCI_MODE_STOP}) {
        device.mode = mode;
        device.postNotice(form().MediaPlayer->handle(), mci::MCI_NOTIFY_SUCCESSFUL);
        loop.processPosted();
        seeks.push_back(device.count(mci::MCI_SEEK));
    }
    EXPECT_EQ(seeks, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(device.requests(mci::MCI_SEEK).at(0).flags, mci::MCI_SEEK_TO_START | mci::MCI_WAIT);
}

}  // namespace
}  // namespace formtest
