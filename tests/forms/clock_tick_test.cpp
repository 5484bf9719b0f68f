// The one-second clock tick: the display, the alarm minute, the sound, the reminder,
// Auto Off, nested ticks inside boxes, the CD track and the regional formats.
#include <array>
#include <tuple>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

std::vector<std::string> expectedStarts(int first, int every, int last) {
    std::vector<std::string> out;
    for (int s = first; s <= last; s += every) out.push_back("7:05:" + std::string(s < 10 ? "0" : "") + std::to_string(s) + " AM");
    return out;
}

class ClockTickTest : public MainWindowTest {};

class OffSecondStartTest : public MainWindowTest {
protected:
    OffSecondStartTest() : MainWindowTest({2026, 12, 7, 7, 4, 0, 700}) {}
};

TEST_F(OffSecondStartTest, TicksComeJustAfterEachWholeSecondOfTheWallClock) {
    start();
    EXPECT_EQ(display(), "");
    loop.advance(301ms);
    EXPECT_EQ(display(), "");
    loop.advance(1ms);  // 7:04:01.002
    EXPECT_EQ(display(), "7:04:01 AM");
    loop.advance(999ms);
    EXPECT_EQ(display(), "7:04:01 AM");
    loop.advance(1ms);
    EXPECT_EQ(display(), "7:04:02 AM");
}

// ---- A whole alarm minute

