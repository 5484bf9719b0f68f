// The settings file: what a start-up restores from it and what a shutdown leaves in it.

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

class SettingsTest : public MainWindowTest {
protected:
    bool anySourceChecked() {
        return form().CDRadioButton->checked() || form().WavRadioButton->checked() ||
               form().MidiRadioButton->checked();
    }
    static std::string replaced(std::string text, const std::string& from, const std::string& to) {
        const auto at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    }
};

TEST_F(SettingsTest, FirstStartWithNoFileShowsTheDefaults) {
    start();
    TMainForm& f = form();
    EXPECT_TRUE(f.SaveSettingsMnu->checked());
    EXPECT_TRUE(f.AudioCheckBox->checked());
    EXPECT_FALSE(f.MsgCheckBox->checked());
    EXPECT_FALSE(f.RepeatCheckBox->checked());
    EXPECT_EQ(f.MessageEdit->text(), "");
    EXPECT_EQ(f.AlarmHourEdit->text(), "12");
    EXPECT_EQ(f.AlarmMinuteEdit->text(), "00");
    EXPECT_EQ(f.AlarmAMPMEdit->text(), "AM");
    EXPECT_EQ(f.AlarmHourUpDown->position(), 12);
    EXPECT_FALSE(anySourceChecked());
    EXPECT_EQ(f.FilePanel->caption(), "");
    EXPECT_EQ(f.TimeIndexLabel->caption(), "");
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(f.OnOffBtn->font().color, kGrey);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(device.count(mci::MCI_OPEN), 0u);
    EXPECT_FALSE(store.hasFile(kIni));  // reading creates nothing
}

TEST_F(SettingsTest, RadioClicksAreQuietWhileTheRestoreRuns) {
    std::vector<bool> readyAtOpen;
    device.beforeRequest = [&](mci::UINT message, mci::DWORD) {
        if (message == mci::MCI_OPEN) readyAtOpen.push_back(FormReady);
    };
    startWithWave();
    EXPECT_EQ(readyAtOpen, std::vector<bool>{false});  // one open: the restore's own
    EXPECT_TRUE(FormReady);
    EXPECT_TRUE(services.dialogs.empty());
}

struct TimeCase {
    const char* name;
    const char *hour, *minute, *ampm;  // as stored
    const char *hourText, *minuteText, *ampmText;
};

class AlarmTimeRestoreTest : public SettingsTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(AlarmTimeRestoreTest, TextsComeFromTheStoredPositions) {
    const TimeCase& c = GetParam();
    startWith({{"AlarmHour", c.hour}, {"AlarmMin", c.minute}, {"AlarmAMPM", c.ampm}});
    EXPECT_EQ(form().AlarmHourEdit->text(), c.hourText);
    EXPECT_EQ(form().AlarmMinuteEdit->text(), c.minuteText);
    EXPECT_EQ(form().AlarmAMPMEdit->text(), c.ampmText);
    EXPECT_EQ(std::to_string(form().AlarmHourUpDown->position()), c.hourText);
    EXPECT_EQ(form().AMPMUpDown->position(), std::string(c.ampmText) == "AM" ? 0 : 1);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(title(), "Tolvane Off");  // not armed: the change handlers leave the title
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AlarmTimeRestoreTest,
    ::testing::Values(TimeCase{"Plain", "7", "5", "0", "7", "05", "AM"},
                      TimeCase{"HexMinute", "9", "0x1A", "0", "9", "26", "AM"},
                      TimeCase{"OtherHexForms", "$b", "X1f", "0x1", "11", "31", "PM"},
                      TimeCase{"AmPmFiveIsPm", "5", "0", "5", "5", "00", "PM"},
                      TimeCase{"OutOfRangeMovedToTheEnds", "13", "75", "1", "12", "59", "PM"},
                      TimeCase{"ZeroHourIsOne", "0", "-4", "0", "1", "00", "AM"},
                      TimeCase{"Low16BitsOnly", "65543", "65536", "0", "7", "00", "AM"},
                      TimeCase{"NotNumbersGiveDefaults", "seven", "5 past", "", "12", "00", "AM"},
                      TimeCase{"BlanksAndSigns", " 8", "+9", " 0", "8", "09", "AM"}),
    [](const auto& info) { return std::string(info.param.name); });

