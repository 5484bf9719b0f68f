// The alarm time entry, the ALARM button and the one-second clock tick.
#include <tuple>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

// ---- Alarm time entry

enum class Box { Hour, Minute, AmPm };

// Inputs: "=text" pastes, "#k" types k over the selection, "+keys" types keys, "~" moves
// the mouse over the box, "<" leaves it, "^" and "v" click its spin buttons.
struct EntryCase {
    const char* name;
    Box box;
    Texts inputs;
    std::string text;  // what the box shows afterwards
    int position;      // where its spin buttons stand
};
std::ostream& operator<<(std::ostream& out, const EntryCase& c) { return out << c.name; }

const EntryCase kEntries[] = {
    {"Hour0Gives1", Box::Hour, {"#0"}, "1", 1},
    {"HourTakesDigitsOnly", Box::Hour, {"#9", "+aZ .-\b\t"}, "9", 9},
    {"HourSpinUpFrom12WrapsTo1", Box::Hour, {"=12", "^"}, "1", 1},
    {"Minute60Gives59", Box::Minute, {"#6", "+0"}, "59", 59},
    {"MinuteTakesDigitsOnly", Box::Minute, {"+x ;\b"}, "05", 5},
    {"MinuteOneDigitStays", Box::Minute, {"#9"}, "9", 9},
    {"MinuteOneDigitMouseMove", Box::Minute, {"#9", "~"}, "09", 9},
    {"MinuteOneDigitLeave", Box::Minute, {"#9", "<"}, "09", 9},
    {"MinuteSpinUpFrom59WrapsTo00", Box::Minute, {"=59", "^"}, "00", 0},
    {"AmPmSpinDownWraps", Box::AmPm, {"v"}, "PM", 1},
    {"AmPmKeyA", Box::AmPm, {"+pA"}, "AM", 0},
    {"AmPmKeyP", Box::AmPm, {"+xm7 \bP"}, "PM", 1},
};

class AlarmEntryTest : public MainWindowTest, public ::testing::WithParamInterface<std::tuple<EntryCase, bool>> {};

