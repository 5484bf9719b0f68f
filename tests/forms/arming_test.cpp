// The ALARM button: arming, disarming, the warning box, the button colour and the
// task-bar title.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

const ui::Color kRed{255, 0, 0};
const ui::Color kGrey{128, 128, 128};

class ArmingTest : public MainWindowTest {
protected:
    ui::Color buttonColor() { return form().OnOffBtn->font().color; }
};

// ---- Which clicks arm -------------------------------------------------------------------

struct ArmCase {
    const char* name;
    IniLines settings;
    bool arms;
};

class ArmConditionTest : public ArmingTest, public ::testing::WithParamInterface<ArmCase> {};

TEST_P(ArmConditionTest, ArmsOnlyWithASourceAndAnAlarmKind) {
    device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(3000);
    IniLines lines = GetParam().settings;
    lines.insert(lines.end(), {{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    startWith(lines);
    ASSERT_TRUE(services.boxes.empty());

    click(form().OnOffBtn);
    if (GetParam().arms) {
        EXPECT_TRUE(AlarmOn);
        EXPECT_EQ(buttonColor(), kRed);
        EXPECT_EQ(title(), "Tolvane @7:05AM");
        EXPECT_TRUE(services.boxes.empty());
    } else {
        EXPECT_FALSE(AlarmOn);
        EXPECT_EQ(buttonColor(), kGrey);
        EXPECT_EQ(title(), "Tolvane Off");
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes[0].text, kWarning);
        EXPECT_EQ(services.boxes[0].caption, "WARNING!");
        EXPECT_EQ(services.boxes[0].flags, 0x30u);
    }
    EXPECT_EQ(form().caption(), "Tolvane 1.2");
}

INSTANTIATE_TEST_SUITE_P(
    Arming, ArmConditionTest,
    ::testing::Values(
        ArmCase{"FirstRunNoSource", {}, false},
        ArmCase{"NoSourceBothKinds", {{"MsgChecked", "1"}}, false},
        ArmCase{"WaveNeitherKind", {{"LastType", "Wave"}, {"LastWave", kWave}, {"LastFileName", kWave},
                                    {"AudioChecked", "0"}}, false},
        ArmCase{"WaveAudio", {{"LastType", "Wave"}, {"LastWave", kWave}, {"LastFileName", kWave}}, true},
        ArmCase{"WaveOnlyMessageEmptyText",
                {{"LastType", "Wave"}, {"LastWave", kWave}, {"LastFileName", kWave}, {"AudioChecked", "0"},
                 {"MsgChecked", "1"}},
                true},
        ArmCase{"CdAudio", {{"LastType", "CD"}}, true},
        ArmCase{"MidiMessage", {{"LastType", "Midi"}, {"LastMidi", kMidi}, {"LastFileName", kMidi},
                                {"AudioChecked", "0"}, {"MsgChecked", "1"}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Disarming ---------------------------------------------------------------------------

TEST_F(ArmingTest, DisarmStopsASoundStartedByHand) {
    startArmedAt(7, 5, 0, 60'000);
    ASSERT_TRUE(AlarmOn);
    pressTransport(mci::btPlay);
    ASSERT_TRUE(device.playing());
    click(form().OnOffBtn);
    EXPECT_EQ(device.count(mci::MCI_STOP), 1u);
    EXPECT_FALSE(device.playing());
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(buttonColor(), kGrey);
    EXPECT_EQ(title(), "Tolvane Off");
    EXPECT_TRUE(device.isOpen());  // stopped, not closed
}

TEST_F(ArmingTest, DisarmStopsTheAlarmSound) {
    startArmedAt(7, 5, 0, 60'000);
    runTo(7, 5, 3);
    ASSERT_TRUE(device.playing());
    click(form().OnOffBtn);
    EXPECT_FALSE(device.playing());
    EXPECT_FALSE(AlarmOn);
    runTo(7, 5, 30);
    EXPECT_EQ(device.plays.size(), 1u);  // disarmed: the rest of the minute stays quiet
}

TEST_F(ArmingTest, DisarmWithNothingPlayingSendsNoStop) {
    startArmedAt(7, 5, 0);
    click(form().OnOffBtn);
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
    EXPECT_FALSE(AlarmOn);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ArmingTest, ArmingLeavesAPlayingSoundAlone) {
    startWithWave(60'000, {{"AlarmHour", "7"}, {"AlarmMin", "5"}});
    pressTransport(mci::btPlay);
    ASSERT_TRUE(device.playing());
    log.clear();
    click(form().OnOffBtn);
    EXPECT_TRUE(AlarmOn);
    EXPECT_TRUE(device.playing());
    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(ArmingTest, ClockKeepsTickingBehindTheWarningBox) {
    start();
    std::string shownWhenClosed;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        loop.advance(3s);
        shownWhenClosed = display();
    };
    runTo(7, 4, 10);
    click(form().OnOffBtn);
    EXPECT_EQ(shownWhenClosed, "7:04:13 AM");
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(services.boxes.size(), 1u);
}

}  // namespace
}  // namespace formtest
