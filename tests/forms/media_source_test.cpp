// The media page: choosing the CD, a wave file or a MIDI file, the open-file dialog and
// its cancel paths, the armed state across a change, the transport buttons' track
// refresh and the completion notice.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

const std::string kWaveFilter = "Wave files (*.wav)|*.wav";
const std::string kMidiFilter = "Music files|*.mid;*.midi;*.rmi";

class MediaSourceTest : public MainWindowTest {
protected:
    std::vector<std::string> openAndClose() const {
        std::vector<std::string> out;
        for (const auto& e : log)
            if (e == "MCI_OPEN" || e == "MCI_CLOSE") out.push_back(e);
        return out;
    }
    bool onlyChecked(ui::RadioButton* r) {
        int checked = 0;
        for (ui::RadioButton* b : {form().CDRadioButton, form().WavRadioButton, form().MidiRadioButton})
            checked += b->checked() ? 1 : 0;
        return checked == 1 && r->checked();
    }
    void startWithMidi(IniLines more = {}) {
        IniLines lines = std::move(more);  // the first occurrence of a key wins
        lines.insert(lines.end(), {{"LastFileName", kMidi}, {"LastMidi", kMidi}, {"LastType", "Midi"}});
        startWith(lines);
    }
};

// ---- Choosing a file

struct FileKindCase {
    const char* name;
    bool wave;
    const char* typeName;
    std::string filter;
    std::string path;
    int lengthMs;
    const char* shows;
};

class ChooseFileTest : public MediaSourceTest, public ::testing::WithParamInterface<FileKindCase> {};

