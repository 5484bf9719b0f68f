// The application shell: the designed layout, start-up, the menu commands and the
// order of shutdown.
#include <algorithm>

#include "tests/forms/main_window_fixture.h"

namespace formtest {
namespace {

namespace colors = ui::colors;

class ShellTest : public MainWindowTest {};

// ---- Layout --------------------------------------------------------------------------

struct Placement {
    const char* name;
    int left, top, width, height;
};

class LayoutPlacementTest : public MainWindowTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(LayoutPlacementTest, ControlSitsWhereDesigned) {
    start();
    const Placement& p = GetParam();
    auto* control = dynamic_cast<ui::Control*>(findComponent(form(), p.name));
    ASSERT_NE(control, nullptr) << p.name;
    EXPECT_EQ(control->bounds(), (ui::Rect{p.left, p.top, p.left + p.width, p.top + p.height})) << p.name;
}

INSTANTIATE_TEST_SUITE_P(MainWindow, LayoutPlacementTest,
                         ::testing::Values(Placement{"MainForm", 193, 147, 417, 270},
                                           Placement{"TimePanel", 16, 8, 385, 65},
                                           Placement{"TabbedNotebook", 48, 80, 321, 153},
                                           Placement{"OnOffBtn", 160, 240, 75, 25},
                                           Placement{"LastWaveLabel", 32, 240, 75, 13},
                                           Placement{"DarkLineShape", 0, 0, 417, 1},
                                           Placement{"LightLineShape", 0, 1, 417, 1},
                                           Placement{"MediaPanel", 8, 8, 297, 113},
                                           Placement{"FilePanel", 8, 13, 193, 25},
                                           Placement{"CDRadioButton", 208, 8, 73, 17},
                                           Placement{"MidiRadioButton", 208, 56, 65, 17},
                                           Placement{"AlarmPanel", 8, 8, 297, 97},
                                           Placement{"AlarmHourEdit", 24, 16, 25, 21},
                                           Placement{"AlarmHourUpDown", 49, 16, 12, 21},
                                           Placement{"AlarmMinuteEdit", 80, 16, 25, 21},
                                           Placement{"AMPMUpDown", 161, 16, 16, 21},
                                           Placement{"MessageEdit", 16, 64, 257, 25},
                                           Placement{"RepeatCheckBox", 192, 36, 97, 17},
                                           Placement{"InfoMemo", 0, 0, 297, 210}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, MainWindowLooksAsDesigned) {
    start();
    TMainForm& f = form();
    EXPECT_EQ(f.caption(), "Tolvane 1.2");
    EXPECT_EQ(f.borderStyle(), ui::BorderStyle::Single);
    EXPECT_EQ(f.font(), (ui::Font{ui::FontFamily::Sans, 8, false, colors::windowText}));
    EXPECT_EQ(f.TimePanel->font(), (ui::Font{ui::FontFamily::Serif, 48, true, ui::Color{0, 128, 128}}));
    EXPECT_EQ(f.TimePanel->color(), colors::black);
    EXPECT_EQ(f.TimePanel->alignment(), ui::Alignment::Center);
    EXPECT_EQ(f.OnOffBtn->caption(), "&ALARM");
    EXPECT_EQ(f.OnOffBtn->font(), (ui::Font{ui::FontFamily::Sans, 10, true, ui::Color{128, 128, 128}}));
    EXPECT_EQ(f.DarkLineShape->penColor(), (ui::Color{128, 128, 128}));
    EXPECT_EQ(f.LightLineShape->brushColor(), (ui::Color{255, 255, 255}));
    EXPECT_EQ(f.FilePanel->color(), colors::white);
    EXPECT_EQ(f.TimeIndexLabel->font(), (ui::Font{ui::FontFamily::Sans, 10, false, ui::Color{0, 0, 255}}));
    EXPECT_EQ(f.CDRadioButton->caption(), "Music &CD");
    EXPECT_EQ(f.WavRadioButton->caption(), "&Wave File");
    EXPECT_EQ(f.MidiRadioButton->caption(), "&Music File");
    EXPECT_EQ(f.MsgLabel->caption(), "Message Text:");
    EXPECT_EQ(f.RepeatCheckBox->caption(), "Auto Off");
    EXPECT_TRUE(f.AlarmAMPMEdit->readOnly());
    EXPECT_FALSE(f.LastWaveLabel->visible());
    EXPECT_FALSE(f.InfoScrollBox->horizontalBarVisible());
    EXPECT_EQ(f.AlarmHourUpDown->associate(), f.AlarmHourEdit);
    EXPECT_EQ(f.AlarmMinuteUpDown->associate(), nullptr);
    EXPECT_EQ(f.ClockTimer->interval(), 1000);
    EXPECT_EQ(f.MediaPlayer->visibleButtons(),
              (mci::TButtonSet{mci::btPlay, mci::btPause, mci::btStop, mci::btNext, mci::btPrev, mci::btEject}));
    EXPECT_EQ(std::pair(f.MediaPlayer->left(), f.MediaPlayer->top()), std::pair(21, 45));
}

TEST_F(ShellTest, OnlyTheRadioButtonsAndTheMessageBoxShowHints) {
    start();
    std::vector<std::string> withHints;
    std::function<void(ui::Component&)> walk = [&](ui::Component& c) {
        if (auto* control = dynamic_cast<ui::Control*>(&c); control && control->showHint()) {
            withHints.push_back(c.name() + ": " + control->hint());
        }
        for (const auto& child : c.components()) walk(*child);
    };
    walk(form());
    const std::string radio = ": Double Click to choose another file.";
    EXPECT_EQ(withHints, (std::vector<std::string>{"CDRadioButton" + radio, "WavRadioButton" + radio,
                                                   "MidiRadioButton" + radio,
                                                   "MessageEdit: Enter reminder message here."}));
}

TEST_F(ShellTest, AlarmPanelTabOrder) {
    start();
    std::vector<std::pair<int, std::string>> order;
    for (ui::Control* c : form().AlarmPanel->children())
        if (c->tabOrder() >= 0) order.emplace_back(c->tabOrder(), c->name());
    std::sort(order.begin(), order.end());
    std::vector<std::string> names;
    for (const auto& [n, name] : order) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"AMPMUpDown", "AlarmMinuteUpDown", "AlarmHourEdit", "AlarmMinuteEdit",
                                               "AlarmAMPMEdit", "MessageEdit", "AudioCheckBox", "MsgCheckBox",
                                               "AlarmHourUpDown", "RepeatCheckBox"}));
}

