// The alarm time entry, the ALARM button and the one-second clock tick.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

// ---- Alarm time entry

enum class Box { Hour, Minute, AmPm };

// Inputs: "#text" replaces the selection, its first key passing the key press; "+keys"
// types keys; "~" moves the mouse over the box, "<" leaves it; "^" and "v" click its
// spin buttons, "k^" and "kv" press Up and Down in the box.
struct EntryCase {
    const char* name;
    Box box;
    Texts inputs;
    bool armed;
    std::string shows;  // the box's text and where its spin buttons stand
};
std::ostream& operator<<(std::ostream& out, const EntryCase& c) { return out << c.name; }

class AlarmEntryTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {};

// From 7:05 AM. Armed, the title shows every change; disarmed, it is left alone.
TEST_P(AlarmEntryTest, BoxEndsWithAValidTextAndItsSpinPosition) {
    const EntryCase& c = GetParam();
    startWithWave({{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    if (c.armed) click(form().OnOffBtn);
    forms::TMainForm& f = form();
    ui::Edit* e = c.box == Box::Hour ? f.AlarmHourEdit : c.box == Box::Minute ? f.AlarmMinuteEdit : f.AlarmAMPMEdit;
    ui::UpDown* s = c.box == Box::Hour ? f.AlarmHourUpDown : c.box == Box::Minute ? f.AlarmMinuteUpDown : f.AMPMUpDown;
    for (const std::string& in : c.inputs) {
        user([&] {
            const std::string rest = in.substr(1);
            if (in[0] == '#' && e->keyPress(rest[0])) e->setText(rest);
            if (in[0] == '+')
                for (char k : rest) e->type(k);
            if (in[0] == '~') e->mouseMove({3, 4});
            if (in[0] == '<') e->focusChanged(true);
            if (in[0] == '<') e->focusChanged(false);
            if (in[0] == '^' || in[0] == 'v') s->step(in[0] == '^' ? ui::UpDownButton::Up : ui::UpDownButton::Down);
            if (in[0] == 'k') e->keyDown(rest == "^" ? ui::Key::Up : ui::Key::Down);
        });
    }
    EXPECT_EQ(e->text() + " " + std::to_string(s->position()), c.shows);
    const std::string time = f.AlarmHourEdit->text() + ":" + f.AlarmMinuteEdit->text() + f.AlarmAMPMEdit->text();
    EXPECT_EQ(app.title(), c.armed ? "Tolvane @" + time : "Tolvane Off");
}

INSTANTIATE_TEST_SUITE_P(
    Entry, AlarmEntryTest,
    ::testing::Values(EntryCase{"Hour0Gives1", Box::Hour, {"#0"}, true, "1 1"},
                      EntryCase{"HourTakesDigitsOnly", Box::Hour, {"#9", "+aZ .-\b\t"}, false, "9 9"},
                      EntryCase{"HourSpinUpFrom12WrapsTo1", Box::Hour, {"#12", "^"}, true, "1 1"},
                      EntryCase{"Minute60Gives59", Box::Minute, {"#6", "+0"}, true, "59 59"},
                      EntryCase{"MinuteTakesDigitsOnly", Box::Minute, {"+x ;\b"}, true, "05 5"},
                      EntryCase{"MinuteOneDigitMouseMove", Box::Minute, {"#9", "~"}, false, "09 9"},
                      EntryCase{"MinuteOneDigitLeave", Box::Minute, {"#9", "<"}, true, "09 9"},
                      EntryCase{"MinuteSpinUpFrom59WrapsTo00", Box::Minute, {"#59", "^"}, true, "00 0"},
                      EntryCase{"MinuteSpinDownTo10", Box::Minute, {"#11", "v"}, true, "10 10"},
                      EntryCase{"MinuteUpKeyFrom59WrapsTo00", Box::Minute, {"#59", "k^"}, true, "00 0"},
                      EntryCase{"MinuteDownKeyFromOneDigit", Box::Minute, {"#7", "kv"}, true, "06 6"},
                      EntryCase{"AmPmSpinDownWraps", Box::AmPm, {"v"}, true, "PM 1"},
                      EntryCase{"AmPmArrowKeysAlternate", Box::AmPm, {"k^", "k^", "kv"}, true, "PM 1"},
                      EntryCase{"AmPmKeyA", Box::AmPm, {"+pA"}, false, "AM 0"},
                      EntryCase{"AmPmKeyP", Box::AmPm, {"+xm7 \bP"}, true, "PM 1"}),
    ::testing::PrintToStringParamName());

// ---- The ALARM button

struct ButtonCase {
    const char* name;
    IniLines settings;  // over a wave file as the source
    bool playing;       // a sound started by hand
    bool armedAfter;
};
std::ostream& operator<<(std::ostream& out, const ButtonCase& c) { return out << c.name; }

class AlarmButtonTest : public MainWindowTest, public ::testing::WithParamInterface<ButtonCase> {};

// Arming needs a source and an alarm kind, nothing else, and leaves any sound alone;
// without them it warns. Disarming stops a playing sound.
TEST_P(AlarmButtonTest, ArmsWarnsOrDisarms) {
    const ButtonCase& c = GetParam();
    startWithWave(c.settings);
    if (c.playing) pressTransport(mci::btPlay);
    const bool warns = !AlarmOn && !c.armedAfter;
    device.log.clear();
    click(form().OnOffBtn);
    expectAlarm(c.armedAfter, c.armedAfter ? "Tolvane @12:00AM" : "Tolvane Off");
    EXPECT_EQ(device.log, c.playing && !c.armedAfter ? Texts{"MCI_STOP"} : Texts{});  // stopped, not closed
    const fakes::BoxRecord warning{
        "You have not selected an output file or device on the Media Type tab or did not "
        "turn on a message or alarm on the Set Alarm tab.",
        "WARNING!", 0x30};
    EXPECT_EQ(services.boxes, warns ? Boxes{warning} : Boxes{});
}

INSTANTIATE_TEST_SUITE_P(
    Alarm, AlarmButtonTest,
    ::testing::Values(ButtonCase{"NoSource", {{"LastType", ""}, {"MsgChecked", "1"}}, false, false},
                      ButtonCase{"NeitherKind", {{"AudioChecked", "0"}}, false, false},
                      ButtonCase{"CdWithAudio", {{"LastType", "CD"}}, true, true},
                      ButtonCase{"MessageOnly", {{"AudioChecked", "0"}, {"MsgChecked", "1"}}, false, true},
                      ButtonCase{"MidiWithAudio", {{"LastType", "Midi"}, {"LastFileName", kMidi}}, false, true},
                      ButtonCase{"DisarmWhilePlaying", {{"AlarmOn", "1"}}, true, false}),
    ::testing::PrintToStringParamName());

// ---- The clock tick

using ClockAlarmTest = MainWindowTest;

// A sound that ends is wound back and started again at the next tick until the minute
// is over; the last start plays on past it.
TEST_F(ClockAlarmTest, ShortSoundRepeatsUntilTheMinuteChanges) {
    startArmed();
    device.soundMs = 6500;
    runTo(7, 6, 1);
    EXPECT_EQ(device.plays, (Texts{"7:05:00 AM", "7:05:07 AM", "7:05:14 AM", "7:05:21 AM", "7:05:28 AM", "7:05:35 AM",
                                   "7:05:42 AM", "7:05:49 AM", "7:05:56 AM"}));
    EXPECT_EQ(device.count(mci::MCI_SEEK), 8u);
    EXPECT_EQ(device.mode, mci::MCI_MODE_PLAY);
}

// The sound first, then the reminder, then Auto Off: disarmed, the sound left playing.
// The reminder stays open for three seconds and the ticks inside it run in full: the
// first restarts the short sound and disarms; Message was unticked before the box
// opened, so none shows a second one.
TEST_F(ClockAlarmTest, ReminderShowsOnceAndAutoOffHoldsAcrossTheTicksInsideIt) {
    startArmed({{"MsgChecked", "1"}});
    device.soundMs = 500;
    click(form().RepeatCheckBox);
    services.onMessageBox = [&](const fakes::BoxRecord&) { loop.advance(3s); };
    runTo(7, 5, 5);
    EXPECT_EQ(device.plays, (Texts{"7:05:00 AM", "7:05:01 AM"}));
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
    EXPECT_EQ(services.boxes, (Boxes{{"Tolvane set for 7:05AM. ", "REMINDER!", 0x1030}}));
    EXPECT_FALSE(form().MsgCheckBox->checked());
    expectAlarm(false, "Tolvane Off");
}

TEST_F(ClockAlarmTest, ReminderShowsItsOwnTextAndNoSoundWithoutAudio) {
    startArmed({{"MsgChecked", "1"}, {"MessageText", "Feed the cat"}, {"AudioChecked", "0"}});
    runTo(7, 5, 1);
    EXPECT_EQ(services.boxes, (Boxes{{"Feed the cat", "REMINDER!", 0x1030}}));
    EXPECT_TRUE(device.plays.empty());
}

// Each tick, armed or not, reads the track in the track format; track 0 means no disc.
TEST_F(ClockAlarmTest, EveryTickShowsTheCdTrackOrTheMissingDisc) {
    start({{"LastType", "CD"}});
    Texts shown;
    for (int track : {3, 0}) {
        device.state.position = mci::MCI_MAKE_TMSF(track, 1, 2, 0);
        device.state.timeFormat = mci::MCI_FORMAT_MILLISECONDS;
        loop.advance(1s);
        shown.push_back(mediaShows() + (device.state.timeFormat == mci::MCI_FORMAT_TMSF ? " in tracks" : ""));
    }
    EXPECT_EQ(shown, (Texts{"Music CD [left] Track: 3 in tracks", "No CD in Drive [left] Track: 0 in tracks"}));
}

// Due on every tick of the alarm minute and only then: hour, minute and designator must
// all match, the hour in one digit or two. The display follows the locale format,
// here a 24-hour clock; the alarm compares the same reading written the United States
// way, so it fires under any locale settings.
TEST_F(ClockAlarmTest, DueOnEveryTickOfTheAlarmMinuteOnly) {
    locale.settings = {false, true, false, "", "", "."};
    startArmed({{"AlarmAMPM", "1"}});
    device.simulate = false;  // never reports playing: every due tick plays
    runTo(7, 6, 0);
    EXPECT_EQ(form().TimePanel->caption(), "07.06.00");
    EXPECT_TRUE(device.plays.empty());
    user([this] { form().AlarmHourEdit->setText("10"); });
    user([this] { form().AlarmAMPMEdit->type('a'); });
    runTo(10, 7, 0);
    EXPECT_EQ(device.plays.size(), 60u);
    EXPECT_EQ(device.plays.front() + " " + device.plays.back(), "10.05.00 10.05.59");
}

// ---- When the sound cannot play

constexpr mci::MCIERROR kDamaged = mci::MCIERR_INVALID_FILE;
constexpr mci::MCIERROR kNoOutput = mci::MCIERR_CUSTOM_DRIVER_BASE + 1;

enum class Fault { PlayRefused, NoOutput, FailureNotice };

struct FallbackCase {
    const char* name;
    Fault fault;
    bool autoOff;
    std::string report;  // after "The alarm sound could not be played (<wave file>): "
    std::size_t toneStarts;
    int hour = 7;  // the alarm time on the 24-hour clock
    int minute = 5;
};
std::ostream& operator<<(std::ostream& out, const FallbackCase& c) { return out << c.name; }

// "7:05AM", as the title and the reminder write an alarm time.
std::string alarmText(int hour, int minute) {
    return std::to_string((hour + 11) % 12 + 1) + (minute < 10 ? ":0" : ":") + std::to_string(minute) +
           (hour < 12 ? "AM" : "PM");
}

// Started a minute before the alarm of the case, or before 7:05 AM.
class SoundFallbackTest : public MainWindowTest, public ::testing::WithParamInterface<FallbackCase> {
protected:
    SoundFallbackTest() : MainWindowTest(minuteBefore()) {
        device.errorTexts[kDamaged] = "The file is empty or damaged";
        device.errorTexts[kNoOutput] = "No audio output device is available";
    }
    // Arms the alarm of the case through the settings file.
    void startArmedAt(const FallbackCase& c, IniLines more) {
        more.insert(more.end(), {{"AlarmHour", std::to_string((c.hour + 11) % 12 + 1)},
                                 {"AlarmMin", std::to_string(c.minute)},
                                 {"AlarmAMPM", c.hour < 12 ? "0" : "1"}});
        startArmed(more);
    }

private:
    static sys::LocalTime minuteBefore() {
        if (!testing::UnitTest::GetInstance()->current_test_info()->value_param()) return {2026, 12, 7, 7, 4, 0, 500};
        const int minuteOfDay = (GetParam().hour * 60 + GetParam().minute + 1439) % 1440;
        return {2026, 12, 7, minuteOfDay / 60, minuteOfDay % 60, 0, 500};
    }
};

// The built-in tone rings through the rest of the minute in place of a sound that
// cannot play, and the user is told why once, after the tick, while the reminder and
// Auto Off go on as usual. Without any audio output the play is tried again each
// second, still told once. A later firing that fails again is told again; the exit
// silences the tone.
TEST_P(SoundFallbackTest, ToneRingsTheMinuteAndTheFailureIsToldOnce) {
    const FallbackCase& c = GetParam();
    const std::string at = alarmText(c.hour, c.minute);
    startArmedAt(c, {{"MsgChecked", "1"}});
    if (c.autoOff) click(form().RepeatCheckBox);
    const mci::MCIERROR refusal = c.fault == Fault::NoOutput ? kNoOutput : kDamaged;
    if (c.fault == Fault::NoOutput) tone.failure = "No audio output device is available";
    device.beforeRequest = [&](mci::UINT message) {
        if (message != mci::MCI_PLAY) return;
        if (c.fault == Fault::FailureNotice) {
            loop.queue().post([&] { device.mode = mci::MCI_MODE_STOP; });
            loop.queue().post([&] { device.postNotice(device.requests(mci::MCI_PLAY).back().callback, 0x08); });
        } else {
            device.failNext(mci::MCI_PLAY, refusal);
        }
    };
    const std::string report = "The alarm sound could not be played (" + kWave + "): " + c.report + ".";
    runTo(c.hour, c.minute, 59);
    EXPECT_EQ(services.boxes, (Boxes{{"Tolvane set for " + at + ". ", "REMINDER!", 0x1030},
                                     {report, c.autoOff ? "Tolvane Off" : "Tolvane @" + at, 0x10}}));
    EXPECT_EQ(tone.log, Texts(c.toneStarts, "start"));
    EXPECT_EQ(tone.sounding(), c.fault != Fault::NoOutput);
    runTo(c.hour, c.minute + 1, 0);
    EXPECT_FALSE(tone.sounding());

    services.boxes.clear();
    for (int i = 0; i < 2; ++i) user([this] { form().AlarmMinuteUpDown->step(ui::UpDownButton::Up); });
    if (!AlarmOn) click(form().OnOffBtn);
    runTo(c.hour, c.minute + 2, 1);
    EXPECT_EQ(services.boxes,
              (Boxes{{report, c.autoOff ? "Tolvane Off" : "Tolvane @" + alarmText(c.hour, c.minute + 2), 0x10}}));
    shutdown();
    EXPECT_FALSE(tone.sounding()) << "the tone rings on after the exit";
}

INSTANTIATE_TEST_SUITE_P(
    Alarm, SoundFallbackTest,
    ::testing::Values(
        FallbackCase{"PlayRefused", Fault::PlayRefused, true,
                     "the file is empty or damaged. The built-in alarm tone is sounding instead", 1},
        FallbackCase{"FailureNotice", Fault::FailureNotice, false,
                     "the media device stopped playing because of an error. The built-in alarm tone is sounding "
                     "instead",
                     1},
        FallbackCase{"NoOutput", Fault::NoOutput, false,
                     "no audio output device is available. The built-in alarm tone cannot sound either", 60},
        FallbackCase{"AtMidnight", Fault::PlayRefused, false,
                     "the file is empty or damaged. The built-in alarm tone is sounding instead", 1, 0, 0}),
    ::testing::PrintToStringParamName());

// The ALARM button silences the tone: by disarming, or, once Auto Off has disarmed,
// instead of arming again. A Play by hand that the device refuses is reported at once.
TEST_F(SoundFallbackTest, AlarmButtonSilencesTheToneAndAFailedPlayByHandIsReported) {
    startArmed();
    device.beforeRequest = [&](mci::UINT message) {
        if (message == mci::MCI_PLAY) device.failNext(mci::MCI_PLAY, kDamaged);
    };
    runTo(7, 5, 0);
    click(form().OnOffBtn);
    EXPECT_FALSE(tone.sounding());
    click(form().OnOffBtn);
    click(form().RepeatCheckBox);
    runTo(7, 5, 1);
    click(form().OnOffBtn);
    expectAlarm(false, "Tolvane Off");
    EXPECT_EQ(tone.log, (Texts{"start", "stop", "start", "stop"}));
    services.boxes.clear();
    pressTransport(mci::btPlay);
    EXPECT_EQ(
        services.boxes,
        (Boxes{{"The sound could not be played (" + kWave + "): the file is empty or damaged.", "Tolvane Off", 0x10}}));
}

// The desktop is asked to stay awake while the alarm is armed, with the alarm time as
// the reason and, on the 24-hour clock, as the time to wake at; told of a new time, and
// let go on disarm, by Auto Off and at exit.
TEST_F(ClockAlarmTest, ComputerIsKeptAwakeOnlyWhileArmed) {
    startArmed();
    click(form().RepeatCheckBox);
    runTo(7, 5, 0);
    EXPECT_EQ(sleep.log, (Texts{"inhibit: Alarm set for 7:05AM @7:5", "release"})) << "Auto Off lets go too";
    sleep.log.clear();
    click(form().OnOffBtn);
    user([this] { form().AlarmHourEdit->setText("12"); });
    click(form().OnOffBtn);
    user([this] { form().AlarmAMPMEdit->setText("PM"); });
    click(form().OnOffBtn);
    shutdown();
    EXPECT_EQ(sleep.log, (Texts{"inhibit: Alarm set for 7:05AM @7:5", "inhibit: Alarm set for 12:05AM @0:5", "release",
                                "inhibit: Alarm set for 12:05PM @12:5", "release"}));
}

// ---- Ticks far apart

// What a gap between two ticks looks like from the computer's side; ClockWhileOff jumps
// the clock with the alarm switched off first.
enum class Gap { Clock, Zone, ClockWhileOff };

struct GapCase {
    const char* name;
    sys::LocalTime start;  // the last tick before the gap comes a second after this
    int alarmHour, alarmMinute;
    Gap gap;
    std::chrono::seconds by;  // the clock's jump, or the zone's shift
    bool autoOff;
    std::string playsAt;  // the display when the sound starts; empty: no sound
    std::string box;      // the one box told; empty: none
    std::string title;    // afterwards
};
std::ostream& operator<<(std::ostream& out, const GapCase& c) { return out << c.name; }

class PassedAlarmTest : public MainWindowTest, public ::testing::WithParamInterface<GapCase> {
protected:
    PassedAlarmTest() : MainWindowTest(GetParam().start) {}
};

const std::string kWhy = "the computer was asleep or the clock was changed";
std::string rangLate(const std::string& alarm, const std::string& at) {
    return "The alarm set for " + alarm + " rang late, at " + at + ": " + kWhy + ".";
}
std::string missed(const std::string& alarm, const std::string& at) {
    return "The alarm set for " + alarm + " was missed: " + kWhy + ", and it was " + at +
           " when Tolvane could ring it.";
}

// A minute passed over between two ticks (the computer slept, the clock was set
// forward, the spring-forward gap) rings at once when less than half an hour late, and
// says so; later, it is told as missed and Auto Off applies. A clock set back, or one
// that lands inside the minute, rings as it always did.
TEST_P(PassedAlarmTest, RingsLateOrIsToldMissed) {
    const GapCase& c = GetParam();
    startArmed({{"AlarmHour", std::to_string((c.alarmHour + 11) % 12 + 1)},
                {"AlarmMin", std::to_string(c.alarmMinute)},
                {"AlarmAMPM", c.alarmHour < 12 ? "0" : "1"}});
    if (c.autoOff) click(form().RepeatCheckBox);
    device.soundMs = 5000;
    loop.advance(1s);
    ASSERT_TRUE(device.plays.empty());
    if (c.gap == Gap::ClockWhileOff) click(form().OnOffBtn);
    if (c.gap == Gap::Zone) {
        loop.shiftZone(static_cast<int>(c.by.count() / 60));
    } else {
        loop.jumpClock(c.by);
    }
    loop.advance(1s);
    EXPECT_EQ(device.plays, (c.playsAt.empty() ? Texts{} : Texts{c.playsAt}));
    EXPECT_EQ(services.boxes, (c.box.empty() ? Boxes{} : Boxes{{c.box, "Tolvane", 0x30}}));
    EXPECT_EQ(app.title(), c.title);
    // Told once: the rest of the minute rings on (a short sound again and again) without
    // a second word, unless Auto Off ended it or the minute was at its last second.
    loop.advance(30s);
    EXPECT_EQ(services.boxes.size(), c.box.empty() ? 0u : 1u);
    const bool ringsOn = !c.playsAt.empty() && !c.autoOff && c.playsAt.find(":59 ") == std::string::npos;
    EXPECT_EQ(device.plays.size() > 1, ringsOn) << device.plays.size() << " plays";
}

// 7:00:00 on the day of the tests, with the UTC offset of a zone one hour ahead.
constexpr sys::LocalTime at(int hour, int minute, int second, int day = 7) {
    return {2026, 12, day, hour, minute, second, 500, 60};
}

INSTANTIATE_TEST_SUITE_P(
    Alarm, PassedAlarmTest,
    ::testing::Values(
        GapCase{"AsleepThroughTheMinute", at(7, 0, 0), 7, 5, Gap::Clock, 16min, false, "7:16:02 AM",
                rangLate("7:05AM", "7:16AM"), "Tolvane @7:05AM"},
        GapCase{"LateWithAutoOff", at(7, 0, 0), 7, 5, Gap::Clock, 16min, true, "7:16:02 AM",
                rangLate("7:05AM", "7:16AM"), "Tolvane Off"},
        GapCase{"AcrossMidnight", at(23, 50, 0), 0, 5, Gap::Clock, 20min, false, "12:10:02 AM",
                rangLate("12:05AM", "12:10AM"), "Tolvane @12:05AM"},
        // The local clock skips 2:00 to 3:00, a second after the last tick.
        GapCase{"SpringForwardGap", at(1, 59, 58), 2, 30, Gap::Zone, 60min, false, "3:00:00 AM",
                rangLate("2:30AM", "3:00AM"), "Tolvane @2:30AM"},
        // A tick held up over the whole minute: 7:04:59, then 7:06:00.
        GapCase{"StalledOverTheMinute", at(7, 4, 58), 7, 5, Gap::Clock, 60s, false, "7:06:00 AM",
                rangLate("7:05AM", "7:06AM"), "Tolvane @7:05AM"},
        GapCase{"LateByJustUnderHalfAnHour", at(7, 0, 0), 7, 5, Gap::Clock, 2097s, false, "7:34:59 AM",
                rangLate("7:05AM", "7:34AM"), "Tolvane @7:05AM"},
        GapCase{"LateByHalfAnHour", at(7, 0, 0), 7, 5, Gap::Clock, 2098s, false, "", missed("7:05AM", "7:35AM"),
                "Tolvane @7:05AM"},
        GapCase{"MissedWithAutoOff", at(7, 0, 0), 7, 5, Gap::Clock, 70min, true, "",
                missed("7:05AM", "8:10AM") + " Auto Off has switched the alarm off.", "Tolvane Off"},
        GapCase{"IntoTheMinute", at(7, 0, 0), 7, 5, Gap::Clock, 5min, false, "7:05:02 AM", "", "Tolvane @7:05AM"},
        GapCase{"ClockSetBack", at(7, 10, 0), 7, 5, Gap::Clock, -10min, false, "", "", "Tolvane @7:05AM"},
        GapCase{"SwitchedOff", at(7, 0, 0), 7, 5, Gap::ClockWhileOff, 16min, false, "", "", "Tolvane Off"}),
    ::testing::PrintToStringParamName());

// A muted or too quiet output is turned up when the alarm starts to sound, said without
// a box, and put back when the minute is over or the program ends; without Audio it is
// left alone. An output that cannot be changed is said too.
TEST_F(ClockAlarmTest, OutputIsTurnedUpForTheAlarmMinuteOnly) {
    startArmed();
    volume.answer.raisedFrom = "muted";
    runTo(7, 5, 30);
    EXPECT_EQ(volume.log, (Texts{"raise"}));
    EXPECT_EQ(services.notices, (Texts{"The sound output was muted; it was turned up for the alarm"}));
    runTo(7, 6, 0);
    EXPECT_EQ(volume.log, (Texts{"raise", "restore"}));

    volume.answer = {"", "No sound server answered."};
    services.notices.clear();
    user([this] { form().AlarmMinuteEdit->setText("07"); });
    runTo(7, 7, 1);
    EXPECT_EQ(services.notices, (Texts{"The alarm may not be heard: no sound server answered"}));
    shutdown();
    EXPECT_EQ(volume.log, (Texts{"raise", "restore", "raise", "restore"})) << "the exit puts the output back";
}

TEST_F(ClockAlarmTest, NoSoundNoChangeToTheOutput) {
    startArmed({{"AudioChecked", "0"}, {"MsgChecked", "1"}});
    runTo(7, 6, 0);
    EXPECT_TRUE(volume.log.empty());
}

// The program starts with the next session while an armed alarm will be saved: it
// follows arming, Auto Off and the Save Settings mark, and stays at exit. A failure is
// said once per run.
TEST_F(ClockAlarmTest, StartsWithTheSessionWhileArmedAndSaved) {
    startArmed();
    EXPECT_EQ(session.log, (Texts{"on"}));
    click(form().SaveSettingsMnu);
    click(form().SaveSettingsMnu);
    click(form().OnOffBtn);
    EXPECT_EQ(session.log, (Texts{"on", "off", "on", "off"}));
    session.failure = "The autostart folder is read-only.";
    click(form().OnOffBtn);
    click(form().RepeatCheckBox);
    runTo(7, 5, 0);
    click(form().OnOffBtn);
    EXPECT_EQ(session.log, (Texts{"on", "off", "on", "off", "on", "off", "on"})) << "Auto Off lets go too";
    EXPECT_EQ(services.notices,
              (Texts{"Tolvane cannot arrange to start again after a restart, so the alarm set for 7:05AM will not "
                     "ring if you log out first: the autostart folder is read-only"}));
    session.failure.clear();
    shutdown();
    EXPECT_EQ(session.log.back(), "on") << "an armed alarm is to come back with the next session";
}

}  // namespace
}  // namespace formtest
