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
    EXPECT_EQ(f.caption() + " " + AboutForm->caption(), "Tolvane 1.2 Quennet 1.2");
    EXPECT_EQ(f.bounds(), (ui::Rect{193, 147, 610, 417}));
    EXPECT_EQ(f.AlarmHourUpDown->bounds(), (ui::Rect{49, 16, 61, 37}));
    const auto& pages = f.TabbedNotebook->pages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0]->caption() + pages[1]->caption() + pages[2]->caption(), "M&edia Type&Set AlarmHow &To");
    EXPECT_EQ(f.CDRadioButton->parent()->parent(), pages[0]);
    EXPECT_EQ(f.MidiRadioButton->parent(), f.CDRadioButton->parent());
    EXPECT_EQ(f.AlarmPanel->parent(), pages[1]);
    EXPECT_EQ(f.AlarmHourUpDown->associate(), f.AlarmHourEdit);
    EXPECT_EQ(f.MessageEdit->hint(), "Enter reminder message here.");
    EXPECT_FALSE(f.LastWaveLabel->visible() || f.LastMidiLabel->visible());
    Texts tabOrder(10);
    for (ui::Control* c : f.AlarmPanel->children())
        if (c->tabOrder() >= 0) tabOrder.at(static_cast<std::size_t>(c->tabOrder())) = c->name();
    EXPECT_EQ(tabOrder, (Texts{"AMPMUpDown", "AlarmMinuteUpDown", "AlarmHourEdit", "AlarmMinuteEdit", "AlarmAMPMEdit",
                               "MessageEdit", "AudioCheckBox", "MsgCheckBox", "AlarmHourUpDown", "RepeatCheckBox"}));
    EXPECT_EQ(f.MediaPlayer->visibleButtons(),
              (mci::TButtonSet{mci::btPlay, mci::btPause, mci::btStop, mci::btNext, mci::btPrev, mci::btEject}));
    EXPECT_EQ(AboutForm->borderStyle(), ui::BorderStyle::Tool);
}

// About shows one window, modeless, that OK hides; How To turns to the third page; Save
// Settings only toggles its check mark; the close box ends the program as Exit does.
TEST_F(ShellTest, MenuCommands) {
    start();
    click(form().AboutMnu);
    user([this] { form().activate(); });
    click(form().AboutMnu);
    EXPECT_TRUE(AboutForm->visible() && AboutForm->active());
    click(AboutForm->OKButton);
    EXPECT_FALSE(AboutForm->visible() || loop.quitRequested());
    click(form().ProgramDescription1);
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 2);
    click(form().SaveSettingsMnu);
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    click(form().SaveSettingsMnu);
    EXPECT_TRUE(form().SaveSettingsMnu->checked() && !store.hasFile(kIni));
    user([this] { form().close(); });
    EXPECT_TRUE(loop.quitRequested());
}

// The About window goes first; the main window is hidden, stops a playing sound, saves,
// and its device is closed with it.
TEST_F(ShellTest, ShutdownStopsASoundThenSavesThenClosesTheDevice) {
    startWithWave();
    pressTransport(mci::btPlay);
    user([this] { form().show(); });
    Texts seen;
    device.beforeRequest = [&](mci::UINT message) {
        const bool shown = MainForm && MainForm->visible();
        if (message == mci::MCI_STOP || message == mci::MCI_CLOSE)
            seen.push_back(fakes::messageName(message) + (AboutForm ? " about" : "") + (shown ? " shown" : "") +
                           " saved " + std::to_string(store.commits()));
    };
    shutdown();
    EXPECT_EQ(seen, (Texts{"MCI_STOP saved 0", "MCI_CLOSE saved 1"}));
    EXPECT_EQ(loop.activeTimers(), 0u);
}

}  // namespace
}  // namespace formtest