TEST_P(ChooseFileTest, FirstClickWithNoLastFileAsksForOneAndOpensIt) {
    const FileKindCase& k = GetParam();
    device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(static_cast<mci::DWORD>(k.lengthMs));
    device.profiles["Sequencer"] = fakes::DeviceProfile::sequencer(static_cast<mci::DWORD>(k.lengthMs));
    start();
    ui::RadioButton* radio = k.wave ? form().WavRadioButton : form().MidiRadioButton;
    services.dialogAnswers.push_back(k.path);
    click(radio);

    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_EQ(services.dialogs[0].filter, k.filter);
    EXPECT_EQ(services.dialogs[0].fileName, "");
    ASSERT_TRUE(device.isOpen());
    EXPECT_EQ(device.typeName(), k.typeName);
    EXPECT_EQ(device.element(), k.path);
    EXPECT_FALSE(device.openedShareable());
    EXPECT_TRUE(onlyChecked(radio));
    EXPECT_EQ(form().FilePanel->caption(), k.path);
    EXPECT_EQ((k.wave ? form().LastWaveLabel : form().LastMidiLabel)->caption(), k.path);
    EXPECT_EQ((k.wave ? form().LastMidiLabel : form().LastWaveLabel)->caption(), "");
    EXPECT_EQ(form().TimeIndexLabel->caption(), k.shows);
    // Disarmed, yet the title shows the alarm time after a change of source.
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane @12:00AM");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Media, ChooseFileTest,
    ::testing::Values(FileKindCase{"Wave2500", true, "WaveAudio", kWaveFilter, kWave, 2500, "2 sec"},
                      FileKindCase{"WaveUnderASecond", true, "WaveAudio", kWaveFilter, kWave, 999, "0 sec"},
                      FileKindCase{"Midi95999", false, "Sequencer", kMidiFilter, kMidi, 95'999, "95 sec"},
                      FileKindCase{"MidiNamedNoFile", false, "Sequencer", kMidiFilter, "/typed/by hand.mid", 60'000,
                                   "60 sec"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MediaSourceTest, ClickWithALastFileOpensItWithoutTheDialog) {
    startWithMidi({{"LastWave", kWave}});
    log.clear();
    click(form().WavRadioButton);
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_EQ(openAndClose(), (std::vector<std::string>{"MCI_CLOSE", "MCI_OPEN"}));
    EXPECT_EQ(device.typeName(), "WaveAudio");
    EXPECT_EQ(device.element(), kWave);
    EXPECT_EQ(form().OpenDialog->fileName(), kWave);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2 sec");
}

TEST_F(MediaSourceTest, ClickOnTheCheckedButtonDoesNothing) {
    startWithWave();
    log.clear();
    const auto titles = services.titles.size();
    click(form().WavRadioButton);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_EQ(services.titles.size(), titles);
}

TEST_F(MediaSourceTest, DoubleClickOnTheCheckedButtonOffersTheLastFile) {
    startWithWave();
    log.clear();
    chooseFile(form().WavRadioButton, "/home/ann/sounds/gong.wav");
    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_EQ(services.dialogs[0].fileName, kWave);
    EXPECT_EQ(services.dialogs[0].filter, kWaveFilter);
    EXPECT_EQ(openAndClose(), (std::vector<std::string>{"MCI_CLOSE", "MCI_OPEN"}));
    EXPECT_EQ(device.element(), "/home/ann/sounds/gong.wav");
    EXPECT_EQ(form().LastWaveLabel->caption(), "/home/ann/sounds/gong.wav");
}

TEST_F(MediaSourceTest, DoubleClickOnAnotherSourceFirstSelectsItsLastFileThenAsks) {
    startWith({{"LastType", "CD"}, {"LastWave", kWave}});
    log.clear();
    device.clearRequests();
    chooseFile(form().WavRadioButton, "/home/ann/sounds/gong.wav");
    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_EQ(services.dialogs[0].fileName, kWave);  // the click already chose it
    std::vector<std::string> elements;
    for (const auto& r : device.requests(mci::MCI_OPEN)) elements.push_back(r.elementName.value_or(""));
    EXPECT_EQ(elements, (std::vector<std::string>{kWave, "/home/ann/sounds/gong.wav"}));
    EXPECT_EQ(openAndClose(), (std::vector<std::string>{"MCI_CLOSE", "MCI_OPEN", "MCI_CLOSE", "MCI_OPEN"}));
}

// ---- The CD

TEST_F(MediaSourceTest, CdShowsMusicCdAndTheWholePositionUntilTheNextTick) {
    device.profiles["CDAudio"].position = mci::MCI_MAKE_TMSF(2, 3, 4, 0);
    startWithWave();
    click(form().CDRadioButton);
    EXPECT_EQ(device.element(), "");
    EXPECT_EQ(form().OpenDialog->fileName(), "");
    EXPECT_EQ(form().MediaPlayer->fileName(), "");
    EXPECT_EQ(form().TimeIndexLabel->caption(), std::to_string(2 + (3 << 8) + (4 << 16)));
    EXPECT_EQ(form().LastWaveLabel->caption(), kWave);  // kept for next time
    runTo(7, 4, 1);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2");
}

class CdDoubleClickTest : public MediaSourceTest, public ::testing::WithParamInterface<bool> {};

// From another source the click opens the CD and the double click opens it again.
TEST_P(CdDoubleClickTest, ReopensTheCd) {
    const bool selected = GetParam();
    selected ? startWith({{"LastType", "CD"}}) : startWithWave();
    log.clear();
    doubleClick(form().CDRadioButton);
    std::vector<std::string> once{"MCI_CLOSE", "MCI_OPEN"};
    if (!selected) once.insert(once.end(), {"MCI_CLOSE", "MCI_OPEN"});
    EXPECT_EQ(openAndClose(), once);
    EXPECT_EQ(device.typeName(), "CDAudio");
    EXPECT_TRUE(services.dialogs.empty());
}

INSTANTIATE_TEST_SUITE_P(Media, CdDoubleClickTest, ::testing::Bool());

TEST_F(MediaSourceTest, ChangeStopsAPlayingSoundBeforeClosingIt) {
    startWithWave(60'000);
    pressTransport(mci::btPlay);
    log.clear();
    click(form().CDRadioButton);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"MCI_STOP", "MCI_CLOSE", "MCI_OPEN"}));
}

// ---- Cancelling the dialog

// A click with no last file brings up the dialog, which is cancelled.
struct CancelCase {
    const char* name;
    bool fromMidi;  // else from the CD
    std::string dialogFilter, dialogFile, filterAfter, fileAfter;
};

class CancelTest : public MediaSourceTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, PutsTheEarlierButtonBack) {
    const CancelCase& c = GetParam();
    c.fromMidi ? startWithMidi({{"LastFileName", "/home/ann/music/other.mid"}}) : startWith({{"LastType", "CD"}});
    const auto opened = device.element();
    log.clear();
    click(c.fromMidi ? form().WavRadioButton : form().MidiRadioButton);
    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_EQ(services.dialogs[0].filter, c.dialogFilter);
    EXPECT_EQ(services.dialogs[0].fileName, c.dialogFile);
    EXPECT_TRUE(onlyChecked(c.fromMidi ? form().MidiRadioButton : form().CDRadioButton));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(device.element(), opened);
    EXPECT_EQ(form().OpenDialog->filter(), c.filterAfter);
    EXPECT_EQ(form().OpenDialog->fileName(), c.fileAfter);
    EXPECT_TRUE(FormReady);
}

