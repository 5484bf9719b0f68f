// The clock tick, arming and disarming, and the entry of the alarm time.
#include <cctype>

#include "forms/main_form.h"
#include "ui/exception.h"

namespace {

const char* const warningText =
    "You have not selected an output file or device on the Media Type tab or did not turn on a "
    "message or alarm on the Set Alarm tab.";

std::string twoDigits(int value) { return value < 10 ? "0" + std::to_string(value) : std::to_string(value); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// ---- The tick ---------------------------------------------------------------------

void TMainForm::ClockTimerTimer(ui::Component*) {
    const ui::LocalTime now = services_.clock.now();
    TimePanel->setCaption(ui::formatLongTime(services_.locale.timeFormat(), now));

    // The display follows the user's regional format, but the alarm time is held in the
    // United States form (hour 1-12, two-digit minute, AM/PM), so the due test reads
    // the same clock reading written in that form. Under United States settings this is
    // exactly the displayed text.
    if (AlarmOn && alarmDue(ui::formatLongTime(ui::TimeFormatSettings::unitedStates(), now))) {
        if (AudioCheckBox->checked() && MediaPlayer->mode() != mci::mdPlaying) MediaPlayer->play();
        if (MsgCheckBox->checked()) {
            // Unticked first, so a tick nested in the box's wait shows no second reminder.
            MsgCheckBox->setChecked(false);
            const std::string text = !MessageEdit->text().empty()
                                         ? MessageEdit->text()
                                         : "Tolvane set for " + AlarmHourEdit->text() + ":" + AlarmMinuteEdit->text() +
                                               AlarmAMPMEdit->text() + ". ";
            app_.messageBox(text, "REMINDER!", ui::mb::ok | ui::mb::iconExclamation | ui::mb::systemModal);
        }
        if (RepeatCheckBox->checked()) {
            setAlarmButtonColor(ui::colors::grey);
            app_.setTitle("Tolvane Off");
            AlarmOn = false;
        }
    }

    if (CDRadioButton->checked()) showTrack();
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
    if (AlarmOn) {
        if (MediaPlayer->mode() == mci::mdPlaying) MediaPlayer->stop();
        setAlarmButtonColor(ui::colors::grey);
        app_.setTitle("Tolvane Off");
        AlarmOn = false;
    } else if ((CDRadioButton->checked() || WavRadioButton->checked() || MidiRadioButton->checked()) &&
               (AudioCheckBox->checked() || MsgCheckBox->checked())) {
        setAlarmButtonColor(ui::colors::red);
        SetTitleOn(this);
        AlarmOn = true;
    } else {
        app_.messageBox(warningText, "WARNING!", ui::mb::ok | ui::mb::iconExclamation);
    }
}

void TMainForm::SetTitleOn(ui::Component*) {
    app_.setTitle("Tolvane @" + AlarmHourEdit->text() + ":" + AlarmMinuteEdit->text() + AlarmAMPMEdit->text());
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
    if (ui::strToInt(AlarmHourEdit->text()) > 12) AlarmHourEdit->setText("12");
    // The spin buttons move the value into 1..12 and write it back into the box.
    AlarmHourUpDown->setPosition(ui::strToInt(AlarmHourEdit->text()));
    refreshTitle();
    AlarmHourEdit->setText(std::to_string(AlarmHourUpDown->position()));
}

void TMainForm::AlarmMinuteEditKeyPress(ui::Component*, char& key) {
    if (!isDigit(key)) key = 0;
}

void TMainForm::AlarmMinuteEditChange(ui::Component*) {
    if (ui::strToInt(AlarmMinuteEdit->text()) > 59) AlarmMinuteEdit->setText("59");
    AlarmMinuteUpDown->setPosition(ui::strToInt(AlarmMinuteEdit->text()));
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
