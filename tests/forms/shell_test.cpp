// The application shell: the designed layout, start-up, the menu commands and shutdown.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

using ShellTest = MainWindowTest;

// A few controls stand for the layout table; the rest is what the code relies on: the
// pages and their panels, the radio group, the spin pairing and the odd tab order.
TEST_F(ShellTest, WindowsAreBuiltAsDesigned) {
    start();
    TMainForm& f = form();
    EXPECT_EQ(f.caption(), "Tolvane 1.2");
    EXPECT_EQ(f.bounds(), (ui::Rect{193, 147, 610, 417}));
    EXPECT_EQ(f.AlarmHourUpDown->bounds(), (ui::Rect{49, 16, 61, 37}));
    EXPECT_EQ(f.MidiRadioButton->bounds(), (ui::Rect{208, 56, 273, 73}));
    const auto& pages = f.TabbedNotebook->pages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0]->caption() + pages[1]->caption() + pages[2]->caption(), "M&edia Type&Set AlarmHow &To");
    EXPECT_EQ(f.MediaPanel->parent(), pages[0]);
    EXPECT_EQ(f.AlarmPanel->parent(), pages[1]);
    EXPECT_EQ(f.InfoMemo->parent()->parent(), pages[2]);
    EXPECT_EQ(f.TabbedNotebook->pageIndex(), 0);
    EXPECT_EQ(f.CDRadioButton->parent(), f.MediaPanel);
    EXPECT_EQ(f.MidiRadioButton->parent(), f.MediaPanel);
    EXPECT_EQ(f.AlarmHourUpDown->associate(), f.AlarmHourEdit);
    Texts tabOrder(10);
    for (ui::Control* c : f.AlarmPanel->children())
        if (c->tabOrder() >= 0) tabOrder.at(static_cast<std::size_t>(c->tabOrder())) = c->name();
    EXPECT_EQ(tabOrder, (Texts{"AMPMUpDown", "AlarmMinuteUpDown", "AlarmHourEdit", "AlarmMinuteEdit", "AlarmAMPMEdit",
                               "MessageEdit", "AudioCheckBox", "MsgCheckBox", "AlarmHourUpDown", "RepeatCheckBox"}));
    EXPECT_EQ(f.MessageEdit->hint(), "Enter reminder message here.");
    EXPECT_FALSE(f.LastWaveLabel->visible());
    EXPECT_EQ(f.MediaPlayer->visibleButtons(),
              (mci::TButtonSet{mci::btPlay, mci::btPause, mci::btStop, mci::btNext, mci::btPrev, mci::btEject}));
    EXPECT_EQ(AboutForm->caption(), "Quennet 1.2");
    EXPECT_EQ(AboutForm->bounds(), (ui::Rect{270, 209, 563, 376}));
    EXPECT_EQ(AboutForm->borderStyle(), ui::BorderStyle::Tool);
}

// The title comes before any window; the restore runs before the About window exists
// and before the main window shows. Running shows it; Exit ends the run with code 0.
TEST_F(ShellTest, StartUpRunAndExit) {
    bool aboutExisted = true;
    bool mainVisible = true;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        aboutExisted = AboutForm != nullptr;
        mainVisible = MainForm->visible();
    };
    start({{"AlarmOn", "1"}});  // cannot be armed: the restore shows a warning
    EXPECT_EQ(services.titles.front(), "Tolvane Off");
    EXPECT_FALSE(aboutExisted || mainVisible || AboutForm->visible());
    loop.queue().post([&] {
        mainVisible = MainForm->visible();
        MainForm->ExitMnu->click();
    });
    EXPECT_EQ(program->run(), 0);
    EXPECT_TRUE(mainVisible);
    EXPECT_EQ(MainForm, nullptr);  // run() shuts down
}

TEST_F(ShellTest, MenuCommands) {
    start();
    TAboutForm* about = AboutForm;
    click(form().AboutMnu);
    EXPECT_TRUE(about->visible() && about->active());
    user([this] { form().activate(); });
    click(form().AboutMnu);
    EXPECT_TRUE(about->active());  // the same window, brought to the front
    EXPECT_EQ(app.forms().size(), 2u);
    click(about->OKButton);
    EXPECT_FALSE(about->visible());
    EXPECT_FALSE(loop.quitRequested());

    click(form().ProgramDescription1);
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 2);

    click(form().SaveSettingsMnu);
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    click(form().SaveSettingsMnu);
    EXPECT_TRUE(form().SaveSettingsMnu->checked());
    EXPECT_FALSE(store.hasFile(kIni));  // written only at shutdown

    user([this] { form().close(); });  // the close box: as Exit
    EXPECT_TRUE(loop.quitRequested());
}

class ShutdownTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

// The About window goes first; the main window is hidden, stops a playing sound, saves,
// and its device is closed with it.
TEST_P(ShutdownTest, StopsASoundThenSavesThenClosesTheDevice) {
    startWithWave();
    if (GetParam()) pressTransport(mci::btPlay);
    user([this] { form().show(); });
    Texts seen;
    device.beforeRequest = [&](mci::UINT message) {
        if (message != mci::MCI_STOP && message != mci::MCI_CLOSE) return;
        seen.push_back(fakes::messageName(message) + (AboutForm ? " about" : "") +
                       (MainForm && MainForm->visible() ? " shown" : "") + " saved " + std::to_string(store.commits()));
    };
    shutdown();
    Texts expected{"MCI_STOP saved 0", "MCI_CLOSE saved 1"};
    if (!GetParam()) expected.erase(expected.begin());
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(loop.activeTimers(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Shell, ShutdownTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Playing" : "Silent"; });

}  // namespace
}  // namespace formtest
