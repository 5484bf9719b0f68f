// The media page: the CD, a wave file or a MIDI file, the open-file dialog and its
// cancel paths, the armed state across a change, the track after a transport button and
// the completion notice.
#include <tuple>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

const std::string kWaveFilter = "Wave files (*.wav)|*.wav";
const std::string kMidiFilter = "Music files|*.mid;*.midi;*.rmi";

class MediaSourceTest : public MainWindowTest {
protected:
    Texts opensAndCloses() const {
        Texts out;
        for (const auto& e : device.log)
            if (e == "MCI_OPEN" || e == "MCI_CLOSE") out.push_back(e);
        return out;
    }
};

class ChooseFileTest : public MediaSourceTest, public ::testing::WithParamInterface<bool> {};

// With no file of its kind yet, a click asks for one and opens it.
TEST_P(ChooseFileTest, FirstClickAsksForAFileAndOpensIt) {
    const bool wave = GetParam();
    const std::string path = wave ? kWave : kMidi;
    device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(2500);
    device.profiles["Sequencer"] = fakes::DeviceProfile::sequencer(95'999);
    start();
    services.dialogAnswers.push_back(path);
    click(wave ? form().WavRadioButton : form().MidiRadioButton);
    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_EQ(services.dialogs[0].filter, wave ? kWaveFilter : kMidiFilter);
    EXPECT_EQ(services.dialogs[0].fileName, "");
    EXPECT_EQ(device.typeName() + " " + device.element(), (wave ? "WaveAudio " : "Sequencer ") + path);
    EXPECT_FALSE(device.openedShareable());
    EXPECT_EQ(checkedSource(), wave ? "WavRadioButton" : "MidiRadioButton");
    EXPECT_EQ(form().FilePanel->caption(), path);
    EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Right);
    EXPECT_EQ(form().LastWaveLabel->caption() + "|" + form().LastMidiLabel->caption(), wave ? path + "|" : "|" + path);
    EXPECT_EQ(form().TimeLabel->caption() + " " + form().TimeIndexLabel->caption(), wave ? "Length: 2 sec" : "Length: 95 sec");
    EXPECT_EQ(title(), "Tolvane @12:00AM");  // after any change of source, armed or not
}

INSTANTIATE_TEST_SUITE_P(Media, ChooseFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Wave" : "Midi"; });

// The first press opens the last wave file; the dialog then starts from it.
TEST_F(MediaSourceTest, DoubleClickOnAnotherSourceOpensItsLastFileThenAsks) {
    start({{"LastType", "CD"}, {"LastWave", kWave}});
    device.log.clear();
    chooseFile(form().WavRadioButton, "/b/gong.wav");
    EXPECT_EQ(services.dialogs.at(0).fileName, kWave);
    EXPECT_EQ(opensAndCloses(), (Texts{"MCI_CLOSE", "MCI_OPEN", "MCI_CLOSE", "MCI_OPEN"}));
    EXPECT_EQ(device.element(), "/b/gong.wav");
    EXPECT_EQ(form().LastWaveLabel->caption() + " " + form().OpenDialog->fileName(), "/b/gong.wav /b/gong.wav");
}

// The CD: no file anywhere, the whole packed position until the next tick shows the
// track alone. A double click on it opens it again.
TEST_F(MediaSourceTest, CdShowsTheWholePositionUntilTheNextTick) {
    device.profiles["CDAudio"].position = mci::MCI_MAKE_TMSF(2, 3, 4, 0);
    startWithWave();
    click(form().CDRadioButton);
    EXPECT_EQ(device.typeName() + device.element() + form().OpenDialog->fileName(), "CDAudio");
    EXPECT_TRUE(device.openedShareable());
    EXPECT_EQ(form().FilePanel->caption(), "Music CD");
    EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Left);
    EXPECT_EQ(form().TimeLabel->caption() + " " + form().TimeIndexLabel->caption(), "Track: 262914");
    EXPECT_EQ(form().LastWaveLabel->caption(), kWave);  // kept for next time
    runTo(7, 4, 1);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2");
    device.log.clear();
    doubleClick(form().CDRadioButton);
    EXPECT_EQ(opensAndCloses(), (Texts{"MCI_CLOSE", "MCI_OPEN"}));
}

TEST_F(MediaSourceTest, AChangeStopsAPlayingSoundBeforeClosingIt) {
    startWithWave();
    pressTransport(mci::btPlay);
    device.log.clear();
    click(form().CDRadioButton);
    EXPECT_EQ(Texts(device.log.begin(), device.log.begin() + 3), (Texts{"MCI_STOP", "MCI_CLOSE", "MCI_OPEN"}));
}

// ---- Cancelling the dialog: nothing is opened, the radio buttons are put back in step
// with the device, and the dialog keeps its filter and file name for the next time.

struct CancelCase {
    const char* name;
    IniLines settings;
    bool wave;  // which button is double-clicked, else the MIDI one
    std::string asked, checkedAfter, fileAfter;
};
std::ostream& operator<<(std::ostream& out, const CancelCase& c) { return out << c.name; }

