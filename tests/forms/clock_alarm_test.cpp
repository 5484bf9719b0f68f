// The alarm time entry, the ALARM button and the one-second clock tick.
#include <tuple>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

// ---- Alarm time entry

enum class Box { Hour, Minute, AmPm };

// Inputs: "=text" pastes, "#k" types k over the selected text, "+keys" types key by
// key, "~" moves the mouse over the box, "<" leaves it, "^" and "v" click its spin buttons.
struct EntryCase {
    const char* name;
    Box box;
    Texts inputs;
    std::string text;  // what the box shows afterwards
    int position;      // where its spin buttons stand
};
std::ostream& operator<<(std::ostream& out, const EntryCase& c) { return out << c.name; }

const EntryCase kEntries[] = {
    {"Hour13Gives12", Box::Hour, {"#1", "+3"}, "12", 12},
    {"Hour0Gives1", Box::Hour, {"#0"}, "1", 1},
    {"Hour07Gives7", Box::Hour, {"=07"}, "7", 7},
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
    const std::size_t titles = services.titles.size();
    TMainForm& f = form();
    ui::Edit* e = c.box == Box::Hour ? f.AlarmHourEdit : c.box == Box::Minute ? f.AlarmMinuteEdit : f.AlarmAMPMEdit;
    ui::UpDown* s = c.box == Box::Hour ? f.AlarmHourUpDown : c.box == Box::Minute ? f.AlarmMinuteUpDown : f.AMPMUpDown;
    for (const std::string& in : c.inputs) {
        user([&] {
            const std::string rest = in.substr(1);
            if (in[0] == '=') e->setText(rest);
            if (in[0] == '#' && e->keyPress(rest[0])) e->setText(rest);
            if (in[0] == '+') for (char k : rest) e->type(k);
            if (in[0] == '~') e->mouseMove({3, 4});
            if (in[0] == '<') e->focusChanged(true);
            if (in[0] == '<') e->focusChanged(false);
            if (in[0] == '^' || in[0] == 'v') s->step(in[0] == '^' ? ui::UpDownButton::Up : ui::UpDownButton::Down);
        });
    }
    EXPECT_EQ(e->text(), c.text);
    EXPECT_EQ(s->position(), c.position);
    EXPECT_TRUE(services.boxes.empty());
    if (armed) {
        EXPECT_EQ(title(), "Tolvane @" + f.AlarmHourEdit->text() + ":" + f.AlarmMinuteEdit->text() + f.AlarmAMPMEdit->text());
    } else {
        EXPECT_EQ(services.titles.size(), titles);
    }
}

INSTANTIATE_TEST_SUITE_P(Entry, AlarmEntryTest, ::testing::Combine(::testing::ValuesIn(kEntries), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_armed" : "");
                         });

using ClockAlarmTest = MainWindowTest;

TEST_F(ClockAlarmTest, EmptiedHourIsReportedAndNeverDue) {
    startArmedAt(7, 5, 0);
    user([this] { form().AlarmHourEdit->setText(""); });
    EXPECT_EQ(services.boxes, (Boxes{{"'' is not a valid integer value.", "Tolvane @7:05AM", 0x10}}));
    EXPECT_EQ(form().AlarmHourUpDown->position(), 7);
    runTo(7, 5, 30);
    EXPECT_TRUE(device.plays.empty());
}

// ---- The ALARM button

struct ArmCase {
    const char* name;
    IniLines settings;
    bool arms;
};
std::ostream& operator<<(std::ostream& out, const ArmCase& c) { return out << c.name; }

class ArmTest : public MainWindowTest, public ::testing::WithParamInterface<ArmCase> {};

