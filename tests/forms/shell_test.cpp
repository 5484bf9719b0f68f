// The application shell: the designed layout, start-up, the menu commands and the
// order of shutdown.
#include <algorithm>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

class ShellTest : public MainWindowTest {};

TEST_F(ShellTest, WindowsLookAsDesigned) {
    start();
    TMainForm& f = form();
    const std::vector<std::pair<std::string, ui::Rect>> placed = {
        {"MainForm", {193, 147, 610, 417}},    {"TimePanel", {16, 8, 401, 73}},
        {"TabbedNotebook", {48, 80, 369, 233}}, {"OnOffBtn", {160, 240, 235, 265}},
        {"DarkLineShape", {0, 0, 417, 1}},     {"FilePanel", {8, 13, 201, 38}},
        {"AlarmHourUpDown", {49, 16, 61, 37}}, {"AMPMUpDown", {161, 16, 177, 37}},
        {"MessageEdit", {16, 64, 273, 89}},    {"InfoMemo", {0, 0, 297, 210}}};
    for (const auto& [name, rect] : placed) {
        auto* control = dynamic_cast<ui::Control*>(findComponent(f, name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->bounds(), rect) << name;
    }
    EXPECT_EQ(f.caption(), "Tolvane 1.2");
    EXPECT_EQ(f.borderStyle(), ui::BorderStyle::Single);
    EXPECT_TRUE(f.AlarmAMPMEdit->readOnly());
    EXPECT_FALSE(f.LastWaveLabel->visible());
    EXPECT_EQ(f.AlarmHourUpDown->associate(), f.AlarmHourEdit);
    EXPECT_EQ(f.AlarmMinuteUpDown->associate(), nullptr);
    EXPECT_EQ(f.MediaPlayer->visibleButtons(),
              (mci::TButtonSet{mci::btPlay, mci::btPause, mci::btStop, mci::btNext, mci::btPrev, mci::btEject}));
    EXPECT_EQ(f.TabbedNotebook->pageIndex(), 0);
    EXPECT_EQ(f.InfoMemo->lines().size(), 15u);

    std::vector<std::pair<int, std::string>> order;
    for (ui::Control* c : f.AlarmPanel->children())
        if (c->tabOrder() >= 0) order.emplace_back(c->tabOrder(), c->name());
    std::sort(order.begin(), order.end());
    std::vector<std::string> names;
    for (const auto& entry : order) names.push_back(entry.second);
    EXPECT_EQ(names, (std::vector<std::string>{"AMPMUpDown", "AlarmMinuteUpDown", "AlarmHourEdit", "AlarmMinuteEdit",
                                               "AlarmAMPMEdit", "MessageEdit", "AudioCheckBox", "MsgCheckBox",
                                               "AlarmHourUpDown", "RepeatCheckBox"}));

    EXPECT_TRUE(f.MessageEdit->showHint());
    EXPECT_FALSE(f.OnOffBtn->showHint());
    EXPECT_EQ(f.CDRadioButton->hint(), "Double Click to choose another file.");

    ASSERT_NE(AboutForm, nullptr);
    EXPECT_EQ(AboutForm->caption(), "Quennet 1.2");
    EXPECT_EQ(AboutForm->bounds(), (ui::Rect{270, 209, 270 + 293, 209 + 167}));
    EXPECT_EQ(AboutForm->borderStyle(), ui::BorderStyle::Tool);
}

TEST_F(ShellTest, StartUpOrder) {
    // A saved armed state with no source makes the restore show its warning box: a
    // window onto the moment the restore runs.
    bool aboutExisted = true;
    bool mainVisible = true;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        aboutExisted = AboutForm != nullptr;
        mainVisible = MainForm && MainForm->visible();
    };
    startWith({{"AlarmOn", "1"}});
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_FALSE(aboutExisted);
    EXPECT_FALSE(mainVisible);
    EXPECT_EQ(services.titles.front(), "Tolvane Off");
    EXPECT_FALSE(services.mainFormExisted.front());  // the title comes before any window
    EXPECT_EQ(log, (EventLog{"created MainForm", "created AboutForm"}));
    EXPECT_FALSE(AboutForm->visible());
    EXPECT_EQ(app.mainForm(), MainForm);
}

TEST_F(ShellTest, RunShowsTheMainWindowAndEndsWithExitCodeZeroOnExit) {
    start();
    bool shownWhileRunning = false;
    loop.queue().post([&] {
        shownWhileRunning = MainForm->visible();
        MainForm->ExitMnu->click();
    });
    EXPECT_EQ(program->run(), 0);
    EXPECT_TRUE(shownWhileRunning);
    EXPECT_EQ(MainForm, nullptr);  // run() shuts down
    EXPECT_NE(iniText(), "<no file>");
}

TEST_F(ShellTest, AboutShowsOneModelessWindowThatOkHides) {
    start();
    TAboutForm* about = AboutForm;
    click(form().AboutMnu);
    EXPECT_TRUE(about->visible());
    EXPECT_TRUE(about->active());
    user([this] { form().activate(); });
    EXPECT_FALSE(about->active());
    click(form().AboutMnu);
    EXPECT_EQ(AboutForm, about);
    EXPECT_EQ(app.forms().size(), 2u);
    EXPECT_TRUE(about->active());
    EXPECT_TRUE(form().enabled());
    click(about->OKButton);
    EXPECT_FALSE(about->visible());
    EXPECT_EQ(AboutForm, about);
    EXPECT_FALSE(loop.quitRequested());
}

TEST_F(ShellTest, HowToSelectsTheThirdPage) {
    start();
    click(form().ProgramDescription1);
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 2);
}

TEST_F(ShellTest, SaveSettingsToggledTwiceWritesNothingUntilShutdown) {
    start();
    click(form().SaveSettingsMnu);
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    click(form().SaveSettingsMnu);
    EXPECT_EQ(store.commits() + store.failedCommits(), 0);
    shutdown();
    EXPECT_NE(iniText().find("AlarmHour=12"), std::string::npos);  // a full save
}

class QuitTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(QuitTest, ExitAndTheCloseBoxBothEndTheLoopWithCodeZero) {
    start();
    user([&] {
        if (GetParam()) form().close();
        else form().ExitMnu->click();
    });
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_EQ(loop.exitCode(), 0);
    EXPECT_NE(MainForm, nullptr);  // not closed first: it goes at shutdown
    shutdown();
    EXPECT_NE(iniText().find("AlarmOn=0"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Shell, QuitTest, ::testing::Bool());

class ShutdownTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ShutdownTest, StopsASoundBeforeSavingAndClosesTheDeviceAfter) {
    const bool playing = GetParam();
    startWithWave(30'000);
    if (playing) pressTransport(mci::btPlay);
    bool aboutGoneAtStop = false;
    bool mainHiddenAtStop = false;
    device.beforeRequest = [&](mci::UINT message, mci::DWORD) {
        if (message != mci::MCI_STOP) return;
        aboutGoneAtStop = AboutForm == nullptr;
        mainHiddenAtStop = MainForm && !MainForm->visible();
    };
    user([this] { form().show(); });
    log.clear();
    shutdown();
    EventLog expected{"destroying AboutForm", "MCI_STOP", "commit", "destroying MainForm", "MCI_CLOSE"};
    if (!playing) expected.erase(expected.begin() + 1);
    EXPECT_EQ(log, expected);
    EXPECT_EQ(aboutGoneAtStop && mainHiddenAtStop, playing);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(loop.activeTimers(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Shell, ShutdownTest, ::testing::Bool());

}  // namespace
}  // namespace formtest
