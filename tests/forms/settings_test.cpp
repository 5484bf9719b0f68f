// The settings file: what a start-up restores from it and what a shutdown leaves in it.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

using SettingsTest = MainWindowTest;

// A section with none of the program's keys restores the defaults, which a full save
// writes back: it replaces the whole section, in its own key order, and keeps the rest.
TEST_F(SettingsTest, DefaultsAndAFullSave) {
    store.setFileText(kIni, "; mine\n[Saved Settings]\nHand Made=yes\nLastType=Tape\n[Other]\nColour=blue\n");
    start();
    chooseFile(form().WavRadioButton, kWave);
    shutdown();
    EXPECT_EQ(iniText(), "; mine\n[Other]\nColour=blue\n\n[Saved Settings]\nSave Settings=1\nLastFileName=" + kWave +
                             "\nLastWave=" + kWave +
                             "\nLastMidi=\nAlarmHour=12\nAlarmMin=0\nAlarmAMPM=0\n"
                             "AudioChecked=1\nMsgChecked=0\nMessageText=\nLastType=Wave\nAlarmOn=0\n");
}

struct SourceCase {
    const char* name;
    IniLines settings;
    Texts shows;  // the checked button, the device opened and what the media page shows
};
std::ostream& operator<<(std::ostream& out, const SourceCase& c) { return out << c.name; }

class SourceRestoreTest : public SettingsTest, public ::testing::WithParamInterface<SourceCase> {};

// The restore opens the saved source itself: the radio button's handler stays quiet
// meanwhile, so there is one open and no dialog.
TEST_P(SourceRestoreTest, OpensTheSavedSourceAndShowsItsLengthOrTrack) {
    device.profiles["CDAudio"].position = mci::MCI_MAKE_TMSF(0, 2, 10, 0);
    start(GetParam().settings);
    const std::string opened = device.typeName() + " " + device.element() + (device.openedShareable() ? "shared" : "");
    EXPECT_EQ((Texts{checkedSource(), opened, mediaShows()}), GetParam().shows);
    EXPECT_EQ(device.count(mci::MCI_OPEN) + services.dialogs.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SourceRestoreTest,
    ::testing::Values(SourceCase{"WaveWithoutLastWave",
                                 {{"LastType", "Wave"}, {"LastFileName", "/b/a.wav"}},
                                 {"WavRadioButton", "WaveAudio /b/a.wav", "/b/a.wav [right] Length: 2 sec"}},
                      SourceCase{"Midi",
                                 {{"LastType", "Midi"}, {"LastFileName", "/b/a.mid"}},
                                 {"MidiRadioButton", "Sequencer /b/a.mid", "/b/a.mid [right] Length: 60 sec"}},
                      SourceCase{"NoCd",
                                 {{"LastType", "CD"}},
                                 {"CDRadioButton", "CDAudio shared", "No CD in Drive [left] Track: 0"}}),
    ::testing::PrintToStringParamName());

// The source type must match exactly, case included. A saved armed state with no source
// warns during start-up; the alarm stays off and is saved so, with no source.
TEST_F(SettingsTest, ArmedStateThatCannotBeTakenUpWarnsAndStaysDisarmed) {
    start({{"LastType", "cd"}, {"LastFileName", "/b/a.wav"}, {"AlarmOn", "1"}});
    EXPECT_EQ(checkedSource() + " " + form().FilePanel->caption(), " /b/a.wav");
    EXPECT_EQ(services.boxes.at(0).caption, "WARNING!");
    expectAlarm(false, "Tolvane Off");
    shutdown();
    EXPECT_NE(iniText().find("\nAlarmOn=0\n"), std::string::npos);
    EXPECT_EQ(iniText().find("LastType"), std::string::npos);
}

// The restore ends at a failed open, skipping the re-arming, but leaves the media
// buttons answering.
TEST_F(SettingsTest, FailedOpenIsReportedAndTheMediaButtonsStillWork) {
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    startArmed();
    EXPECT_EQ(services.boxes,
              (Boxes{{"Could not open " + kWave + ": the file cannot be found.", "Tolvane Off", 0x10}}));
    expectAlarm(false, "Tolvane Off");
    click(form().CDRadioButton);
    EXPECT_EQ(device.typeName(), "CDAudio");
}

// Save Settings unchecked: only that key is written, and the next start shows it so
// with the rest of the last full save. A save that fails is reported; the file itself
// is the store's business.
TEST_F(SettingsTest, SaveSettingsUncheckedWritesOnlyThatKeyAndAFailedSaveIsReported) {
    store.setFileText(kIni, "[Saved Settings]\nSave Settings=1\nAlarmHour=7\nLastType=CD\nAlarmOn=1\n");
    start();
    click(form().SaveSettingsMnu);
    click(form().OnOffBtn);
    user([this] { form().AlarmMinuteUpDown->step(ui::UpDownButton::Up); });
    shutdown();
    EXPECT_EQ(iniText(), "[Saved Settings]\nSave Settings=0\nAlarmHour=7\nLastType=CD\nAlarmOn=1\n");
    start();
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    expectAlarm(true, "Tolvane @7:00AM");
    store.setReadOnly(true);
    shutdown();
    EXPECT_EQ(services.boxes,
              (Boxes{{"Unable to write to /memory/tolvan.ini: Read-only file system.", "Tolvane @7:00AM", 0x10}}));
}

// Settings that cannot be read are reported once the window is up, and the defaults used.
TEST_F(SettingsTest, UnreadableSettingsAreReported) {
    store.setUnreadable(true);
    startArmed();
    loop.advance(1ms);
    EXPECT_EQ(services.boxes,
              (Boxes{{"Unable to read /memory/tolvan.ini: Permission denied; the default settings are used.",
                      "Tolvane Off", 0x10}}));
    EXPECT_EQ(checkedSource(), "");
}

}  // namespace
}  // namespace formtest