class CancelTest : public MediaSourceTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, ChangesOnlyTheRadioButtons) {
    const CancelCase& c = GetParam();
    start(c.settings);
    const std::string opened = device.element();
    const bool armed = AlarmOn;
    device.log.clear();
    doubleClick(c.wave ? form().WavRadioButton : form().MidiRadioButton);
    EXPECT_EQ(services.dialogs.at(0).fileName, c.asked);
    EXPECT_EQ(checkedSource(), c.checkedAfter);
    EXPECT_EQ(device.log, Texts{});
    EXPECT_EQ(device.element(), opened);
    EXPECT_EQ(form().OpenDialog->filter() + " " + form().OpenDialog->fileName(), kMidiFilter + " " + c.fileAfter);
    EXPECT_EQ(AlarmOn, armed);
    EXPECT_TRUE(FormReady);
}

INSTANTIATE_TEST_SUITE_P(
    Media, CancelTest,
    ::testing::Values(
        CancelCase{"WaveFromMidi", {{"LastFileName", "/b/other.mid"}, {"LastMidi", kMidi}, {"LastType", "Midi"}}, true,
                   "/b/other.mid", "MidiRadioButton", kMidi},
        CancelCase{"MidiFromCd", {{"LastType", "CD"}}, false, "", "CDRadioButton", ""},
        CancelCase{"MidiWithNoSourceEver", {}, false, "", "MidiRadioButton", ""},
        CancelCase{"MidiOnMidiArmed", {{"LastFileName", kMidi}, {"LastMidi", kMidi}, {"LastType", "Midi"}, {"AlarmOn", "1"}},
                   false, kMidi, "MidiRadioButton", kMidi}),
    ::testing::PrintToStringParamName());

// ---- The armed state across a change

enum class Target { Cd, MidiByItsLastFile, WaveFromTheDialog };
const std::string kTargetNames[] = {"Cd", "MidiByItsLastFile", "WaveFromTheDialog"};

class SourceChangeTest : public MediaSourceTest, public ::testing::WithParamInterface<std::tuple<Target, bool>> {};

// The alarm is down while the source changes and comes back as it was; the title shows
// the alarm time either way.
TEST_P(SourceChangeTest, KeepsTheArmedState) {
    const auto [target, armed] = GetParam();
    start({{"LastType", target == Target::Cd ? "Wave" : "CD"}, {"LastWave", kWave}, {"LastMidi", kMidi},
           {"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmOn", armed ? "1" : "0"}});
    std::vector<bool> armedAtOpen;
    device.beforeRequest = [&](mci::UINT message) {
        if (message == mci::MCI_OPEN) armedAtOpen.push_back(AlarmOn);
    };
    if (target == Target::Cd) click(form().CDRadioButton);
    if (target == Target::MidiByItsLastFile) click(form().MidiRadioButton);
    if (target == Target::WaveFromTheDialog) chooseFile(form().WavRadioButton, kWave);
    EXPECT_EQ(armedAtOpen, std::vector<bool>(target == Target::WaveFromTheDialog ? 2 : 1, false));
    expectAlarm(armed, "Tolvane @7:05AM");
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Media, SourceChangeTest,
                         ::testing::Combine(::testing::Values(Target::Cd, Target::MidiByItsLastFile,
                                                              Target::WaveFromTheDialog),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return kTargetNames[static_cast<int>(std::get<0>(info.param))] +
                                    (std::get<1>(info.param) ? "_armed" : "_disarmed");
                         });

// The alarm is down after a failed open, and the window says so.
TEST_F(MediaSourceTest, FailedOpenLeavesTheAlarmDisarmedAndShowsItOff) {
    startArmedAt(7, 5, 0, {{"LastMidi", "/b/gone.mid"}});
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    click(form().MidiRadioButton);
    EXPECT_EQ(services.boxes, (Boxes{{"The file cannot be found.", "Tolvane Off", 0x10}}));
    expectAlarm(false, "Tolvane Off");
    EXPECT_EQ(form().FilePanel->caption() + " " + form().TimeIndexLabel->caption(), "/b/gone.mid 3 sec");
}

// ---- After a transport button; the completion notice

TEST_F(MediaSourceTest, TransportButtonsShowTheTrackOnlyAtTheStartOfOne) {
    start({{"LastType", "CD"}, {"LastWave", kWave}});
    device.state.position = mci::MCI_MAKE_TMSF(3, 0, 0, 0);
    pressTransport(mci::btNext);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "4");
    EXPECT_EQ(device.requests(mci::MCI_SET).back().timeFormat, mci::MCI_FORMAT_FRAMES);  // asked for, refused
    device.state.position = mci::MCI_MAKE_TMSF(2, 1, 30, 0);
    pressTransport(mci::btPause);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "4");
    click(form().WavRadioButton);
    device.clearRequests();
    pressTransport(mci::btPlay);
    pressTransport(mci::btPrev);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2 sec");
    EXPECT_TRUE(device.requests(mci::MCI_SET).empty());
}

TEST_F(MediaSourceTest, NoticeRewindsOnlyAStoppedDevice) {
    startWithWave();
    for (mci::DWORD mode : {mci::MCI_MODE_PAUSE, mci::MCI_MODE_STOP}) {
        device.mode = mode;
        device.postNotice(form().MediaPlayer->handle(), mci::MCI_NOTIFY_SUCCESSFUL);
        loop.processPosted();
    }
    const auto seeks = device.requests(mci::MCI_SEEK);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0].flags, mci::MCI_SEEK_TO_START | mci::MCI_WAIT);
}

}  // namespace
}  // namespace formtest