// From 7:05 AM. Armed, the title shows every change; disarmed, it is left alone.
TEST_P(AlarmEntryTest, BoxEndsWithAValidTextAndItsSpinPosition) {
    const auto& [c, armed] = GetParam();
    startWithWave({{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    if (armed) click(form().OnOffBtn);
    TMainForm& f = form();
    ui::Edit* e = c.box == Box::Hour ? f.AlarmHourEdit : c.box == Box::Minute ? f.AlarmMinuteEdit : f.AlarmAMPMEdit;
    ui::UpDown* s = c.box == Box::Hour ? f.AlarmHourUpDown : c.box == Box::Minute ? f.AlarmMinuteUpDown : f.AMPMUpDown;
    for (const std::string& in : c.inputs) {
        user([&] {
            const std::string rest = in.substr(1);
            if (in[0] == '=') e->setText(rest);
            if (in[0] == '#' && e->keyPress(rest[0])) e->setText(rest);
            if (in[0] == '+')
                for (char k : rest) e->type(k);
            if (in[0] == '~') e->mouseMove({3, 4});
            if (in[0] == '<') e->focusChanged(true);
            if (in[0] == '<') e->focusChanged(false);
            if (in[0] == '^' || in[0] == 'v') s->step(in[0] == '^' ? ui::UpDownButton::Up : ui::UpDownButton::Down);
        });
    }
    EXPECT_EQ(e->text(), c.text);
    EXPECT_EQ(s->position(), c.position);
    const std::string time = f.AlarmHourEdit->text() + ":" + f.AlarmMinuteEdit->text() + f.AlarmAMPMEdit->text();
    EXPECT_EQ(title(), armed ? "Tolvane @" + time : "Tolvane Off");
}

INSTANTIATE_TEST_SUITE_P(Entry, AlarmEntryTest, ::testing::Combine(::testing::ValuesIn(kEntries), ::testing::Bool()),
                         [](const auto& i) {
                             return std::string(std::get<0>(i.param).name) + (std::get<1>(i.param) ? "_armed" : "");
                         });

using ClockAlarmTest = MainWindowTest;

// ---- The ALARM button

struct ButtonCase {
    const char* name;
    IniLines settings;
    bool playing;  // a sound started by hand
    bool armedAfter;
};
std::ostream& operator<<(std::ostream& out, const ButtonCase& c) { return out << c.name; }

class AlarmButtonTest : public MainWindowTest, public ::testing::WithParamInterface<ButtonCase> {};

// Arming needs a source and an alarm kind, nothing else, and leaves any sound alone;
// without them it warns. Disarming stops a playing sound.
TEST_P(AlarmButtonTest, ArmsWarnsOrDisarms) {
    const ButtonCase& c = GetParam();
    start(c.settings);
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
    ::testing::Values(
        ButtonCase{"NoSource", {{"MsgChecked", "1"}}, false, false},
        ButtonCase{"NeitherKind", {{"LastType", "Wave"}, {"LastFileName", kWave}, {"AudioChecked", "0"}}, false, false},
        ButtonCase{"CdWithAudio", {{"LastType", "CD"}}, true, true},
        ButtonCase{"MessageOnly",
                   {{"LastType", "Wave"}, {"LastFileName", kWave}, {"AudioChecked", "0"}, {"MsgChecked", "1"}},
                   false,
                   true},
        ButtonCase{"MidiWithAudio", {{"LastType", "Midi"}, {"LastFileName", kMidi}}, false, true},
        ButtonCase{
            "DisarmWhilePlaying", {{"LastType", "Wave"}, {"LastFileName", kWave}, {"AlarmOn", "1"}}, true, false},
        ButtonCase{"DisarmSilent", {{"LastType", "Wave"}, {"LastFileName", kWave}, {"AlarmOn", "1"}}, false, false}),
    ::testing::PrintToStringParamName());

// ---- The clock tick

// A sound that ends is wound back and started again at the next tick until the minute
// is over; the last start plays on past it.
TEST_F(ClockAlarmTest, ShortSoundRepeatsUntilTheMinuteChanges) {
    startArmedAt(7, 5, 0);
    device.soundMs = 6500;
    runTo(7, 6, 1);
    EXPECT_EQ(device.plays, (Texts{"7:05:00 AM", "7:05:07 AM", "7:05:14 AM", "7:05:21 AM", "7:05:28 AM", "7:05:35 AM",
                                   "7:05:42 AM", "7:05:49 AM", "7:05:56 AM"}));
    EXPECT_EQ(device.count(mci::MCI_SEEK), 8u);
    EXPECT_EQ(device.mode, mci::MCI_MODE_PLAY);  // the last start plays on
}

// The sound first, then the reminder, then Auto Off: disarmed, the sound left playing.
// The reminder stays open for three seconds and the ticks inside it run in full: the
// first restarts the short sound and disarms; Message was unticked before the box
// opened, so none shows a second one.
TEST_F(ClockAlarmTest, ReminderShowsOnceAndAutoOffHoldsAcrossTheTicksInsideIt) {
    startArmedAt(7, 5, 0, {{"MsgChecked", "1"}});
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
    startArmedAt(7, 5, 0, {{"MsgChecked", "1"}, {"MessageText", "Feed the cat"}, {"AudioChecked", "0"}});
    runTo(7, 5, 1);
    EXPECT_EQ(services.boxes, (Boxes{{"Feed the cat", "REMINDER!", 0x1030}}));
    EXPECT_TRUE(device.plays.empty());
}

// Each tick, armed or not, reads the track in the track format; track 0 means no disc,
// and the panel says so until a source is chosen again.
TEST_F(ClockAlarmTest, EveryTickShowsTheCdTrackOrTheMissingDisc) {
    start({{"LastType", "CD"}});
    const std::tuple<mci::DWORD, int, const char*> steps[] = {
        {mci::MCI_MAKE_TMSF(3, 1, 2, 0), 1, "Music CD [left] Track: 3"},
        {mci::MCI_MAKE_TMSF(0, 1, 2, 0), 2, "No CD in Drive [left] Track: 0"},
        {mci::MCI_MAKE_TMSF(2, 0, 10, 0), 3, "No CD in Drive [left] Track: 2"}};  // not written back
    for (const auto& [position, second, shows] : steps) {
        device.state.position = position;
        device.state.timeFormat = mci::MCI_FORMAT_MILLISECONDS;
        runTo(7, 4, second);
        EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_TMSF);
        EXPECT_EQ(mediaShows(), shows);
    }
}

// Due on every tick of the alarm minute and only then: hour, minute and designator must
// all match, the hour in one digit or two. The display follows the regional format,
// here a 24-hour clock; the alarm compares the same reading written the United States
// way, so it fires under any regional settings.
TEST_F(ClockAlarmTest, DueOnEveryTickOfTheAlarmMinuteOnly) {
    locale.settings = {false, true, false, "", "", "."};
    startArmedAt(7, 5, 1);
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

}  // namespace
}  // namespace formtest
