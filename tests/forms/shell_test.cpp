// The application shell: the menu commands and shutdown.
#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

using ShellTest = MainWindowTest;

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
}

}  // namespace
}  // namespace formtest