TEST_F(ShellTest, NotebookHasThreePagesAndShowsTheFirst) {
    start();
    std::vector<std::string> captions;
    for (ui::NotebookPage* p : form().TabbedNotebook->pages()) captions.push_back(p->caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"M&edia Type", "&Set Alarm", "How &To"}));
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 0);
}

TEST_F(ShellTest, MenuTreeAsDesigned) {
    start();
    auto captions = [](const std::vector<ui::MenuItem*>& items) {
        std::vector<std::string> out;
        for (ui::MenuItem* i : items) out.push_back(i->caption());
        return out;
    };
    ASSERT_EQ(form().menu(), form().MainMenu);
    const auto top = form().MainMenu->items();
    EXPECT_EQ(captions(top), (std::vector<std::string>{"&File", "&Help"}));
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(captions(top[0]->items()), (std::vector<std::string>{"&Save Settings", "-", "E&xit"}));
    EXPECT_EQ(captions(top[1]->items()), (std::vector<std::string>{"&How To", "-", "&About"}));
    EXPECT_TRUE(form().SaveSettingsMnu->checked());
    EXPECT_FALSE(form().ExitMnu->checked());
}

TEST_F(ShellTest, HowToTextAsDesigned) {
    start();
    const std::vector<std::string> designed = {
        "TOLVANE 1.2 - OPERATION INSTRUCTIONS",
        "",
        "There are two types of alarms that can be set.  You may",
        "use either one one or both by checking the Audio and or ",
        "Message check boxes on the Set Alarm Tab.  If you wish",
        "the sound to play only once click on the Auto Off check",
        "box, otherwise it will repeat playing for 60 seconds.  Also",
        "on the Set Alarm Tab are the edit boxes to set the time",
        "of day you wish your alarm to go off.  If you plan on using",
        "an audio alarm don't forget to set an audio output device",
        "on the Media Type page.",
        "",
    };
    const auto& lines = form().InfoMemo->lines();
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 12), designed);
    // The closing note: three lines, the last two indented by twelve blanks.
    EXPECT_EQ(lines[12].find_first_not_of(' '), 0u);
    EXPECT_EQ(lines[13].find_first_not_of(' '), 12u);
    EXPECT_EQ(lines[14].find_first_not_of(' '), 12u);
    EXPECT_NE(lines[14].find("About"), std::string::npos);
}