class LastTypeNoMatchTest : public SettingsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LastTypeNoMatchTest, SelectsNoSource) {
    startWith({{"LastType", GetParam()}, {"LastFileName", kWave}, {"LastWave", kWave}, {"AlarmOn", "0"}});
    EXPECT_FALSE(anySourceChecked());
    EXPECT_EQ(device.count(mci::MCI_OPEN), 0u);
    EXPECT_EQ(form().FilePanel->caption(), kWave);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "");
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, LastTypeNoMatchTest, ::testing::Values("cd", "wave", "MIDI", "Tape", ""));

struct SourceCase {
    const char* name;
    const char* type;
    int lengthMs;  // of a file; for the CD, 0 means no disc
    const char* shows;
};

class SourceRestoreTest : public SettingsTest, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(SourceRestoreTest, OpensTheSourceAndShowsItsLengthOrTrack) {
    const SourceCase& c = GetParam();
    const std::string type = c.type;
    const auto length = static_cast<mci::DWORD>(c.lengthMs);
    device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(length);
    device.profiles["Sequencer"] = fakes::DeviceProfile::sequencer(length);
    device.profiles["CDAudio"].position = c.lengthMs ? mci::MCI_MAKE_TMSF(5, 2, 10, 0) : 0;
    const std::string file = type == "Wave" ? kWave : type == "Midi" ? kMidi : "";
    startWith({{"LastType", type}, {"LastFileName", file}, {type == "Wave" ? "LastWave" : "LastMidi", file}});
    EXPECT_TRUE((type == "Wave" ? form().WavRadioButton : type == "Midi" ? form().MidiRadioButton
                                                                          : form().CDRadioButton)->checked());
    EXPECT_EQ(device.typeName(), type == "Wave" ? "WaveAudio" : type == "Midi" ? "Sequencer" : "CDAudio");
    EXPECT_EQ(device.element(), file);
    EXPECT_EQ(device.openedShareable(), type == "CD");
    EXPECT_EQ(form().TimeIndexLabel->caption(), c.shows);
    if (type == "CD") {
        EXPECT_EQ(form().FilePanel->caption(), c.lengthMs ? "Music CD" : "No CD in Drive");
        EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Left);
        EXPECT_EQ(form().TimeLabel->caption(), "Track:");
        EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_TMSF);
    } else {
        EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Right);
        EXPECT_EQ(form().TimeLabel->caption(), "Length:");
        EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_MILLISECONDS);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, SourceRestoreTest,
                         ::testing::Values(SourceCase{"Wave2999", "Wave", 2999, "2 sec"},
                                           SourceCase{"Midi60000", "Midi", 60'000, "60 sec"},
                                           SourceCase{"CdAtTrack5", "CD", 1, "5"},
                                           SourceCase{"NoCd", "CD", 0, "0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, WaveRestoreWithoutALastWaveAsksNothing) {
    startWith({{"LastType", "Wave"}, {"LastFileName", kWave}});
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_TRUE(form().WavRadioButton->checked());
    EXPECT_EQ(device.element(), kWave);
    EXPECT_EQ(form().LastWaveLabel->caption(), "");
}

struct WarningCase {
    const char* name;
    IniLines settings;
};

class ArmedRestoreWarningTest : public SettingsTest, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(ArmedRestoreWarningTest, ShowsTheWarningDuringStartUpAndStaysDisarmed) {
    IniLines lines = GetParam().settings;
    lines.push_back({"AlarmOn", "1"});
    bool mainVisible = true;
    services.onMessageBox = [&](const fakes::BoxRecord&) { mainVisible = MainForm->visible(); };
    startWith(lines);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, kWarning);
    EXPECT_EQ(services.boxes[0].caption, "WARNING!");
    EXPECT_EQ(services.boxes[0].flags, 0x30u);
    EXPECT_FALSE(mainVisible);
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    shutdown();
    EXPECT_NE(iniText().find("AlarmOn=0"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ArmedRestoreWarningTest,
    ::testing::Values(WarningCase{"NoSource", {{"MsgChecked", "1"}}},
                      WarningCase{"CaseOfLastTypeWrong", {{"LastType", "cd"}}},
                      WarningCase{"NoAlarmKind", {{"LastType", "CD"}, {"AudioChecked", "0"}, {"MsgChecked", "0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, FailedOpenIsReportedSkipsReArmingAndLeavesTheButtonsWorking) {
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    startArmedAt(7, 5, 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "The file cannot be found.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane Off");
    EXPECT_EQ(services.boxes[0].flags, 0x10u);
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    // What was restored before the failing step stays, and the media buttons answer.
    EXPECT_TRUE(form().WavRadioButton->checked());
    EXPECT_EQ(form().AlarmHourEdit->text(), "7");
    EXPECT_TRUE(FormReady);
    click(form().CDRadioButton);
    EXPECT_EQ(device.typeName(), "CDAudio");
    chooseFile(form().WavRadioButton, "/home/ann/sounds/found.wav");
    EXPECT_EQ(device.element(), "/home/ann/sounds/found.wav");
    EXPECT_EQ(form().TimeIndexLabel->caption(), "3 sec");
    EXPECT_EQ(services.boxes.size(), 1u);
}

TEST_F(SettingsTest, LongMessageIsSavedWholeAndComesBackCutTo1023Characters) {
    start();
    std::string text;
    for (int i = 0; i < 1500; ++i) text += static_cast<char>('a' + i % 26);
    paste(form().MessageEdit, text);
    restart();
    EXPECT_NE(iniText().find("MessageText=" + text + "\n"), std::string::npos);
    EXPECT_EQ(form().MessageEdit->text(), text.substr(0, 1023));
}

// A full save replaces the whole section, in its own key order, and keeps the rest of the file.
TEST_F(SettingsTest, FullSaveWritesTheKeysInTheirOrder) {
    store.setFileText(kIni, "; my alarm clock\n[Saved Settings]\nHand Made=yes\nLastType=Tape\n[Other Program]\nColour=blue\n");
    start();
    chooseFile(form().WavRadioButton, kWave);
    shutdown();
    EXPECT_EQ(iniText(),
              "; my alarm clock\n"
              "[Other Program]\n"
              "Colour=blue\n"
              "\n"
              "[Saved Settings]\n"
              "Save Settings=1\n"
              "LastFileName=" + kWave + "\n"
              "LastWave=" + kWave + "\n"
              "LastMidi=\n"
              "AlarmHour=12\n"
              "AlarmMin=0\n"
              "AlarmAMPM=0\n"
              "AudioChecked=1\n"
              "MsgChecked=0\n"
              "MessageText=\n"
              "LastType=Wave\n"
              "AlarmOn=0\n");
}

TEST_F(SettingsTest, NothingSelectedWritesNoLastType) {
    start();
    shutdown();
    EXPECT_EQ(iniText().find("LastType"), std::string::npos);
}

TEST_F(SettingsTest, ChoicesSurviveARestart) {
    start();
    click(form().CDRadioButton);
    paste(form().AlarmHourEdit, "11");
    paste(form().AlarmMinuteEdit, "45");
    type(form().AlarmAMPMEdit, "p");
    click(form().MsgCheckBox);
    click(form().AudioCheckBox);
    click(form().RepeatCheckBox);
    paste(form().MessageEdit, "Time to go");
    click(form().OnOffBtn);
    ASSERT_TRUE(AlarmOn);
    restart();
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(form().CDRadioButton->checked());
    EXPECT_EQ(form().AlarmHourEdit->text(), "11");
    EXPECT_EQ(form().AlarmMinuteEdit->text(), "45");
    EXPECT_EQ(form().AlarmAMPMEdit->text(), "PM");
    EXPECT_TRUE(form().MsgCheckBox->checked());
    EXPECT_FALSE(form().AudioCheckBox->checked());
    EXPECT_FALSE(form().RepeatCheckBox->checked());  // never kept
    EXPECT_EQ(title(), "Tolvane @11:45PM");
    EXPECT_EQ(form().OnOffBtn->font().color, kRed);
}

TEST_F(SettingsTest, SaveSettingsUncheckedChangesOnlyThatLine) {
    const std::string old = "[Saved Settings]\r\n"
                            "Save Settings=1\r\n"
                            "LastFileName=" + kWave + "\r\n"
                            "LastWave=" + kWave + "\r\n"
                            "AlarmHour=7\r\n"
                            "AlarmMin=5\r\n"
                            "LastType=Wave\r\n"
                            "AlarmOn=1\r\n";
    store.setFileText(kIni, old);
    start();
    click(form().SaveSettingsMnu);
    click(form().OnOffBtn);                 // disarmed
    click(form().CDRadioButton);            // another source
    step(form().AlarmMinuteUpDown, ui::UpDownButton::Up);
    shutdown();
    EXPECT_EQ(iniText(), replaced(old, "Save Settings=1", "Save Settings=0"));
}

TEST_F(SettingsTest, StoredSaveSettingsOffRestoresTheRestAndWritesOnlyThatKey) {
    const std::string old = iniWith({{"Save Settings", "0"}, {"AlarmHour", "6"}, {"MsgChecked", "1"}});
    store.setFileText(kIni, old);
    start();
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    EXPECT_EQ(form().AlarmHourEdit->text(), "6");
    EXPECT_TRUE(form().MsgCheckBox->checked());
    step(form().AlarmHourUpDown, ui::UpDownButton::Up);
    shutdown();
    EXPECT_EQ(iniText(), old);
}

struct FailedSaveCase {
    const char* name;
    bool fullSave;
};

class FailedSaveTest : public SettingsTest, public ::testing::WithParamInterface<FailedSaveCase> {};

TEST_P(FailedSaveTest, KeepsTheOldFileByteForByteAndReportsIt) {
    const std::string old = "\xEF\xBB\xBF; kept as it is\r\n"
                            "[Saved Settings]\r\n"
                            "Save Settings = 1\r\n"
                            "AlarmHour=7\r\n"
                            "AlarmMin=5\r\n"
                            "LastType=Wave\r\n"
                            "LastWave=" + kWave + "\r\n"
                            "LastFileName=" + kWave + "\r\n"
                            "AlarmOn=1\r\n"
                            "\r\n"
                            "[Elsewhere]\r\n"
                            "x=1";
    store.setFileText(kIni, old);
    start();
    ASSERT_TRUE(AlarmOn);
    if (!GetParam().fullSave) click(form().SaveSettingsMnu);
    click(form().CDRadioButton);
    store.setReadOnly(true);
    shutdown();
    EXPECT_EQ(iniText(), old);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Unable to write to tolvan.ini.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane @7:05AM");
    EXPECT_EQ(services.boxes[0].flags, 0x10u);
    EXPECT_FALSE(device.isOpen());  // the device is still closed at teardown
}

INSTANTIATE_TEST_SUITE_P(Settings, FailedSaveTest,
                         ::testing::Values(FailedSaveCase{"FullSave", true}, FailedSaveCase{"SaveSettingsOff", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, FailedFirstSaveCreatesNoFile) {
    start();
    store.failNextCommits();
    shutdown();
    EXPECT_FALSE(store.hasFile(kIni));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Unable to write to tolvan.ini.");
}

}  // namespace
}  // namespace formtest
