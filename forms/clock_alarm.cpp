// The clock tick, arming and disarming, and the entry of the alarm time.
#include <cctype>

#include <algorithm>
#include <exception>
#include <utility>

#include "forms/main_form.h"
#include "sys/exception.h"
#include "sys/message_queue.h"

namespace forms {

namespace {

const char* const warningText =
    "You have not selected an output file or device on the Media Type tab or did not turn on a "
    "message or alarm on the Set Alarm tab.";

std::string twoDigits(int value) { return value < 10 ? "0" + std::to_string(value) : std::to_string(value); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// ---- The tick ---------------------------------------------------------------------

void TMainForm::ClockTimerTimer(ui::Component*) {
    const sys::LocalTime now = services_.clock.now();
    TimePanel->setCaption(sys::formatLongTime(services_.locale.timeFormat(), now));

    // A firing lasts its minute: the built-in tone stops when the minute has passed,
    // whether the alarm is still armed or went off by itself.
    const std::int64_t minute = sys::localMinuteNumber(now);
    if (firingMinute_ && *firingMinute_ != minute) endFiring();

    // Ticks can be far apart: the computer slept, the clock was set forward, the zone
    // changed. An alarm minute that passed between two ticks is not lost.
    const std::optional<sys::LocalTime> previous = std::exchange(lastTick_, now);
    if (AlarmOn && previous && catchUpOnPassedAlarm(*previous, now)) lateMinute_ = minute;

    // The display follows the user's locale format, but the alarm time is held in the
    // United States form (hour 1-12, two-digit minute, AM/PM), so the due test reads
    // the same clock reading written in that form. Under United States settings this is
    // exactly the displayed text.
    if (AlarmOn &&
        (lateMinute_ == minute || alarmDue(sys::formatLongTime(sys::TimeFormatSettings::unitedStates(), now)))) {
        firingMinute_ = minute;
        fire();
    }

    if (CDRadioButton->checked()) showTrack();
    followArming();
}

void TMainForm::fire() {
    if (AudioCheckBox->checked()) {
        soundAlarm();
        // After the start, so that a sound server slow to answer never delays the sound.
        makeAudible();
    }
    if (MsgCheckBox->checked()) {
        // Unticked first, so a tick nested in the box's wait shows no second reminder.
        MsgCheckBox->setChecked(false);
        const std::string text = !MessageEdit->text().empty()
                                     ? MessageEdit->text()
                                     : "Tolvane set for " + AlarmHourEdit->text() + ":" + AlarmMinuteEdit->text() +
                                           AlarmAMPMEdit->text() + ". ";
        app_.messageBox(text, "REMINDER!", sys::mb::ok | sys::mb::iconExclamation | sys::mb::systemModal);
    }
    applyAutoOff();
}

// Auto Off: the alarm switches itself off once it has rung (or was missed). The sound
// is not stopped; it plays to its end.
bool TMainForm::applyAutoOff() {
    if (!RepeatCheckBox->checked()) return false;
    setAlarmButtonColor(ui::colors::grey);
    app_.setTitle("Tolvane Off");
    AlarmOn = false;
    return true;
}

namespace {

// "7:21AM": a reading in the form the alarm time is written in.
std::string shortTime(const sys::LocalTime& t) {
    return std::to_string((t.hour + 11) % 12 + 1) + ":" + twoDigits(t.minute) + (t.hour < 12 ? "AM" : "PM");
}

// How late an alarm may still ring after its minute was passed over.
constexpr std::int64_t latestRingSeconds = 30 * 60;

}  // namespace

// Looks for the alarm minute between the previous tick and this one. Less than half an
// hour late, the alarm rings now (true is returned) and the user is told why it is late;
// later than that, it is reported missed and Auto Off applies as if it had rung. A clock
// set back passes over nothing: the alarm may ring again when its minute comes round.
bool TMainForm::catchUpOnPassedAlarm(const sys::LocalTime& previous, const sys::LocalTime& now) {
    const std::optional<int> alarmMinute = alarmMinuteOfDay();
    if (!alarmMinute) return false;
    const std::int64_t minute = sys::localMinuteNumber(now);
    // The last start of the alarm minute on the local clock before this minute.
    const std::int64_t sinceAlarm = ((now.hour * 60 + now.minute - *alarmMinute) % 1440 + 1440) % 1440;
    if (sinceAlarm == 0 || minute - sinceAlarm <= sys::localMinuteNumber(previous)) return false;
    // Late by the local clock since the alarm minute began, but never by more than the
    // time that really passed since the previous tick: over a change of zone or of
    // daylight saving the local clock jumps while hardly any time goes by.
    const std::int64_t late = std::min(sinceAlarm * 60 + now.second,
                                       std::max<std::int64_t>(0, sys::utcSeconds(now) - sys::utcSeconds(previous)));
    const std::string why = "the computer was asleep or the clock was changed";
    std::string text;
    const bool ringNow = late < latestRingSeconds;
    if (ringNow) {
        text = "The alarm set for " + alarmTimeText() + " rang late, at " + shortTime(now) + ": " + why + ".";
    } else {
        text = "The alarm set for " + alarmTimeText() + " was missed: " + why + ", and it was " + shortTime(now) +
               " when Tolvane could ring it.";
        if (MsgCheckBox->checked() && !MessageEdit->text().empty()) text += " Its message: " + MessageEdit->text();
        if (applyAutoOff()) text += " Auto Off has switched the alarm off.";
    }
    // Shown after this tick, so a late alarm rings first.
    app_.queue().post([this, text] { app_.messageBox(text, "Tolvane", sys::mb::ok | sys::mb::iconExclamation); });
    return ringNow;
}

// Turns the output up once per firing when it is muted or too low to hear, and says so
// without a box: the user may be asleep, and the alarm should be heard, not read.
void TMainForm::makeAudible() {
    if (outputChecked_) return;
    outputChecked_ = true;
    const sys::OutputVolume::Change change = services_.volume.makeAudible();
    if (!change.raisedFrom.empty())
        app_.services().notify("The sound output was " + change.raisedFrom + "; it was turned up for the alarm");
    if (!change.problem.empty()) app_.services().notify("The alarm may not be heard: " + asClause(change.problem));
}

// Starts the chosen sound unless it (or the built-in tone standing in for it) already
// plays. A sound that cannot play is never passed over in silence: the built-in tone
// rings instead, and the user is told why, once per firing.
void TMainForm::soundAlarm() {
    if (services_.tone.sounding() || MediaPlayer->mode() == mci::mdPlaying) return;
    std::string reason;
    if (!MediaPlayer->isOpen()) {
        // A source that could not be opened before (a drive not mounted yet at start-up).
        reason = tryOpen();
        if (!reason.empty()) return alarmSoundFailed(reason);
        MediaPlayer->invalidate();
        if (!CDRadioButton->checked()) showLength();
    }
    try {
        MediaPlayer->play();
        if (MediaPlayer->error() == 0) return;
        reason = MediaPlayer->errorMessage();
    } catch (const mci::EMCIDeviceError& e) {
        reason = e.what();
    }
    alarmSoundFailed(reason);
}

void TMainForm::alarmSoundFailed(const std::string& reason) {
    const std::string toneProblem = services_.tone.start();
    if (soundFailureReported_) return;
    soundFailureReported_ = true;
    std::string text = soundProblem("The alarm sound could not be played", reason) + ". ";
    if (toneProblem.empty()) {
        text += "The built-in alarm tone is sounding instead";
    } else if (toneProblem == reason) {
        text += "The built-in alarm tone cannot sound either";
    } else {
        text += "The built-in alarm tone cannot sound either: " + asClause(toneProblem);
    }
    // Reported after this tick, so the reminder and Auto Off still happen now.
    app_.queue().postError(std::make_exception_ptr(sys::Error(text)));
}

// "<lead> (<source>): <reason>", the reason's first letter lowered to run on.
std::string TMainForm::soundProblem(const std::string& lead, const std::string& reason) const {
    const std::string source = soundSource();
    return lead + (source.empty() ? "" : " (" + source + ")") + ": " + asClause(reason);
}

// The chosen sound as the user knows it: the music CD or the file's path.
std::string TMainForm::soundSource() const {
    return CDRadioButton->checked() ? std::string("the music CD") : MediaPlayer->fileName();
}

void TMainForm::endFiring() {
    services_.tone.stop();
    if (outputChecked_) services_.volume.restore();
    outputChecked_ = false;
    firingMinute_.reset();
    lateMinute_.reset();
    soundFailureReported_ = false;
}

// While an alarm is armed the desktop is asked not to suspend the computer (and to wake
// it for the alarm), and, while the settings are saved, to start the program with the
// next session; both are let go when it is not.
void TMainForm::followArming() {
    const std::string reason = AlarmOn ? "Alarm set for " + alarmTimeText() : std::string();
    if (reason != sleepReason_) {
        sleepReason_ = reason;
        if (reason.empty()) {
            services_.sleep.release();
        } else {
            services_.sleep.inhibit(reason, alarmWakeTime());
        }
    }
    // Not while the settings are being restored: only the state they end in counts.
    const bool startWanted = AlarmOn && SaveSettingsMnu->checked();
    if (!FormReady || sessionStartWanted_ == startWanted) return;
    sessionStartWanted_ = startWanted;
    const std::string problem = services_.session.setRegistered(startWanted);
    if (problem.empty() || !startWanted || sessionStartProblemTold_) return;
    sessionStartProblemTold_ = true;
    app_.services().notify("Tolvane cannot arrange to start again after a restart, so the alarm set for " +
                           alarmTimeText() + " will not ring if you log out first: " + asClause(problem));
}

// A message made to run on after a colon: "The file ...." becomes "...: the file ...",
// "MIDI files ..." keeps its capitals, and a full stop of its own at the end is dropped,
// since the sentence it joins ends on its own.
std::string TMainForm::asClause(std::string text) {
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::string TMainForm::alarmTimeText() const {
    return AlarmHourEdit->text() + ":" + AlarmMinuteEdit->text() + AlarmAMPMEdit->text();
}

// The alarm's hour and minute on the 24-hour clock; an hour or minute the texts do
// not hold reads as 0.
sys::WakeTime TMainForm::alarmWakeTime() const {
    auto number = [](const std::string& text) {
        int value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9' || value > 99) return 0;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const int hour = number(AlarmHourEdit->text()) % 12 + (AlarmAMPMEdit->text() == "PM" ? 12 : 0);
    return {hour, number(AlarmMinuteEdit->text()) % 60};
}

// The alarm's minute of the day, when the alarm texts can match the clock at all (a
// one-digit minute never does).
std::optional<int> TMainForm::alarmMinuteOfDay() const {
    const sys::WakeTime at = alarmWakeTime();
    sys::LocalTime t;
    t.hour = at.hour;
    t.minute = at.minute;
    if (!alarmDue(sys::formatLongTime(sys::TimeFormatSettings::unitedStates(), t))) return std::nullopt;
    return at.hour * 60 + at.minute;
}

// The alarm is due while the hour and minute before the seconds, and the last two
// characters (the designator), match the alarm texts exactly.
bool TMainForm::alarmDue(const std::string& t) const {
    if (t.size() < 2 || t.substr(t.size() - 2) != AlarmAMPMEdit->text()) return false;
    const std::size_t colon = t.find(':');
    if (colon == std::string::npos) return false;
    return t.substr(0, colon + 3) == AlarmHourEdit->text() + ":" + AlarmMinuteEdit->text();
}

// ---- Arming -----------------------------------------------------------------------

void TMainForm::OnOffBtnClick(ui::Component*) {
    if (!AlarmOn && services_.tone.sounding()) {
        // The alarm went off by itself (Auto Off) and its tone rings on: the button
        // silences it rather than arming again.
        services_.tone.stop();
    } else if (AlarmOn) {
        if (MediaPlayer->mode() == mci::mdPlaying) MediaPlayer->stop();
        services_.tone.stop();
        setAlarmButtonColor(ui::colors::grey);
        app_.setTitle("Tolvane Off");
        AlarmOn = false;
    } else if ((CDRadioButton->checked() || WavRadioButton->checked() || MidiRadioButton->checked()) &&
               (AudioCheckBox->checked() || MsgCheckBox->checked())) {
        setAlarmButtonColor(ui::colors::red);
        SetTitleOn(this);
        AlarmOn = true;
    } else {
        app_.messageBox(warningText, "WARNING!", sys::mb::ok | sys::mb::iconExclamation);
    }
    followArming();
}

void TMainForm::SetTitleOn(ui::Component*) {
    app_.setTitle("Tolvane @" + alarmTimeText());
    followArming();
}

void TMainForm::setAlarmButtonColor(ui::Color color) {
    ui::Font font = OnOffBtn->font();
    font.color = color;
    OnOffBtn->setFont(font);
}

void TMainForm::refreshTitle() {
    if (AlarmOn) SetTitleOn(this);
}

// ---- Alarm time entry -------------------------------------------------------------

void TMainForm::AlarmHourEditKeyPress(ui::Component*, char& key) {
    if (!isDigit(key)) key = 0;
}

void TMainForm::AlarmHourEditChange(ui::Component*) {
    if (sys::strToInt(AlarmHourEdit->text()) > 12) AlarmHourEdit->setText("12");
    // The spin buttons move the value into 1..12 and write it back into the box.
    AlarmHourUpDown->setPosition(sys::strToInt(AlarmHourEdit->text()));
    refreshTitle();
    AlarmHourEdit->setText(std::to_string(AlarmHourUpDown->position()));
}

void TMainForm::AlarmMinuteEditKeyPress(ui::Component*, char& key) {
    if (!isDigit(key)) key = 0;
}

void TMainForm::AlarmMinuteEditChange(ui::Component*) {
    if (sys::strToInt(AlarmMinuteEdit->text()) > 59) AlarmMinuteEdit->setText("59");
    AlarmMinuteUpDown->setPosition(sys::strToInt(AlarmMinuteEdit->text()));
    refreshTitle();
}

// The minute and AM/PM texts made from their spin positions.
void TMainForm::writeMinuteText() { AlarmMinuteEdit->setText(twoDigits(AlarmMinuteUpDown->position())); }

void TMainForm::writeAmPmText() { AlarmAMPMEdit->setText(AMPMUpDown->position() == 0 ? "AM" : "PM"); }

void TMainForm::AlarmMinuteUpDownClick(ui::Component*, ui::UpDownButton) { writeMinuteText(); }

void TMainForm::AlarmMinuteEditMouseMove(ui::Component*, ui::Point) {
    if (AlarmMinuteUpDown->position() < 10) writeMinuteText();
}

void TMainForm::AlarmMinuteEditExit(ui::Component* sender) { AlarmMinuteEditMouseMove(sender, {}); }

void TMainForm::AMPMUpDownClick(ui::Component*, ui::UpDownButton) { writeAmPmText(); }

void TMainForm::AlarmAMPMEditKeyPress(ui::Component*, char& key) {
    if (key == 'a' || key == 'A') {
        AlarmAMPMEdit->setText("AM");
        AMPMUpDown->setPosition(0);
    }
    if (key == 'p' || key == 'P') {
        AlarmAMPMEdit->setText("PM");
        AMPMUpDown->setPosition(1);
    }
}

void TMainForm::AlarmAMPMEditChange(ui::Component*) { refreshTitle(); }

}  // namespace forms