TEST_F(ShellTest, AboutWindowAsDesigned) {
    start();
    ASSERT_NE(AboutForm, nullptr);
    EXPECT_EQ(AboutForm->caption(), "Quennet 1.2");
    EXPECT_EQ(AboutForm->bounds(), (ui::Rect{270, 209, 270 + 293, 209 + 167}));
    EXPECT_EQ(AboutForm->borderStyle(), ui::BorderStyle::Tool);
    EXPECT_EQ(AboutForm->OKButton->caption(), "OK");
    EXPECT_EQ(AboutForm->OKButton->bounds(), (ui::Rect{104, 140, 179, 165}));
    EXPECT_EQ(AboutForm->AboutLabel->caption(), "");
    EXPECT_EQ(AboutForm->EmailLabel->caption().rfind("email: ", 0), 0u);
    EXPECT_EQ(AboutForm->EmailLabel->font(), (ui::Font{ui::FontFamily::Sans, 9, true, ui::Color{0, 128, 128}}));
    EXPECT_TRUE(AboutForm->AddressLabel->wordWrap());
}

// ---- Start-up ------------------------------------------------------------------------------

TEST_F(ShellTest, TitleIsSetBeforeAnyWindowExists) {
    start();
    ASSERT_FALSE(services.titles.empty());
    EXPECT_EQ(services.titles.front(), "Tolvane Off");
    EXPECT_FALSE(services.mainFormExisted.front());
    EXPECT_EQ(title(), "Tolvane Off");
}

TEST_F(ShellTest, AboutWindowIsCreatedHiddenAfterTheMainWindow) {
    start();
    EXPECT_EQ(log, (EventLog{"created MainForm", "created AboutForm"}));
    ASSERT_EQ(app.forms().size(), 2u);
    EXPECT_EQ(app.forms()[0], MainForm);
    EXPECT_EQ(app.forms()[1], AboutForm);
    EXPECT_FALSE(AboutForm->visible());
    EXPECT_EQ(app.mainForm(), MainForm);
}

TEST_F(ShellTest, RestoreRunsBeforeTheAboutWindowExistsAndBeforeTheMainWindowShows) {
    // A saved armed state with no source makes the restore show its warning box: a
    // window onto the moment FormCreate runs.
    bool aboutExisted = true;
    bool mainVisible = true;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        aboutExisted = AboutForm != nullptr;
        mainVisible = MainForm && MainForm->visible();
    };
    startWith({{"AlarmOn", "1"}});
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].caption, "WARNING!");
    EXPECT_FALSE(aboutExisted);
    EXPECT_FALSE(mainVisible);
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

// ---- Menu commands -----------------------------------------------------------------------

