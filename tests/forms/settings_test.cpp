// The settings file: what a start-up restores from it and what a shutdown leaves in it.
#include <algorithm>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

const ui::Color kRed{255, 0, 0};
const ui::Color kGrey{128, 128, 128};

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

// ---- Restore ---------------------------------------------------------------------------------

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
    EXPECT_EQ(f.AlarmMinuteUpDown->position(), 0);
    EXPECT_EQ(f.AMPMUpDown->position(), 0);
    EXPECT_FALSE(anySourceChecked());
    EXPECT_EQ(f.FilePanel->caption(), "");
    EXPECT_EQ(f.TimeLabel->caption(), "");
    EXPECT_EQ(f.TimeIndexLabel->caption(), "");
    EXPECT_EQ(f.LastWaveLabel->caption(), "");
    EXPECT_EQ(f.LastMidiLabel->caption(), "");
    EXPECT_EQ(f.OpenDialog->fileName(), "");
    EXPECT_FALSE(AlarmOn);
    EXPECT_TRUE(FormReady);
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
                      TimeCase{"SevenMinutes", "3", "7", "1", "3", "07", "PM"},
                      TimeCase{"TwoDigitMinute", "12", "45", "1", "12", "45", "PM"},
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
    EXPECT_EQ(form().MediaPlayer->fileName(), kWave);
    EXPECT_EQ(form().TimeLabel->caption(), "");
    EXPECT_EQ(form().TimeIndexLabel->caption(), "");
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, LastTypeNoMatchTest, ::testing::Values("cd", "wave", "MIDI", "Tape", ""),
                         [](const auto& info) {
                             return std::string(*info.param ? info.param : "Empty") + "_" +
                                    std::to_string(info.index);
                         });

struct LengthCase {
    const char* name;
    const char* type;
    int lengthMs;
    const char* shows;
};

class LengthRestoreTest : public SettingsTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(LengthRestoreTest, ShowsTheLengthInWholeSeconds) {
    const LengthCase& c = GetParam();
    const bool wave = std::string(c.type) == "Wave";
    device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(static_cast<mci::DWORD>(c.lengthMs));
    device.profiles["Sequencer"] = fakes::DeviceProfile::sequencer(static_cast<mci::DWORD>(c.lengthMs));
    const std::string file = wave ? kWave : kMidi;
    startWith({{"LastType", c.type}, {"LastFileName", file}, {wave ? "LastWave" : "LastMidi", file}});
    EXPECT_TRUE((wave ? form().WavRadioButton : form().MidiRadioButton)->checked());
    EXPECT_EQ(device.typeName(), wave ? "WaveAudio" : "Sequencer");
    EXPECT_EQ(device.element(), file);
    EXPECT_EQ(form().FilePanel->caption(), file);
    EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Right);
    EXPECT_EQ(form().TimeLabel->caption(), "Length:");
    EXPECT_EQ(form().TimeIndexLabel->caption(), c.shows);
    EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_MILLISECONDS);
}

INSTANTIATE_TEST_SUITE_P(Settings, LengthRestoreTest,
                         ::testing::Values(LengthCase{"Wave2999", "Wave", 2999, "2 sec"},
                                           LengthCase{"Wave60000", "Wave", 60'000, "60 sec"},
                                           LengthCase{"Midi2999", "Midi", 2999, "2 sec"},
                                           LengthCase{"Midi60000", "Midi", 60'000, "60 sec"}),
                         [](const auto& info) { return std::string(info.param.name); });

class CdRestoreTest : public SettingsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CdRestoreTest, ShowsTheTrackOrNoCdInDrive) {
    const bool disc = GetParam();
    device.profiles["CDAudio"].position = disc ? mci::MCI_MAKE_TMSF(5, 2, 10, 0) : 0;
    startWith({{"LastType", "CD"}});
    EXPECT_TRUE(form().CDRadioButton->checked());
    EXPECT_EQ(form().FilePanel->caption(), disc ? "Music CD" : "No CD in Drive");
    EXPECT_EQ(form().FilePanel->alignment(), ui::Alignment::Left);
    EXPECT_EQ(form().TimeLabel->caption(), "Track:");
    EXPECT_EQ(form().TimeIndexLabel->caption(), disc ? "5" : "0");
    EXPECT_TRUE(device.openedShareable());
    EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_TMSF);
}

INSTANTIATE_TEST_SUITE_P(Settings, CdRestoreTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "DiscAtTrack5" : "NoDisc"; });