TEST_F(ClockTickTest, ShortSoundRestartsAfterEachEndUntilTheMinuteChanges) {
    startArmedAt(7, 5, 0, 3000);
    runTo(7, 4, 59);
    EXPECT_TRUE(device.plays.empty());
    const auto starts = runWithSound(65s, 3000);
    // Started at the first due tick, and at the first tick after each end.
    EXPECT_EQ(starts, expectedStarts(0, 4, 56));
    EXPECT_TRUE(AlarmOn);
    // Each end was wound back to the start by the notice handler.
    EXPECT_EQ(device.count(mci::MCI_SEEK), starts.size());
    EXPECT_FALSE(device.playing());
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ClockTickTest, LastStartPlaysToItsEndAfterTheMinute) {
    startArmedAt(7, 5, 0, 10'000);
    runTo(7, 4, 59);
    EXPECT_EQ(runWithSound(60s, 10'000), expectedStarts(0, 11, 55));
    runTo(7, 6, 4);
    EXPECT_TRUE(device.playing());  // nothing stops it
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
}

TEST_F(ClockTickTest, StaysArmedAndFiresAgainTheNextDay) {
    startArmedAt(7, 5, 0, 3000);
    device.simulate = false;  // never reports playing: every due tick plays
    runTo(7, 6, 0);
    EXPECT_EQ(device.plays.size(), 60u);
    runTo(7, 5, 0);
    EXPECT_EQ(device.plays.size(), 61u);
    EXPECT_EQ(loop.now().day, 8);
}

TEST_F(ClockTickTest, AutoOffPlaysOnceAndDisarmsWithoutStoppingTheSound) {
    startArmedAt(7, 5, 0, 3000);
    click(form().RepeatCheckBox);
    runTo(7, 4, 59);
    EXPECT_EQ(runWithSound(30s, 3000), expectedStarts(0, 1, 0));
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
}

// ---- The reminder

struct ReminderCase {
    const char* name;
    IniLines settings;
    const char* text;
    std::size_t playsWhileOpen;
};

class ReminderTest : public MainWindowTest, public ::testing::WithParamInterface<ReminderCase> {};

TEST_P(ReminderTest, ShowsOnceAfterTheSoundAndUnticksMessage) {
    startArmedAt(7, 5, 0, 3000, GetParam().settings);
    std::size_t playsWhileOpen = 99;
    services.onMessageBox = [&](const fakes::BoxRecord&) { playsWhileOpen = device.plays.size(); };
    runTo(7, 6, 1);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].caption, "REMINDER!");
    EXPECT_EQ(services.boxes[0].text, GetParam().text);
    EXPECT_EQ(services.boxes[0].flags, 0x1030u);
    EXPECT_FALSE(form().MsgCheckBox->checked());
    EXPECT_TRUE(AlarmOn);
    EXPECT_EQ(playsWhileOpen, GetParam().playsWhileOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, ReminderTest,
    ::testing::Values(ReminderCase{"EmptyText", {{"MsgChecked", "1"}, {"AudioChecked", "0"}}, "Tolvane set for 7:05AM. ", 0},
                      ReminderCase{"OwnText", {{"MsgChecked", "1"}, {"MessageText", "Feed the cat"}}, "Feed the cat", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClockTickTest, TicksInsideTheReminderKeepTheDisplayAndTheSoundGoing) {
    startArmedAt(7, 5, 0, 3000, {{"MsgChecked", "1"}});
    std::vector<std::string> nestedStarts;
    std::string displayWhenClosed;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        nestedStarts = runWithSound(10s, 3000);  // the user reads it for ten seconds
        displayWhenClosed = display();
    };
    runTo(7, 4, 59);
    runWithSound(1s, 3000);
    EXPECT_EQ(displayWhenClosed, "7:05:10 AM");
    EXPECT_EQ(nestedStarts, (std::vector<std::string>{"7:05:04 AM", "7:05:08 AM"}));
    EXPECT_EQ(services.maxOpenBoxes, 1);
    EXPECT_EQ(boxesCaptioned("REMINDER!"), 1u);
}

TEST_F(ClockTickTest, AutoOffInANestedTickLeavesTheAlarmDisarmedWhenTheBoxCloses) {
    startArmedAt(7, 5, 0, 500, {{"MsgChecked", "1"}});  // ended by the first nested tick
    click(form().RepeatCheckBox);
    bool armedWhenClosed = true;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        runWithSound(6s, 500);
        armedWhenClosed = AlarmOn;
    };
    runTo(7, 4, 59);
    runWithSound(1s, 500);
    EXPECT_FALSE(armedWhenClosed);
    ASSERT_EQ(device.plays.size(), 2u);
    EXPECT_EQ(device.plays[1].display, "7:05:01 AM");
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_EQ(form().OnOffBtn->font().color, kGrey);
    EXPECT_EQ(services.boxes.size(), 1u);
}

TEST_F(ClockTickTest, NeitherKindLeftStillAppliesAutoOff) {
    startArmedAt(7, 5, 0, 3000, {{"MsgChecked", "1"}});
    click(form().AudioCheckBox);
    click(form().RepeatCheckBox);
    click(form().MsgCheckBox);  // as an earlier firing leaves it
    runTo(7, 5, 5);
    EXPECT_TRUE(device.plays.empty());
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_FALSE(AlarmOn);
}

// ---- Device states at a due tick

TEST_F(ClockTickTest, DueTickWithNoDeviceOpenReportsEverySecondAndSkipsTheRest) {
    device.failNext(mci::MCI_OPEN, mci::MCIERR_FILE_NOT_FOUND);
    startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}, {"MsgChecked", "1"}});
    click(form().RepeatCheckBox);
    click(form().OnOffBtn);
    ASSERT_TRUE(AlarmOn);
    services.boxes.clear();

    runTo(7, 5, 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "No MCI device open.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane @7:05AM");
    EXPECT_EQ(services.boxes[0].flags, 0x10u);
    EXPECT_TRUE(form().MsgCheckBox->checked());  // no reminder
    EXPECT_TRUE(AlarmOn);                        // no Auto Off
    EXPECT_EQ(display(), "7:05:00 AM");
    runTo(7, 6, 3);
    EXPECT_EQ(services.boxes.size(), 60u);
    EXPECT_EQ(boxesCaptioned("REMINDER!"), 0u);
}

