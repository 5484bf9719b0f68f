// Entry of the alarm time: the digit filters, capping and normalising, the two-digit
// minute, the spin buttons, the AM/PM keys and the title that follows while armed.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

enum class Box { Hour, Minute, AmPm };
enum class Do { Overtype, Type, Paste, MouseMove, Leave, SpinUp, SpinDown, KeyUp, KeyDown };

struct Input {
    Do what;
    std::string text = {};
};

struct EntryCase {
    const char* name;
    Box box;
    std::vector<Input> inputs;
    std::string text;  // what the box shows afterwards
    int position;      // where its spin buttons stand
};

std::ostream& operator<<(std::ostream& out, const EntryCase& c) { return out << c.name; }

// Starts from a restored alarm time of 7:05 AM with a wave file as the source.
class AlarmEntryTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmAMPM", "0"}});
    }

    ui::Edit* edit(Box b) {
        return b == Box::Hour ? form().AlarmHourEdit : b == Box::Minute ? form().AlarmMinuteEdit : form().AlarmAMPMEdit;
    }
    ui::UpDown* spin(Box b) {
        return b == Box::Hour ? form().AlarmHourUpDown : b == Box::Minute ? form().AlarmMinuteUpDown : form().AMPMUpDown;
    }

    void apply(Box b, const Input& in) {
        ui::Edit* e = edit(b);
        switch (in.what) {
        case Do::Overtype: overtype(e, in.text.at(0)); break;
        case Do::Type: type(e, in.text); break;
        case Do::Paste: paste(e, in.text); break;
        case Do::MouseMove: user([e] { e->mouseMove({3, 4}); }); break;
        case Do::Leave: leave(e); break;
        case Do::SpinUp: step(spin(b), ui::UpDownButton::Up); break;
        case Do::SpinDown: step(spin(b), ui::UpDownButton::Down); break;
        case Do::KeyUp: user([e] { e->keyDown(ui::Key::Up); }); break;
        case Do::KeyDown: user([e] { e->keyDown(ui::Key::Down); }); break;
        }
    }
    void applyAll() {
        for (const Input& in : GetParam().inputs) apply(GetParam().box, in);
    }
};

// Disarmed, the title is never touched; armed, it shows the time as entered.
TEST_P(AlarmEntryTest, BoxEndsWithTheValidTextAndItsSpinPosition) {
    const std::size_t titlesBefore = services.titles.size();
    applyAll();
    EXPECT_EQ(edit(GetParam().box)->text(), GetParam().text);
    EXPECT_EQ(spin(GetParam().box)->position(), GetParam().position);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(services.titles.size(), titlesBefore);
    EXPECT_EQ(title(), "Tolvane Off");
}

TEST_P(AlarmEntryTest, WhileArmedTheTitleShowsTheTimeAsEntered) {
    click(form().OnOffBtn);
    applyAll();
    EXPECT_EQ(title(), "Tolvane @" + form().AlarmHourEdit->text() + ":" + form().AlarmMinuteEdit->text() +
                           form().AlarmAMPMEdit->text());
    EXPECT_TRUE(AlarmOn);
}

const std::vector<EntryCase> entryCases = {
    // Hour box: 1 to 12, no leading zero.
    {"Hour13Gives12", Box::Hour, {{Do::Overtype, "1"}, {Do::Type, "3"}}, "12", 12},
    {"Hour0Gives1", Box::Hour, {{Do::Overtype, "0"}}, "1", 1},
    {"Hour09PastedGives9", Box::Hour, {{Do::Paste, "09"}}, "9", 9},
    {"Hour10Typed", Box::Hour, {{Do::Overtype, "1"}, {Do::Type, "0"}}, "10", 10},
    {"HourLettersBlanksBackspaceDropped", Box::Hour, {{Do::Type, "aZ .-\b\t"}}, "7", 7},
    {"HourSpinUpFrom12WrapsTo1", Box::Hour, {{Do::Paste, "12"}, {Do::SpinUp}}, "1", 1},
    {"HourSpinDownFrom1WrapsTo12", Box::Hour, {{Do::Overtype, "1"}, {Do::SpinDown}}, "12", 12},
    {"HourUpKey", Box::Hour, {{Do::KeyUp}}, "8", 8},
    // Minute box: capped at 59, one digit left alone until the mouse or the focus goes.
    {"Minute75Gives59", Box::Minute, {{Do::Overtype, "7"}, {Do::Type, "5"}}, "59", 59},
    {"MinuteSingleDigitStays", Box::Minute, {{Do::Overtype, "3"}}, "3", 3},
    {"MinuteSingleDigitMouseMove", Box::Minute, {{Do::Overtype, "3"}, {Do::MouseMove}}, "03", 3},
    {"MinuteZeroMouseMove", Box::Minute, {{Do::Overtype, "0"}, {Do::MouseMove}}, "00", 0},
    {"MinuteTwoDigitsMouseMove", Box::Minute, {{Do::Paste, "42"}, {Do::MouseMove}, {Do::Leave}}, "42", 42},
    {"MinuteLettersBlanksBackspaceDropped", Box::Minute, {{Do::Type, "x ;\b"}}, "05", 5},
    {"MinuteSpinUpFrom59WrapsTo00", Box::Minute, {{Do::Paste, "59"}, {Do::SpinUp}}, "00", 0},
    {"MinuteSpinDownFrom00WrapsTo59", Box::Minute, {{Do::Overtype, "0"}, {Do::SpinDown}}, "59", 59},
    // AM/PM box: read-only; a/A and p/P, and the spin buttons alternate.
    {"AmPmSpinUp", Box::AmPm, {{Do::SpinUp}}, "PM", 1},
    {"AmPmSpinUpTwice", Box::AmPm, {{Do::SpinUp}, {Do::SpinUp}}, "AM", 0},
    {"AmPmLowerP", Box::AmPm, {{Do::Type, "p"}}, "PM", 1},
    {"AmPmUpperAAfterP", Box::AmPm, {{Do::Type, "PA"}}, "AM", 0},
    {"AmPmOtherKeysIgnored", Box::AmPm, {{Do::Type, "xm7 \b"}}, "AM", 0},
    {"AmPmOtherKeysAfterP", Box::AmPm, {{Do::Type, "pxm"}}, "PM", 1},
};

