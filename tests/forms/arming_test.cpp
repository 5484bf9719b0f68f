// The ALARM button: arming, disarming, the warning box, the button colour and the
// task-bar title.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

class ArmingTest : public MainWindowTest {
protected:
    ui::Color buttonColor() { return form().OnOffBtn->font().color; }
};

// ---- Which clicks arm

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

// ---- Disarming

enum class Sound { None, ByHand, ByTheAlarm };

class DisarmTest : public ArmingTest, public ::testing::WithParamInterface<Sound> {};

TEST_P(DisarmTest, StopsAPlayingSoundAndKeepsTheRestOfTheMinuteQuiet) {
    const Sound sound = GetParam();
    startArmedAt(7, 5, 0, 60'000);
    if (sound == Sound::ByHand) pressTransport(mci::btPlay);
    if (sound == Sound::ByTheAlarm) runTo(7, 5, 3);
    ASSERT_EQ(device.playing(), sound != Sound::None);
    click(form().OnOffBtn);
    EXPECT_EQ(device.count(mci::MCI_STOP), sound == Sound::None ? 0u : 1u);
    EXPECT_FALSE(device.playing());
    EXPECT_FALSE(AlarmOn);
    EXPECT_EQ(buttonColor(), kGrey);
    EXPECT_TRUE(device.isOpen());  // stopped, not closed
    runTo(7, 5, 30);
    EXPECT_EQ(device.plays.size(), sound == Sound::None ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Arming, DisarmTest, ::testing::Values(Sound::None, Sound::ByHand, Sound::ByTheAlarm));

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