TEST_F(ClockTickTest, PausedDeviceIsPlayedByADueTick) {
    startArmedAt(7, 5, 0, 120'000);
    runTo(7, 4, 50);
    pressTransport(mci::btPlay);
    pressTransport(mci::btPause);
    ASSERT_EQ(device.mode, mci::MCI_MODE_PAUSE);
    runTo(7, 5, 0);
    ASSERT_EQ(device.plays.size(), 2u);
    EXPECT_EQ(device.plays.back().display, "7:05:00 AM");
    EXPECT_TRUE(device.playing());
}

TEST_F(ClockTickTest, ArmingInsideTheAlarmMinuteFiresAtTheNextTick) {
    startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    runTo(7, 5, 20);
    loop.advance(500ms);
    click(form().OnOffBtn);
    EXPECT_TRUE(device.plays.empty());
    runTo(7, 5, 21);
    ASSERT_EQ(device.plays.size(), 1u);
    EXPECT_EQ(device.plays[0].display, "7:05:21 AM");
}

TEST_F(ClockTickTest, FailingPlayIsNotReportedAndTheTickGoesOn) {
    startArmedAt(7, 5, 0, 3000, {{"MsgChecked", "1"}});
    click(form().RepeatCheckBox);
    device.failAlways(mci::MCI_PLAY, mci::MCIERR_HARDWARE);
    runTo(7, 5, 0);
    EXPECT_EQ(device.plays.size(), 1u);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].caption, "REMINDER!");
    EXPECT_FALSE(AlarmOn);
}

// ---- The CD track

class CdTrackTest : public ClockTickTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CdTrackTest, TrackAndMissingDiscAreShownEverySecond) {
    startWith({{"LastType", "CD"}, {"AlarmHour", "9"}, {"AlarmOn", GetParam() ? "1" : "0"}});
    ASSERT_EQ(AlarmOn, GetParam());
    const std::size_t setsBefore = device.count(mci::MCI_SET);
    const std::tuple<mci::DWORD, int, const char*, const char*> steps[] = {
        {mci::MCI_MAKE_TMSF(3, 1, 2, 0), 1, "3", "Music CD"},
        {0, 2, "0", "No CD in Drive"},
        {mci::MCI_MAKE_TMSF(2, 0, 10, 0), 5, "2", "No CD in Drive"},  // the disc is back: panel left as it was
    };
    for (const auto& [position, second, track, panel] : steps) {
        device.state.position = position;
        runTo(7, 4, second);
        EXPECT_EQ(form().TimeIndexLabel->caption(), track);
        EXPECT_EQ(form().FilePanel->caption(), panel);
    }
    // Each tick puts the device into the track format first.
    const auto sets = device.requests(mci::MCI_SET);
    ASSERT_EQ(sets.size() - setsBefore, 5u);
    EXPECT_EQ(sets.back().timeFormat, mci::MCI_FORMAT_TMSF);
    EXPECT_TRUE(sets.back().has(mci::MCI_SET_TIME_FORMAT));
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Clock, CdTrackTest, ::testing::Bool());

TEST_F(ClockTickTest, CdSourceWhoseDeviceFailedToOpenShowsNoDisc) {
    device.failNext(mci::MCI_OPEN, mci::MCIERR_DEVICE_NOT_READY);
    startWith({{"LastType", "CD"}});
    runTo(7, 4, 1);
    EXPECT_EQ(form().TimeIndexLabel->caption(), "0");
    EXPECT_EQ(form().FilePanel->caption(), "No CD in Drive");
    EXPECT_EQ(services.boxes.size(), 1u);  // only the failed open; Position failing is not reported
}

// ---- Regional formats
// The display follows the regional settings; the alarm compares the clock written the
// United States way, so it fires under any of them.

struct LocaleCase {
    const char* name;
    ui::TimeFormatSettings settings;
    std::array<const char*, 4> shows;  // at 00:30:05, 07:05:09, 12:30:00 and 23:59:59
};

