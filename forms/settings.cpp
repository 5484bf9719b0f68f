// The settings file: restored when the main window is created, saved when it is
// destroyed.
#include <exception>

#include "forms/main_form.h"
#include "sys/message_queue.h"

namespace forms {

namespace {

const char* const section = "Saved Settings";

// Raises FormReady when the restore ends, however it ends, so that a restore cut short
// by an error (a saved file that has gone, say) does not leave the media buttons dead
// for the rest of the run.
struct RaiseFormReadyOnExit {
    ~RaiseFormReadyOnExit() { FormReady = true; }
};

}  // namespace

void TMainForm::FormCreate(ui::Component* sender) {
    sys::ProfileAccessor ini(services_.profile, settingsFile);
    FormReady = false;
    RaiseFormReadyOnExit raise;
    // Settings that cannot be read are not passed over as a first run: the user is told,
    // after start-up, and the window starts from the defaults.
    if (const std::string problem = ini.readProblem(); !problem.empty())
        app_.queue().postError(
            std::make_exception_ptr(sys::Error("Unable to read " + problem + "; the default settings are used")));

    SaveSettingsMnu->setChecked(ini.readBool(section, "Save Settings", true));
    OpenDialog->setFileName(ini.readString(section, "LastFileName", ""));
    AudioCheckBox->setChecked(ini.readBool(section, "AudioChecked", true));
    MsgCheckBox->setChecked(ini.readBool(section, "MsgChecked", false));
    MessageEdit->setText(ini.readString(section, "MessageText", ""));
    FilePanel->setCaption(OpenDialog->fileName());
    MediaPlayer->setFileName(OpenDialog->fileName());
    LastWaveLabel->setCaption(ini.readString(section, "LastWave", ""));
    LastMidiLabel->setCaption(ini.readString(section, "LastMidi", ""));

    AlarmHourUpDown->setPosition(ini.readInteger(section, "AlarmHour", 12));
    AlarmHourEdit->setText(std::to_string(AlarmHourUpDown->position()));
    AlarmMinuteUpDown->setPosition(ini.readInteger(section, "AlarmMin", 0));
    writeMinuteText();
    AMPMUpDown->setPosition(ini.readInteger(section, "AlarmAMPM", 0));
    writeAmPmText();

    const std::string lastType = ini.readString(section, "LastType", "");
    std::string openFailure;
    if (lastType == "CD") {
        FilePanel->setAlignment(ui::Alignment::Left);
        CDRadioButton->setChecked(true);
        FilePanel->setCaption("Music CD");
        MediaPlayer->setDeviceType(mci::dtCDAudio);
        MediaPlayer->setShareable(true);
        openFailure = tryOpen();
        MediaPlayer->invalidate();
        TimeLabel->setCaption("Track:");
        showTrack();
    } else if (lastType == "Wave" || lastType == "Midi") {
        const bool wave = lastType == "Wave";
        FilePanel->setAlignment(ui::Alignment::Right);
        (wave ? WavRadioButton : MidiRadioButton)->setChecked(true);
        MediaPlayer->setDeviceType(wave ? mci::dtWaveAudio : mci::dtSequencer);
        openFailure = tryOpen();
        MediaPlayer->invalidate();
        if (openFailure.empty()) showLength();
    }

    // The saved armed state is taken up through the ALARM button's own code, whether or
    // not the sound opened: a file on a drive or share that is not there yet must not
    // cost the user their alarm. It is tried again when the alarm is due. The failure
    // is told once the window is up.
    AlarmOn = !ini.readBool(section, "AlarmOn", false);
    OnOffBtnClick(sender);
    if (!openFailure.empty()) {
        std::string text = openProblem(openFailure);
        if (AlarmOn && AudioCheckBox->checked())
            text += ". The alarm stays set for " + alarmTimeText() +
                    "; if the sound still cannot be played then, the built-in alarm tone sounds instead";
        app_.queue().postError(std::make_exception_ptr(mci::EMCIDeviceError(text)));
    }
    // The restore is over: the start with the session follows the state it ended in.
    FormReady = true;
    followArming();
}

void TMainForm::FormDestroy(ui::Component*) {
    if (MediaPlayer->mode() == mci::mdPlaying) MediaPlayer->stop();
    services_.tone.stop();
    if (outputChecked_) services_.volume.restore();
    outputChecked_ = false;
    // The start with the next session stays as it is: an armed alarm is to come back.
    if (!sleepReason_.empty()) services_.sleep.release();
    sleepReason_.clear();
    sys::ProfileAccessor ini(services_.profile, settingsFile);
    if (SaveSettingsMnu->checked()) {
        ini.eraseSection(section);
        ini.writeBool(section, "Save Settings", true);
        ini.writeString(section, "LastFileName", OpenDialog->fileName());
        ini.writeString(section, "LastWave", LastWaveLabel->caption());
        ini.writeString(section, "LastMidi", LastMidiLabel->caption());
        ini.writeInteger(section, "AlarmHour", AlarmHourUpDown->position());
        ini.writeInteger(section, "AlarmMin", AlarmMinuteUpDown->position());
        ini.writeInteger(section, "AlarmAMPM", AMPMUpDown->position());
        ini.writeBool(section, "AudioChecked", AudioCheckBox->checked());
        ini.writeBool(section, "MsgChecked", MsgCheckBox->checked());
        ini.writeString(section, "MessageText", MessageEdit->text());
        if (CDRadioButton->checked()) {
            ini.writeString(section, "LastType", "CD");
        } else if (WavRadioButton->checked()) {
            ini.writeString(section, "LastType", "Wave");
        } else if (MidiRadioButton->checked()) {
            ini.writeString(section, "LastType", "Midi");
        }
        ini.writeBool(section, "AlarmOn", AlarmOn);
    } else {
        ini.writeBool(section, "Save Settings", false);
    }
    // Every write above lands in one atomic replacement of the file.
    ini.release();
}

}  // namespace forms
