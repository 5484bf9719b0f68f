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

// A saved source that cannot be opened at start-up (a file on a drive or share that is
// not there yet) is reported once the window is up, and the armed alarm is kept: at its
// minute the open is tried again; a sound that still cannot play gives way to the
// built-in tone, told once. The armed state is saved at exit.
struct StartupOpenCase {
    const char* name;
    IniLines settings;  // armed for 7:05 AM, over a wave file
    std::string source;
    bool backByThen;  // the open works at the alarm minute
    Boxes atMinute;
    std::size_t toneStarts;
};
std::ostream& operator<<(std::ostream& out, const StartupOpenCase& c) { return out << c.name; }

class StartupOpenTest : public SettingsTest, public ::testing::WithParamInterface<StartupOpenCase> {};

constexpr mci::MCIERROR kNotThere = mci::MCIERR_CUSTOM_DRIVER_BASE + 3;
const std::string kStaysSet =
    ". The alarm stays set for 7:05AM; if the sound still cannot be played then, the built-in alarm tone sounds "
    "instead.";
const std::string kToneInstead = ": not there. The built-in alarm tone is sounding instead.";

TEST_P(StartupOpenTest, ArmedAlarmIsKeptAndRingsOrSaysWhy) {
    const StartupOpenCase& c = GetParam();
    bool missing = true;
    device.errorTexts[kNotThere] = "Not there.";
    device.beforeRequest = [&](mci::UINT message) {
        if (message == mci::MCI_OPEN && missing) device.failNext(mci::MCI_OPEN, kNotThere);
    };
    startArmed(c.settings);
    loop.advance(1ms);
    expectAlarm(true, "Tolvane @7:05AM");
    const bool audio = form().AudioCheckBox->checked();
    const std::string opening = "Could not open " + (c.source.empty() ? "the music CD" : c.source) + ": not there";
    EXPECT_EQ(services.boxes, (Boxes{{opening + (audio ? kStaysSet : "."), "Tolvane @7:05AM", 0x10}}));
    services.boxes.clear();
    missing = !c.backByThen;
    runTo(7, 5, 59);
    EXPECT_EQ(services.boxes, c.atMinute);
    EXPECT_EQ(tone.log, Texts(c.toneStarts, "start"));
    EXPECT_EQ(device.plays.size(), c.backByThen ? 1u : 0u);
    EXPECT_EQ(mediaShows(), c.source.empty()      ? "No CD in Drive [left] Track: 0"
                            : c.backByThen ? c.source + " [right] Length: 2 sec"
                                           : c.source + " [right]  ");
    shutdown();
    EXPECT_NE(iniText().find("\nAlarmOn=1\n"), std::string::npos) << iniText();
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StartupOpenTest,
    ::testing::Values(
        StartupOpenCase{"Wave", {}, kWave, false,
                        {{"The alarm sound could not be played (" + kWave + ")" + kToneInstead, "Tolvane @7:05AM", 0x10}},
                        1},
        StartupOpenCase{"Midi", {{"LastType", "Midi"}, {"LastFileName", kMidi}}, kMidi, false,
                        {{"The alarm sound could not be played (" + kMidi + ")" + kToneInstead, "Tolvane @7:05AM", 0x10}},
                        1},
        StartupOpenCase{"Cd", {{"LastType", "CD"}}, "", false,
                        {{"The alarm sound could not be played (the music CD)" + kToneInstead, "Tolvane @7:05AM", 0x10}},
                        1},
        StartupOpenCase{"MessageOnly", {{"AudioChecked", "0"}, {"MsgChecked", "1"}}, kWave, false,
                        {{"Tolvane set for 7:05AM. ", "REMINDER!", 0x1030}}, 0},
        StartupOpenCase{"FileBackByThen", {}, kWave, true, {}, 0}),
    ::testing::PrintToStringParamName());

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