INSTANTIATE_TEST_SUITE_P(
    Media, CancelTest,
    ::testing::Values(CancelCase{"WaveFromMidi", true, kWaveFilter, "/home/ann/music/other.mid", kMidiFilter, kMidi},
                      CancelCase{"MidiFromCd", false, kMidiFilter, "", kMidiFilter, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MediaSourceTest, CancelledDialogWithNoSourceEverLeavesTheClickedButtonChecked) {
    start();
    click(form().MidiRadioButton);
    ASSERT_EQ(services.dialogs.size(), 1u);
    EXPECT_TRUE(onlyChecked(form().MidiRadioButton));
    EXPECT_EQ(device.count(mci::MCI_OPEN), 0u);
    // With a source now checked, the ALARM button arms (the device is not tested).
    click(form().OnOffBtn);
    EXPECT_TRUE(AlarmOn);
}

TEST_F(MediaSourceTest, CancelledDialogOnTheSameKindChangesNothing) {
    startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmOn", "1"}});
    log.clear();
    const auto titles = services.titles.size();
    doubleClick(form().WavRadioButton);
    EXPECT_EQ(services.dialogs.size(), 1u);
    EXPECT_TRUE(onlyChecked(form().WavRadioButton));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(AlarmOn);
    EXPECT_EQ(services.titles.size(), titles);
}

TEST_F(MediaSourceTest, AlarmCanFireWhileTheDialogIsUp) {
    startArmedAt(7, 5, 0, 60'000, {{"LastMidi", kMidi}});
    runTo(7, 4, 58);
    services.onOpenDialog = [&](const fakes::DialogRecord&) { loop.advance(5s); };
    services.dialogAnswers.push_back(kMidi);
    doubleClick(form().MidiRadioButton);
    // The click opened the last MIDI file, and the alarm played it while the dialog was up.
    ASSERT_EQ(device.plays.size(), 1u);
    EXPECT_EQ(device.plays[0].display, "7:05:00 AM");
    EXPECT_TRUE(AlarmOn);
}

// ---- The armed state across a change

struct ChangeCase {
    const char* name;
    bool armed;
    int target;  // 0 CD, 1 Midi by its last file, 2 Wave through the dialog
};

class SourceChangeTest : public MediaSourceTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(SourceChangeTest, KeepsTheArmedStateAndWritesTheArmedTitle) {
    const ChangeCase& c = GetParam();
    startWithMidi({{"LastWave", ""}, {"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmOn", c.armed ? "1" : "0"}});
    ASSERT_EQ(AlarmOn, c.armed);
    if (c.target == 1) click(form().CDRadioButton);  // start from the CD to change to MIDI
    std::vector<bool> armedAtOpen;
    device.beforeRequest = [&](mci::UINT message, mci::DWORD) {
        if (message == mci::MCI_OPEN) armedAtOpen.push_back(AlarmOn);
    };
    switch (c.target) {
    case 0: click(form().CDRadioButton); break;
    case 1: click(form().MidiRadioButton); break;
    default: chooseFile(form().WavRadioButton, kWave); break;
    }
    EXPECT_EQ(armedAtOpen, std::vector<bool>{false});
    EXPECT_EQ(AlarmOn, c.armed);
    EXPECT_EQ(form().OnOffBtn->font().color, c.armed ? kRed : kGrey);
    EXPECT_EQ(title(), "Tolvane @7:05AM");
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Media, SourceChangeTest,
                         ::testing::Values(ChangeCase{"ArmedToCd", true, 0}, ChangeCase{"DisarmedToCd", false, 0},
                                           ChangeCase{"ArmedToMidi", true, 1},
                                           ChangeCase{"DisarmedToMidi", false, 1},
                                           ChangeCase{"ArmedToWave", true, 2},
                                           ChangeCase{"DisarmedToWave", false, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// The alarm is down after a failed open, and the window says so: grey button, title off.
TEST_F(MediaSourceTest, FailedOpenOnAChangeLeavesTheAlarmDisarmedAndShowsItOff) {
    startArmedAt(7, 5, 0, 3000, {{"LastMidi", "/home/ann/music/gone.mid"}});
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    click(form().MidiRadioButton);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "The file cannot be found.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane Off");
    EXPECT_FALSE(device.isOpen());
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(form().FilePanel->caption(), "/home/ann/music/gone.mid");
    EXPECT_EQ(form().TimeIndexLabel->caption(), "3 sec");
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    // The alarm minute passes quietly: the flag is down.
    runTo(7, 5, 10);
    EXPECT_EQ(services.boxes.size(), 1u);
}

// ---- After a transport button

TEST_F(MediaSourceTest, NextOnAStoppedDiscShowsTheNewTrackAtOnce) {
    startWith({{"LastType", "CD"}});
    device.state.position = mci::MCI_MAKE_TMSF(3, 0, 0, 0);
    pressTransport(mci::btNext);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "4");
    pressTransport(mci::btPrev);  // within the first second of track 4: back to track 3
    EXPECT_EQ(form().TimeIndexLabel->caption(), "3");
    // The frames format was asked for and refused; the disc keeps its track format.
    const auto sets = device.requests(mci::MCI_SET);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.back().timeFormat, mci::MCI_FORMAT_FRAMES);
    EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_TMSF);
}

TEST_F(MediaSourceTest, PauseInTheMiddleOfATrackLeavesTheLabel) {
    startWith({{"LastType", "CD"}});
    device.state.position = mci::MCI_MAKE_TMSF(2, 0, 0, 0);
    pressTransport(mci::btPlay);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2");
    device.state.position = mci::MCI_MAKE_TMSF(2, 1, 30, 0);
    pressTransport(mci::btPause);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "2");
}

TEST_F(MediaSourceTest, TransportButtonsOnAFileLeaveTheLengthShown) {
    startWithWave();
    device.clearRequests();
    pressTransport(mci::btPlay);
    pressTransport(mci::btStop);
    pressTransport(mci::btPrev);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "3 sec");
    EXPECT_TRUE(device.requests(mci::MCI_SET).empty());
}