// Arming needs a source and an alarm kind; nothing else is looked at.
TEST_P(ArmTest, ArmsOrWarns) {
    IniLines lines = GetParam().settings;
    lines.insert(lines.end(), {{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    start(lines);
    click(form().OnOffBtn);
    expectAlarm(GetParam().arms, GetParam().arms ? "Tolvane @7:05AM" : "Tolvane Off");
    const fakes::BoxRecord warning{"You have not selected an output file or device on the Media Type tab or did not "
                                   "turn on a message or alarm on the Set Alarm tab.", "WARNING!", 0x30};
    EXPECT_EQ(services.boxes, GetParam().arms ? Boxes{} : Boxes{warning});
}

INSTANTIATE_TEST_SUITE_P(
    Arming, ArmTest,
    ::testing::Values(ArmCase{"NoSource", {{"MsgChecked", "1"}}, false},
                      ArmCase{"NeitherKind", {{"LastType", "Wave"}, {"AudioChecked", "0"}}, false},
                      ArmCase{"CdWithAudio", {{"LastType", "CD"}}, true},
                      ArmCase{"WaveWithMessageOnly", {{"LastType", "Wave"}, {"AudioChecked", "0"}, {"MsgChecked", "1"}}, true},
                      ArmCase{"MidiWithAudio", {{"LastType", "Midi"}}, true}),
    ::testing::PrintToStringParamName());

class DisarmTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DisarmTest, StopsAPlayingSoundAndShowsTheAlarmOff) {
    startArmedAt(7, 5, 0);
    if (GetParam()) pressTransport(mci::btPlay);
    device.log.clear();
    click(form().OnOffBtn);
    EXPECT_EQ(device.log, GetParam() ? Texts{"MCI_STOP"} : Texts{});  // stopped, not closed
    expectAlarm(false, "Tolvane Off");
}

INSTANTIATE_TEST_SUITE_P(Arming, DisarmTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WhilePlaying" : "WhileSilent"; });

// ---- The clock tick

// A sound that ends is wound back and started again at the next tick until the minute
// is over; the last start plays on past it.
TEST_F(ClockAlarmTest, ShortSoundRepeatsUntilTheMinuteChanges) {
    startArmedAt(7, 5, 0);
    device.soundMs = 6500;
    runTo(7, 6, 1);
    EXPECT_EQ(device.plays, (Texts{"7:05:00 AM", "7:05:07 AM", "7:05:14 AM", "7:05:21 AM", "7:05:28 AM",
                                   "7:05:35 AM", "7:05:42 AM", "7:05:49 AM", "7:05:56 AM"}));
    EXPECT_EQ(device.count(mci::MCI_SEEK), 8u);
    EXPECT_TRUE(device.playing());
    EXPECT_TRUE(AlarmOn);
}

struct ReminderCase {
    const char* name;
    IniLines settings;
    const char* text;
    std::size_t playsBeforeIt;
};
std::ostream& operator<<(std::ostream& out, const ReminderCase& c) { return out << c.name; }

class ReminderTest : public MainWindowTest, public ::testing::WithParamInterface<ReminderCase> {};

TEST_P(ReminderTest, ShowsOnceAfterTheSoundAndUnticksMessage) {
    startArmedAt(7, 5, 0, GetParam().settings);
    std::size_t playsBeforeIt = 99;
    services.onMessageBox = [&](const fakes::BoxRecord&) { playsBeforeIt = device.plays.size(); };
    runTo(7, 6, 1);
    EXPECT_EQ(services.boxes, (Boxes{{GetParam().text, "REMINDER!", 0x1030}}));
    EXPECT_EQ(playsBeforeIt, GetParam().playsBeforeIt);
    EXPECT_FALSE(form().MsgCheckBox->checked());
    EXPECT_TRUE(AlarmOn);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, ReminderTest,
    ::testing::Values(ReminderCase{"EmptyText", {{"MsgChecked", "1"}, {"AudioChecked", "0"}}, "Tolvane set for 7:05AM. ", 0},
                      ReminderCase{"OwnText", {{"MsgChecked", "1"}, {"MessageText", "Feed the cat"}}, "Feed the cat", 1}),
    ::testing::PrintToStringParamName());

// Auto Off: one start, then disarmed, the sound left playing. Here the reminder stays
// open for three seconds and the ticks inside it run in full: the first restarts the
// short sound and disarms, none shows a second reminder.
TEST_F(ClockAlarmTest, TicksInsideTheReminderShowNoSecondOneAndAutoOffHolds) {
    startArmedAt(7, 5, 0, {{"MsgChecked", "1"}});
    device.soundMs = 500;
    click(form().RepeatCheckBox);
    services.onMessageBox = [&](const fakes::BoxRecord&) { loop.advance(3s); };
    runTo(7, 5, 5);
    EXPECT_EQ(device.plays, (Texts{"7:05:00 AM", "7:05:01 AM"}));
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
    EXPECT_EQ(services.boxes.size(), 1u);
    expectAlarm(false, "Tolvane Off");
}

// The display follows the regional format; the alarm compares the same reading written
// the United States way, so it fires under any regional settings.
TEST_F(ClockAlarmTest, DisplayIsRegionalAndTheAlarmStillFires) {
    locale.settings = {false, true, false, "", "", "."};
    startArmedAt(7, 5, 0);
    runTo(7, 4, 59);
    EXPECT_EQ(display(), "07.04.59");
    EXPECT_TRUE(device.plays.empty());
    runTo(7, 5, 0);
    EXPECT_EQ(device.plays, Texts{"07.05.00"});
}

class CdTrackTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

// Armed or not, each tick reads the track in the track format; track 0 means no disc,
// and the panel says so until a source is chosen again.
TEST_P(CdTrackTest, EveryTickShowsTheTrackOrTheMissingDisc) {
    start({{"LastType", "CD"}, {"AlarmHour", "9"}, {"AlarmOn", GetParam() ? "1" : "0"}});
    ASSERT_EQ(AlarmOn, GetParam());
    const std::tuple<mci::DWORD, int, const char*, const char*> steps[] = {
        {mci::MCI_MAKE_TMSF(3, 1, 2, 0), 1, "3", "Music CD"},
        {mci::MCI_MAKE_TMSF(0, 1, 2, 0), 2, "0", "No CD in Drive"},
        {mci::MCI_MAKE_TMSF(2, 0, 10, 0), 3, "2", "No CD in Drive"}};
    for (const auto& [position, second, track, panel] : steps) {
        device.state.position = position;
        device.state.timeFormat = mci::MCI_FORMAT_MILLISECONDS;
        runTo(7, 4, second);
        EXPECT_EQ(device.state.timeFormat, mci::MCI_FORMAT_TMSF);
        EXPECT_EQ(form().TimeIndexLabel->caption(), track);
        EXPECT_EQ(form().FilePanel->caption(), panel);
    }
}

INSTANTIATE_TEST_SUITE_P(Clock, CdTrackTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Armed" : "Disarmed"; });

struct DueCase {
    int hour, minute, ampm;      // the alarm as entered
    int clockHour, clockMinute;  // the minute of the day after the one the run starts in
    std::size_t plays;           // one a second within the alarm minute, or none
};
std::ostream& operator<<(std::ostream& out, const DueCase& c) {
    return out << c.hour << "_" << c.minute << (c.ampm ? "PM" : "AM") << "_at_" << c.clockHour << "h" << c.clockMinute;
}

class AlarmMinuteTest : public MainWindowTest, public ::testing::WithParamInterface<DueCase> {
protected:
    AlarmMinuteTest() : MainWindowTest(minuteBefore(GetParam().clockHour * 60 + GetParam().clockMinute)) {}
    static ui::LocalTime minuteBefore(int m) { return {2026, 12, m ? 7 : 6, (m + 1439) % 1440 / 60, (m + 1439) % 60}; }
};

// Three minutes are run through: the alarm is due on every tick of its own minute only.
TEST_P(AlarmMinuteTest, DueOnEveryTickOfTheAlarmMinute) {
    startArmedAt(GetParam().hour, GetParam().minute, GetParam().ampm);
    device.simulate = false;  // never reports playing
    loop.advance(180s);
    EXPECT_EQ(device.plays.size(), GetParam().plays);
}

INSTANTIATE_TEST_SUITE_P(Clock, AlarmMinuteTest,
                         ::testing::Values(DueCase{10, 5, 0, 10, 5, 60}, DueCase{12, 0, 0, 0, 0, 60},
                                           DueCase{1, 0, 1, 13, 0, 60}, DueCase{12, 30, 0, 12, 30, 0},
                                           DueCase{7, 5, 1, 7, 5, 0}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace formtest