const LocaleCase kLocales[] = {
    {"enUS", {true, false, false, "AM", "PM", ":"}, {"12:30:05 AM", "7:05:09 AM", "12:30:00 PM", "11:59:59 PM"}},
    {"enGB", {false, true, false, "am", "pm", ":"}, {"00:30:05", "07:05:09", "12:30:00", "23:59:59"}},
    {"deDE", {false, true, false, "", "", ":"}, {"00:30:05", "07:05:09", "12:30:00", "23:59:59"}},
    {"C", {true, true, false, "", "", ":"}, {"12:30:05 am", "07:05:09 am", "12:30:00 pm", "11:59:59 pm"}},
    {"koKR", {true, false, true, "\xEC\x98\xA4\xEC\xA0\x84", "\xEC\x98\xA4\xED\x9B\x84", ":"},
     {"\xEC\x98\xA4\xEC\xA0\x84 12:30:05", "\xEC\x98\xA4\xEC\xA0\x84 7:05:09",
      "\xEC\x98\xA4\xED\x9B\x84 12:30:00", "\xEC\x98\xA4\xED\x9B\x84 11:59:59"}},
    {"fiFI", {false, false, false, "", "", "."}, {"0.30.05", "7.05.09", "12.30.00", "23.59.59"}},
};

// One second before each shown time (none is on a whole minute).
const ui::LocalTime kSecondBefore[] = {{2026, 12, 7, 0, 30, 4, 0},
                                       {2026, 12, 7, 7, 5, 8, 0},
                                       {2026, 12, 7, 12, 29, 59, 0},
                                       {2026, 12, 7, 23, 59, 58, 0}};

class LocaleDisplayTest : public MainWindowTest,
                          public ::testing::WithParamInterface<std::tuple<LocaleCase, int>> {
protected:
    LocaleDisplayTest() : MainWindowTest(kSecondBefore[std::get<1>(GetParam())]) {}
};

TEST_P(LocaleDisplayTest, DisplayIsWrittenInTheRegionalLongTimeFormat) {
    const auto& [locale_, which] = GetParam();
    locale.settings = locale_.settings;
    start();
    loop.advance(1002ms);
    EXPECT_EQ(display(), locale_.shows[static_cast<std::size_t>(which)]);
}

INSTANTIATE_TEST_SUITE_P(Clock, LocaleDisplayTest,
                         ::testing::Combine(::testing::ValuesIn(kLocales), ::testing::Range(0, 4)));

struct AlarmCase {
    int hour, minute, ampm;      // the alarm as entered
    int clockHour, clockMinute;  // the minute of the day that is run through
    bool fires;
};

const AlarmCase kAlarms[] = {
    {7, 5, 0, 7, 5, true},     {12, 0, 0, 0, 0, true},     {12, 30, 0, 0, 30, true},
    {12, 15, 1, 12, 15, true}, {1, 0, 1, 13, 0, true},     {11, 59, 1, 23, 59, true},
    {12, 30, 0, 12, 30, false}, {12, 15, 1, 0, 15, false}, {7, 5, 1, 7, 5, false},
};

// The start of the minute before the one run through.
ui::LocalTime minuteBefore(const AlarmCase& a) {
    if (a.clockHour == 0 && a.clockMinute == 0) return {2026, 12, 6, 23, 59, 0, 0};
    const int m = a.clockHour * 60 + a.clockMinute - 1;
    return {2026, 12, 7, m / 60, m % 60, 0, 0};
}

class LocaleAlarmTest : public MainWindowTest,
                        public ::testing::WithParamInterface<std::tuple<LocaleCase, AlarmCase>> {
protected:
    LocaleAlarmTest() : MainWindowTest(minuteBefore(std::get<1>(GetParam()))) {}
};

TEST_P(LocaleAlarmTest, FiresOnEveryTickOfTheAlarmMinuteAndOnlyThen) {
    const auto& [locale_, alarm] = GetParam();
    locale.settings = locale_.settings;
    startArmedAt(alarm.hour, alarm.minute, alarm.ampm);
    device.simulate = false;  // every due tick plays
    std::vector<std::size_t> playsPerMinute;
    for (int minute = 0; minute < 3; ++minute) {
        const std::size_t before = device.plays.size();
        loop.advance(60s);
        playsPerMinute.push_back(device.plays.size() - before);
    }
    EXPECT_EQ(playsPerMinute, (std::vector<std::size_t>{0u, alarm.fires ? 60u : 0u, 0u}));
    EXPECT_TRUE(services.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Clock, LocaleAlarmTest,
                         ::testing::Combine(::testing::ValuesIn(kLocales), ::testing::ValuesIn(kAlarms)));

}  // namespace
}  // namespace formtest
