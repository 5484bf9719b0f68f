// Module Main: the main window, its layout, its handlers and the program-wide flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mci/media_player.h"
#include "sys/alarm_services.h"
#include "sys/clock.h"
#include "sys/profile.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace forms {

// The services of the desktop the main window works with.
struct MainFormServices {
    mci::DeviceInterface& media;
    sys::ProfileStore& profile;
    const sys::Clock& clock;
    const sys::LocaleInfo& locale;
    sys::AlarmTone& tone;
    sys::SleepInhibitor& sleep;
    sys::OutputVolume& volume;
    sys::SessionStart& session;
};

class TMainForm : public ui::Form {
public:
    // Builds the designed layout, binds the handlers and runs FormCreate.
    TMainForm(ui::Application& app, const MainFormServices& services);
    ~TMainForm() override;

    // ---- Controls, in creation order ----------------------------------------------
    ui::Label* LastWaveLabel;
    ui::Label* LastMidiLabel;
    ui::Shape* DarkLineShape;
    ui::Shape* LightLineShape;
    ui::Panel* TimePanel;
    ui::TabbedNotebook* TabbedNotebook;
    // Page 0, "Media Type"
    ui::Panel* MediaPanel;
    ui::Label* TimeLabel;
    ui::Label* TimeIndexLabel;
    ui::RadioButton* CDRadioButton;
    ui::RadioButton* WavRadioButton;
    ui::RadioButton* MidiRadioButton;
    mci::TMediaPlayer* MediaPlayer;
    ui::Panel* FilePanel;
    // Page 1, "Set Alarm"
    ui::Panel* AlarmPanel;
    ui::Label* MsgLabel;
    ui::UpDown* AMPMUpDown;
    ui::UpDown* AlarmMinuteUpDown;
    ui::UpDown* AlarmHourUpDown;
    ui::Edit* AlarmAMPMEdit;
    ui::Edit* AlarmHourEdit;
    ui::Edit* AlarmMinuteEdit;
    ui::Edit* MessageEdit;
    ui::CheckBox* AudioCheckBox;
    ui::CheckBox* MsgCheckBox;
    ui::CheckBox* RepeatCheckBox;
    // Page 2, "How To"
    ui::ScrollBox* InfoScrollBox;
    ui::Memo* InfoMemo;
    // The rest of the main window
    ui::Button* OnOffBtn;
    ui::Timer* ClockTimer;
    ui::OpenDialog* OpenDialog;
    ui::MainMenu* MainMenu;
    ui::MenuItem* FileMnu;
    ui::MenuItem* SaveSettingsMnu;
    ui::MenuItem* MnuBreak1;
    ui::MenuItem* ExitMnu;
    ui::MenuItem* HelpMnu;
    ui::MenuItem* ProgramDescription1;
    ui::MenuItem* N1;
    ui::MenuItem* AboutMnu;

    // ---- Start-up, shutdown and menus -----------------------------------------------
    void FormCreate(ui::Component* sender);
    void FormDestroy(ui::Component* sender);
    void SaveSettingsMnuClick(ui::Component* sender);
    void ExitMnuClick(ui::Component* sender);
    void ProgramDescription1Click(ui::Component* sender);
    void AboutMnuClick(ui::Component* sender);

    // ---- Clock and alarm --------------------------------------------------------------
    void ClockTimerTimer(ui::Component* sender);
    void OnOffBtnClick(ui::Component* sender);
    void SetTitleOn(ui::Component* sender);
    void AlarmHourEditKeyPress(ui::Component* sender, char& key);
    void AlarmHourEditChange(ui::Component* sender);
    void AlarmMinuteEditKeyPress(ui::Component* sender, char& key);
    void AlarmMinuteEditChange(ui::Component* sender);
    void AlarmMinuteUpDownClick(ui::Component* sender, ui::UpDownButton button);
    void AlarmMinuteEditMouseMove(ui::Component* sender, ui::Point where);
    void AlarmMinuteEditExit(ui::Component* sender);
    void AMPMUpDownClick(ui::Component* sender, ui::UpDownButton button);
    void AlarmAMPMEditKeyPress(ui::Component* sender, char& key);
    void AlarmAMPMEditChange(ui::Component* sender);

    // ---- Media source -----------------------------------------------------------------
    void CDRadioButtonClick(ui::Component* sender);
    void WavRadioButtonClick(ui::Component* sender);
    void WavRadioButtonDblClick(ui::Component* sender);
    void MidiRadioButtonClick(ui::Component* sender);
    void MidiRadioButtonDblClick(ui::Component* sender);
    void MediaPlayerPostClick(ui::Component* sender, mci::TMPBtnType button);
    void MediaPlayerNotify(ui::Component* sender);

    static constexpr const char* settingsFile = "tolvan.ini";

private:
    // What tells the wave and the MIDI source apart in their shared handlers.
    struct FileKind;
    static const FileKind waveKind;
    static const FileKind midiKind;
    void fileRadioClick(const FileKind& kind, ui::Component* sender);
    void fileRadioDblClick(const FileKind& kind, ui::Component* sender);
    void openChosenSource(bool alarmWasOn);
    void openFileSource(bool alarmWasOn);
    void stopAndClose();
    void restoreAlarm(bool alarmWasOn);
    void showLength();
    void showTrack();

    void buildLayout();
    void buildMediaPage(ui::NotebookPage* page);
    void buildAlarmPage(ui::NotebookPage* page);
    void buildInfoPage(ui::NotebookPage* page);
    void buildMenu();
    void bindEvents();

    void writeMinuteText();
    void writeAmPmText();
    void setAlarmButtonColor(ui::Color color);
    void refreshTitle();
    bool alarmDue(const std::string& timeText) const;
    std::string alarmTimeText() const;
    sys::WakeTime alarmWakeTime() const;
    std::optional<int> alarmMinuteOfDay() const;
    bool catchUpOnPassedAlarm(const sys::LocalTime& previous, const sys::LocalTime& now);
    void fire();
    bool applyAutoOff();
    void makeAudible();
    void soundAlarm();
    void alarmSoundFailed(const std::string& reason);
    std::string soundProblem(const std::string& lead, const std::string& reason) const;
    std::string soundSource() const;
    void endFiring();
    void followArming();
    std::string tryOpen();
    std::string openProblem(const std::string& reason) const;
    void openDevice();
    static std::string asClause(std::string text);

    ui::Application& app_;
    MainFormServices services_;
    // The minute (sys::localMinuteNumber) of the alarm now firing, and of one that rings
    // late because the clock passed over its own minute.
    std::optional<std::int64_t> firingMinute_;
    std::optional<std::int64_t> lateMinute_;
    std::optional<sys::LocalTime> lastTick_;
    bool soundFailureReported_ = false;
    bool outputChecked_ = false;  // the output was made audible for this firing
    std::string sleepReason_;     // what the desktop was last told; empty: nothing inhibited
    std::optional<bool> sessionStartWanted_;
    bool sessionStartProblemTold_ = false;
};

// The program-wide references and flags of module Main.
extern TMainForm* MainForm;
// True while the alarm is armed.
extern bool AlarmOn;
// False while the settings restore runs and while a radio button is checked from code;
// the media radio buttons' handlers do nothing then.
extern bool FormReady;

}  // namespace forms