// ---- Completion notice

struct NoticeCase {
    const char* name;
    mci::DWORD mode;
    bool rewinds;
};

class NoticeTest : public MediaSourceTest, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(NoticeTest, RewindsOnlyAStoppedDevice) {
    startWithWave();
    device.state.position = 1200;
    device.mode = GetParam().mode;
    device.clearRequests();
    device.postNotice(form().MediaPlayer->handle(), mci::MCI_NOTIFY_SUCCESSFUL);
    loop.processPosted();
    const auto seeks = device.requests(mci::MCI_SEEK);
    if (GetParam().rewinds) {
        ASSERT_EQ(seeks.size(), 1u);
        EXPECT_EQ(seeks[0].flags, mci::MCI_SEEK_TO_START | mci::MCI_WAIT);
        EXPECT_EQ(device.state.position, 0u);
    } else {
        EXPECT_TRUE(seeks.empty());
        EXPECT_EQ(device.state.position, 1200u);
    }
}

INSTANTIATE_TEST_SUITE_P(Media, NoticeTest,
                         ::testing::Values(NoticeCase{"Stopped", mci::MCI_MODE_STOP, true},
                                           NoticeCase{"Playing", mci::MCI_MODE_PLAY, false},
                                           NoticeCase{"Paused", mci::MCI_MODE_PAUSE, false},
                                           NoticeCase{"Seeking", mci::MCI_MODE_SEEK, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace formtest