INSTANTIATE_TEST_SUITE_P(Entry, AlarmEntryTest, ::testing::ValuesIn(entryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- An emptied box

class EmptiedBoxTest : public MainWindowTest, public ::testing::WithParamInterface<Box> {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmAMPM", "0"}});
        click(form().OnOffBtn);
    }
    ui::Edit* edit() { return GetParam() == Box::Hour ? form().AlarmHourEdit : form().AlarmMinuteEdit; }
    ui::UpDown* spin() { return GetParam() == Box::Hour ? form().AlarmHourUpDown : form().AlarmMinuteUpDown; }
};

TEST_P(EmptiedBoxTest, ReportsTheConversionErrorAndRaisesNoAlarmUntilRefilled) {
    const int positionBefore = spin()->position();
    paste(edit(), "");
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "'' is not a valid integer value.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane @7:05AM");
    EXPECT_EQ(services.boxes[0].flags, 0x10u);
    EXPECT_EQ(edit()->text(), "");
    EXPECT_EQ(spin()->position(), positionBefore);
    EXPECT_EQ(title(), "Tolvane @7:05AM");
    EXPECT_TRUE(AlarmOn);

    runTo(7, 5, 30);
    EXPECT_TRUE(device.plays.empty());
    EXPECT_EQ(display(), "7:05:30 AM");

    type(edit(), "8");  // valid again
    EXPECT_EQ(edit()->text(), "8");
    EXPECT_EQ(spin()->position(), 8);
    EXPECT_EQ(services.boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Entry, EmptiedBoxTest, ::testing::Values(Box::Hour, Box::Minute),
                         [](const auto& info) { return info.param == Box::Hour ? "Hour" : "Minute"; });

// ---- A one-digit minute

TEST_F(MainWindowTest, OneDigitMinuteArmsWithItsTextAndFiresOnlyOnceMadeTwoDigit) {
    startWithWave(3000, {{"AlarmHour", "7"}, {"AlarmMin", "0"}, {"AlarmAMPM", "0"}});
    overtype(form().AlarmMinuteEdit, '5');
    click(form().OnOffBtn);
    EXPECT_EQ(title(), "Tolvane @7:5AM");
    runTo(7, 5, 10);
    EXPECT_TRUE(device.plays.empty());
    user([this] { form().AlarmMinuteEdit->mouseMove({1, 1}); });
    EXPECT_EQ(title(), "Tolvane @7:05AM");
    loop.advance(1s);
    ASSERT_EQ(device.plays.size(), 1u);
    EXPECT_EQ(device.plays[0].display, "7:05:11 AM");
}

TEST_F(MainWindowTest, ChangedTimeWhileArmedIsUsedFromTheNextTick) {
    startArmedAt(7, 5, 0);
    runTo(7, 4, 30);
    step(form().AlarmMinuteUpDown, ui::UpDownButton::Down);  // 7:04
    EXPECT_EQ(title(), "Tolvane @7:04AM");
    loop.advance(1s);
    ASSERT_EQ(device.plays.size(), 1u);
    EXPECT_EQ(device.plays[0].display, "7:04:31 AM");
}

}  // namespace
}  // namespace formtest