TEST_F(ShellTest, AboutShowsOneWindowAndBringsItToTheFront) {
    start();
    TAboutForm* about = AboutForm;
    click(form().AboutMnu);
    EXPECT_TRUE(about->visible());
    EXPECT_TRUE(about->active());
    user([this] { form().activate(); });  // the user goes back to the main window
    EXPECT_FALSE(about->active());
    click(form().AboutMnu);
    EXPECT_EQ(AboutForm, about);
    EXPECT_EQ(app.forms().size(), 2u);
    EXPECT_TRUE(about->visible());
    EXPECT_TRUE(about->active());
    EXPECT_TRUE(form().enabled());  // modeless: the main window stays usable
}

TEST_F(ShellTest, AboutOkHidesTheSameWindowForNextTime) {
    start();
    TAboutForm* about = AboutForm;
    click(form().AboutMnu);
    click(about->OKButton);
    EXPECT_FALSE(about->visible());
    EXPECT_EQ(AboutForm, about);
    EXPECT_FALSE(loop.quitRequested());
    click(form().AboutMnu);
    EXPECT_TRUE(about->visible());
}

TEST_F(ShellTest, HowToSelectsTheThirdPageAndTwiceChangesNothingMore) {
    start();
    click(form().ProgramDescription1);
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 2);
    click(form().ProgramDescription1);
    EXPECT_EQ(form().TabbedNotebook->pageIndex(), 2);
}

TEST_F(ShellTest, SaveSettingsToggledTwiceWritesNothingUntilShutdown) {
    start();
    click(form().SaveSettingsMnu);
    EXPECT_FALSE(form().SaveSettingsMnu->checked());
    click(form().SaveSettingsMnu);
    EXPECT_TRUE(form().SaveSettingsMnu->checked());
    EXPECT_EQ(store.commits() + store.failedCommits(), 0);
    EXPECT_FALSE(store.hasFile(kIni));
    shutdown();
    EXPECT_NE(iniText().find("Save Settings=1"), std::string::npos);
    EXPECT_NE(iniText().find("AlarmHour=12"), std::string::npos);  // a full save
}

class QuitTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(QuitTest, ExitAndTheCloseBoxBothEndTheLoopWithCodeZero) {
    start();
    const bool viaCloseBox = GetParam();
    user([&] {
        if (viaCloseBox) {
            form().close();
        } else {
            form().ExitMnu->click();
        }
    });
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_EQ(loop.exitCode(), 0);
    EXPECT_NE(MainForm, nullptr);  // not closed first: it goes at shutdown
    shutdown();
    EXPECT_NE(iniText().find("AlarmOn=0"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Shell, QuitTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CloseBox" : "ExitMenu"; });

// ---- Shutdown --------------------------------------------------------------------------------

TEST_F(ShellTest, ShutdownOrderStopsTheSoundBeforeSavingAndClosesTheDeviceAfter) {
    startWithWave(30'000);
    pressTransport(mci::btPlay);
    ASSERT_TRUE(device.playing());
    bool aboutGoneAtStop = false;
    bool mainHiddenAtStop = false;
    device.beforeRequest = [&](mci::UINT message, mci::DWORD) {
        if (message == mci::MCI_STOP) {
            aboutGoneAtStop = AboutForm == nullptr;
            mainHiddenAtStop = MainForm && !MainForm->visible();
        }
    };
    user([this] { form().show(); });
    log.clear();
    shutdown();
    EXPECT_EQ(log, (EventLog{"destroying AboutForm", "MCI_STOP", "commit", "destroying MainForm", "MCI_CLOSE"}));
    EXPECT_TRUE(aboutGoneAtStop);
    EXPECT_TRUE(mainHiddenAtStop);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(loop.activeTimers(), 0u);
}

TEST_F(ShellTest, ShutdownWithNothingPlayingSendsNoStop) {
    startWithWave();
    log.clear();
    shutdown();
    EXPECT_EQ(log, (EventLog{"destroying AboutForm", "commit", "destroying MainForm", "MCI_CLOSE"}));
}

}  // namespace
}  // namespace formtest