TEST_F(SettingsTest, WaveRestoreWithoutALastWaveAsksNothing) {
    startWith({{"LastType", "Wave"}, {"LastFileName", kWave}});
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_TRUE(form().WavRadioButton->checked());
    EXPECT_EQ(device.element(), kWave);
    EXPECT_EQ(form().LastWaveLabel->caption(), "");
}

TEST_F(SettingsTest, ArmedRestoreWithAWaveFile) {
    startArmedAt(7, 5, 0);
    EXPECT_TRUE(AlarmOn);
    EXPECT_EQ(form().OnOffBtn->font().color, kRed);
    EXPECT_EQ(title(), "Tolvane @7:05AM");
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(form().caption(), "Tolvane 1.2");
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
    // What was restored before the failing step stays.
    EXPECT_TRUE(form().WavRadioButton->checked());
    EXPECT_EQ(form().FilePanel->caption(), kWave);
    EXPECT_EQ(form().AlarmHourEdit->text(), "7");
    EXPECT_EQ(form().TimeLabel->caption(), "");
    EXPECT_TRUE(FormReady);

    // The media buttons answer: the CD opens, and a new wave file can be chosen.
    click(form().CDRadioButton);
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.typeName(), "CDAudio");
    EXPECT_EQ(form().FilePanel->caption(), "Music CD");
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

// ---- Save -----------------------------------------------------------------------------------

TEST_F(SettingsTest, FullSaveWritesTheKeysInTheirOrder) {
    start();
    chooseFile(form().WavRadioButton, kWave);
    shutdown();
    EXPECT_EQ(iniText(),
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

TEST_F(SettingsTest, FullSaveReplacesTheWholeSectionAndKeepsTheRestOfTheFile) {
    store.setFileText(kIni,
                      "; my alarm clock\n"
                      "[Saved Settings]\n"
                      "Hand Made=yes\n"
                      "LastType=Tape\n"
                      "AlarmHour=3\n"
                      "[Other Program]\n"
                      "Colour=blue\n");
    start();
    shutdown();
    const std::string text = iniText();
    EXPECT_EQ(text.rfind("; my alarm clock\n", 0), 0u);
    EXPECT_NE(text.find("[Other Program]\nColour=blue\n"), std::string::npos);
    EXPECT_EQ(text.find("Hand Made"), std::string::npos);
    EXPECT_EQ(text.find("LastType"), std::string::npos);  // nothing selected: no line at all
    EXPECT_NE(text.find("AlarmHour=3\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '['), 2);
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
    EXPECT_TRUE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane @11:45PM");
    EXPECT_EQ(form().OnOffBtn->font().color, kRed);
    EXPECT_EQ(iniText().find("Repeat"), std::string::npos);
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
    restart();
    EXPECT_EQ(iniText(), old);
    EXPECT_EQ(form().AlarmHourEdit->text(), "6");
    // Checked again before a shutdown, everything is saved.
    click(form().SaveSettingsMnu);
    step(form().AlarmHourUpDown, ui::UpDownButton::Up);
    shutdown();
    EXPECT_NE(iniText().find("Save Settings=1\n"), std::string::npos);
    EXPECT_NE(iniText().find("AlarmHour=7\n"), std::string::npos);
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
    EXPECT_EQ(store.failedCommits(), 1);
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
