// The choice of media source: music CD, wave file or MIDI file.
#include "forms/main_form.h"
#include "sys/exception.h"

namespace forms {

struct TMainForm::FileKind {
    ui::Label* TMainForm::*lastFileLabel;
    ui::RadioButton* TMainForm::*radio;
    mci::TMPDeviceTypes deviceType;
    const char* filter;
    const FileKind* other;  // the other file kind, put back when its dialog is cancelled
};

namespace {
const char* const waveFilter = "Wave files (*.wav)|*.wav";
const char* const midiFilter = "Music files|*.mid;*.midi;*.rmi";
}  // namespace

const TMainForm::FileKind TMainForm::waveKind{&TMainForm::LastWaveLabel, &TMainForm::WavRadioButton, mci::dtWaveAudio,
                                              waveFilter, &TMainForm::midiKind};
const TMainForm::FileKind TMainForm::midiKind{&TMainForm::LastMidiLabel, &TMainForm::MidiRadioButton, mci::dtSequencer,
                                              midiFilter, &TMainForm::waveKind};

void TMainForm::WavRadioButtonClick(ui::Component* sender) { fileRadioClick(waveKind, sender); }
void TMainForm::WavRadioButtonDblClick(ui::Component* sender) { fileRadioDblClick(waveKind, sender); }
void TMainForm::MidiRadioButtonClick(ui::Component* sender) { fileRadioClick(midiKind, sender); }
void TMainForm::MidiRadioButtonDblClick(ui::Component* sender) { fileRadioDblClick(midiKind, sender); }

void TMainForm::stopAndClose() {
    if (MediaPlayer->mode() == mci::mdPlaying) MediaPlayer->stop();
    services_.tone.stop();
    MediaPlayer->close();
}

// The armed title comes back only with the armed state: an alarm that is off keeps
// "Tolvane Off" whatever source is chosen.
void TMainForm::restoreAlarm(bool alarmWasOn) {
    if (!alarmWasOn) return;
    AlarmOn = true;
    setAlarmButtonColor(ui::colors::red);
    SetTitleOn(this);
}

// Opens the player's device; empty, or the device's own reason why not.
std::string TMainForm::tryOpen() {
    try {
        MediaPlayer->open();
    } catch (const mci::EMCIDeviceError& e) {
        return e.what();
    }
    return {};
}

// "Could not open <source>: <reason>".
std::string TMainForm::openProblem(const std::string& reason) const {
    const std::string source = soundSource();
    return source.empty() ? reason : "Could not open " + source + ": " + asClause(reason);
}

void TMainForm::openDevice() {
    if (const std::string why = tryOpen(); !why.empty()) throw mci::EMCIDeviceError(openProblem(why));
}

// The length in whole seconds, read in milliseconds.
void TMainForm::showLength() {
    MediaPlayer->setTimeFormat(mci::fmtMilliseconds);
    TimeLabel->setCaption("Length:");
    TimeIndexLabel->setCaption(std::to_string(MediaPlayer->length() / 1000) + " sec");
}

// The track byte of the position in the track format; track 0 means no disc.
void TMainForm::showTrack() {
    MediaPlayer->setTimeFormat(mci::fmtTMSF);
    TimeIndexLabel->setCaption(std::to_string(MediaPlayer->position() & 0xFF));
    if (TimeIndexLabel->caption() == "0") FilePanel->setCaption("No CD in Drive");
}

void TMainForm::fileRadioClick(const FileKind& kind, ui::Component* sender) {
    const std::string lastFile = (this->*kind.lastFileLabel)->caption();
    if (lastFile.empty()) {
        fileRadioDblClick(kind, sender);  // no file of this kind yet: ask for one
        return;
    }
    if (!FormReady) return;
    const bool alarmWasOn = AlarmOn;
    AlarmOn = false;
    stopAndClose();
    FilePanel->setAlignment(ui::Alignment::Right);
    FilePanel->setCaption(lastFile);
    OpenDialog->setFileName(lastFile);
    MediaPlayer->setShareable(false);
    MediaPlayer->setFileName(lastFile);
    MediaPlayer->setDeviceType(kind.deviceType);
    openFileSource(alarmWasOn);
}

// Opens the chosen source. The alarm is down while the source changes; when the open
// fails it stays down, so an alarm that was armed is shown as off too: the window must
// never claim an alarm that cannot ring.
void TMainForm::openChosenSource(bool alarmWasOn) {
    try {
        openDevice();
    } catch (...) {
        if (alarmWasOn) {
            setAlarmButtonColor(ui::colors::grey);
            app_.setTitle("Tolvane Off");
        }
        throw;
    }
}

// Open, redraw, take the armed state back, show the title and the length.
void TMainForm::openFileSource(bool alarmWasOn) {
    openChosenSource(alarmWasOn);
    MediaPlayer->invalidate();
    restoreAlarm(alarmWasOn);
    showLength();
}

void TMainForm::fileRadioDblClick(const FileKind& kind, ui::Component*) {
    if (!FormReady) return;
    const bool alarmWasOn = AlarmOn;
    OpenDialog->setFilter(kind.filter);
    if (OpenDialog->execute()) {
        AlarmOn = false;
        stopAndClose();
        FilePanel->setAlignment(ui::Alignment::Right);
        FilePanel->setCaption(OpenDialog->fileName());
        (this->*kind.lastFileLabel)->setCaption(OpenDialog->fileName());
        MediaPlayer->setShareable(false);
        MediaPlayer->setFileName(FilePanel->caption());
        MediaPlayer->setDeviceType(kind.deviceType);
        openFileSource(alarmWasOn);
        return;
    }
    // Cancelled: the device stays as it was; only the radio buttons are put back in
    // step with it, without reopening anything.
    if (MediaPlayer->deviceType() == kind.other->deviceType) {
        FormReady = false;
        (this->*kind.other->radio)->setChecked(true);
        OpenDialog->setFilter(kind.other->filter);
        OpenDialog->setFileName((this->*kind.other->lastFileLabel)->caption());
        FormReady = true;
    }
    if (MediaPlayer->deviceType() == mci::dtCDAudio) {
        FormReady = false;
        CDRadioButton->setChecked(true);
        FormReady = true;
    }
}

void TMainForm::CDRadioButtonClick(ui::Component*) {
    if (!FormReady) return;
    const bool alarmWasOn = AlarmOn;
    AlarmOn = false;
    stopAndClose();
    MediaPlayer->setFileName("");
    OpenDialog->setFileName("");
    FilePanel->setAlignment(ui::Alignment::Left);
    FilePanel->setCaption("Music CD");
    MediaPlayer->setDeviceType(mci::dtCDAudio);
    MediaPlayer->setShareable(true);
    openChosenSource(alarmWasOn);  // a CD device comes up in the track/minute/second/frame format
    MediaPlayer->invalidate();
    restoreAlarm(alarmWasOn);
    TimeLabel->setCaption("Track:");
    TimeIndexLabel->setCaption(std::to_string(MediaPlayer->position()));
}

void TMainForm::MediaPlayerPostClick(ui::Component*, mci::TMPBtnType button) {
    // A Play that the device refused is said, not passed over.
    if (button == mci::btPlay && MediaPlayer->error() != 0)
        throw sys::Error(soundProblem("The sound could not be played", MediaPlayer->errorMessage()));
    if (!CDRadioButton->checked()) return;
    // A CD device refuses the frames format and keeps its track format; the position is
    // below 50 only at the very start of a track, where it equals the track number.
    MediaPlayer->setTimeFormat(mci::fmtFrames);
    const std::int32_t position = MediaPlayer->position();
    if (position < 50) TimeIndexLabel->setCaption(std::to_string(position));
}

void TMainForm::MediaPlayerNotify(ui::Component*) {
    if (MediaPlayer->mode() == mci::mdStopped) MediaPlayer->rewind();
    if (MediaPlayer->notifyValue() != mci::nfFailure) return;
    // The device gave up while playing: within an alarm's minute the built-in tone takes
    // over; otherwise the user is told.
    const std::string reason = "the media device stopped playing because of an error";
    if (firingMinute_ && AudioCheckBox->checked()) {
        alarmSoundFailed(reason);
    } else {
        throw sys::Error(soundProblem("The sound stopped", reason));
    }
}

}  // namespace forms
