// Both windows of the program in native controls: their designed geometry, input that
// goes through the model before it reaches a control, and the title on the task bar.
#include <gtest/gtest.h>

#include <windows.h>
//
#include <commctrl.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/platform/win32/program_in_windows.h"
#include "ui/controls.h"

namespace {

std::string textOf(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// The window's rectangle in the client coordinates of `ancestor`.
RECT rectIn(HWND hwnd, HWND ancestor) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, ancestor, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// One program for all the tests of a suite: under Wine without a window manager every
// window taken off the screen waits a second or two for one to answer.
class View : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shown = new win32test::ProgramInWindows; }
    static void TearDownTestSuite() {
        delete shown;
        shown = nullptr;
    }
    static forms::TMainForm& main() { return *shown->program.mainForm(); }
    static HWND hwnd(const ui::Component& c) { return shown->hwnd(c); }

    static win32test::ProgramInWindows* shown;
};

win32test::ProgramInWindows* View::shown = nullptr;

struct Placement {
    const char* name;
    // The control, and whether it lies in the About window.
    std::function<const ui::Control&(forms::Program&)> control;
    bool about;
    RECT expected;  // in the window's client area
};

void PrintTo(const Placement& p, std::ostream* out) { *out << p.name; }

class Layout : public View, public ::testing::WithParamInterface<Placement> {};

TEST_P(Layout, ControlLiesWhereDesigned) {
    const Placement& p = GetParam();
    const ui::Form& form = p.about ? static_cast<ui::Form&>(*shown->program.aboutForm()) : main();
    const RECT r = rectIn(hwnd(p.control(shown->program)), static_cast<HWND>(shown->view.window(form)));
    EXPECT_EQ(r.left, p.expected.left);
    EXPECT_EQ(r.top, p.expected.top);
    EXPECT_EQ(r.right - r.left, p.expected.right);
    EXPECT_EQ(r.bottom - r.top, p.expected.bottom);
}

// Left, top, width, height in the client area. Controls on a page lie below the tab row
// and inside the notebook's border.
INSTANTIATE_TEST_SUITE_P(
    BothWindows, Layout,
    ::testing::Values(Placement{"TimePanel",
                                [](forms::Program& p) -> const ui::Control& { return *p.mainForm()->TimePanel; },
                                false,
                                {16, 8, 385, 65}},
                      Placement{"OnOffBtn",
                                [](forms::Program& p) -> const ui::Control& { return *p.mainForm()->OnOffBtn; },
                                false,
                                {160, 240, 75, 25}},
                      Placement{"TabbedNotebook",
                                [](forms::Program& p) -> const ui::Control& { return *p.mainForm()->TabbedNotebook; },
                                false,
                                {48, 80, 321, 153}},
                      Placement{"MediaPanel",
                                [](forms::Program& p) -> const ui::Control& { return *p.mainForm()->MediaPanel; },
                                false,
                                {48 + 4 + 8, 80 + 24 + 4 + 8, 297, 113}},
                      Placement{"MediaPlayer",
                                [](forms::Program& p) -> const ui::Control& { return *p.mainForm()->MediaPlayer; },
                                false,
                                {60 + 21, 116 + 45, 169, 30}},
                      Placement{"OKButton",
                                [](forms::Program& p) -> const ui::Control& { return *p.aboutForm()->OKButton; },
                                true,
                                {104, 140, 75, 25}},
                      Placement{"AddressLabel",
                                [](forms::Program& p) -> const ui::Control& { return *p.aboutForm()->AddressLabel; },
                                true,
                                {48, 48, 185, 48}}),
    [](const ::testing::TestParamInfo<Placement>& info) { return std::string(info.param.name); });

TEST_F(View, WindowsHaveTheDesignedClientSizes) {
    RECT r;
    GetClientRect(static_cast<HWND>(shown->view.window(main())), &r);
    EXPECT_EQ(r.right, 417);
    EXPECT_EQ(r.bottom, 270);
    GetClientRect(static_cast<HWND>(shown->view.window(*shown->program.aboutForm())), &r);
    EXPECT_EQ(r.right, 293);
    EXPECT_EQ(r.bottom, 167);
}

// The minute box takes digits only: its key-press event cancels a letter, which then
// never reaches the box; a digit reaches both the box and the model's text.
TEST_F(View, TypedCharacterGoesThroughTheKeyPressEvent) {
    HWND minute = hwnd(*main().AlarmMinuteEdit);
    const std::string before = main().AlarmMinuteEdit->text();
    SendMessageW(minute, WM_CHAR, 'x', 0);
    EXPECT_EQ(textOf(minute), before);
    EXPECT_EQ(main().AlarmMinuteEdit->text(), before);
    SendMessageW(minute, WM_CHAR, '5', 0);
    EXPECT_NE(textOf(minute).find('5'), std::string::npos);
    EXPECT_EQ(main().AlarmMinuteEdit->text(), textOf(minute));
}

// A click on the upper arrow steps the model up, and the model writes the box.
TEST_F(View, UpperArrowStepsTheModelUp) {
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    HWND arrows = hwnd(*main().AlarmMinuteUpDown);
    const int before = main().AlarmMinuteUpDown->position();
    SendMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 3));
    SendMessageW(arrows, WM_LBUTTONUP, 0, MAKELPARAM(8, 3));
    EXPECT_EQ(main().AlarmMinuteUpDown->position(), (before + 1) % 60);
    EXPECT_EQ(textOf(hwnd(*main().AlarmMinuteEdit)), main().AlarmMinuteEdit->text());
}

// A click asks the model, and the check mark shows what the model then holds.
TEST_F(View, CheckBoxShowsWhatTheModelDecides) {
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    HWND audio = hwnd(*main().AudioCheckBox);
    const bool before = main().AudioCheckBox->checked();
    SendMessageW(audio, BM_CLICK, 0, 0);
    EXPECT_NE(main().AudioCheckBox->checked(), before);
    EXPECT_EQ(SendMessageW(audio, BM_GETCHECK, 0, 0) == BST_CHECKED, main().AudioCheckBox->checked());
}

// A menu command reaches its item, and the item's check mark follows the model.
TEST_F(View, MenuCommandReachesItsItem) {
    HWND mainWindow = static_cast<HWND>(shown->view.window(main()));
    HMENU file = GetSubMenu(GetMenu(mainWindow), 0);
    const UINT save = GetMenuItemID(file, 0);
    const bool before = main().SaveSettingsMnu->checked();
    SendMessageW(mainWindow, WM_COMMAND, save, 0);
    EXPECT_NE(main().SaveSettingsMnu->checked(), before);
    EXPECT_EQ((GetMenuState(file, save, MF_BYCOMMAND) & MF_CHECKED) != 0, main().SaveSettingsMnu->checked());
}

// Tab moves in the model's tab order, which differs from the order of creation.
TEST_F(View, TabFollowsTheModelsTabOrder) {
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    SetFocus(hwnd(*main().AlarmHourEdit));
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(shown->view.preTranslate(&tab));
    EXPECT_EQ(GetFocus(), hwnd(*main().AlarmMinuteEdit));
}

// Tab from the notebook's tabs enters the page shown (the tabs come first though the
// pages lie above them), and a page put away gives the focus to the tabs.
TEST_F(View, TabFromTheTabsEntersThePage) {
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    SetFocus(hwnd(*main().MessageEdit));
    win32test::pumpMessages();
    main().TabbedNotebook->setPageIndex(0);
    win32test::pumpMessages();
    HWND tabs = FindWindowExW(hwnd(*main().TabbedNotebook), nullptr, WC_TABCONTROLW, nullptr);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(GetFocus(), tabs);
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    MSG tab{tabs, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(shown->view.preTranslate(&tab));
    EXPECT_EQ(GetFocus(), hwnd(*main().AlarmHourEdit));
}

// Coming back to the window (from a box or the file dialog) gives the focus back to the
// control that had it, not to the window itself.
TEST_F(View, TheFocusComesBackWithTheWindow) {
    HWND mainWindow = static_cast<HWND>(shown->view.window(main()));
    main().TabbedNotebook->setPageIndex(1);
    win32test::pumpMessages();
    SetFocus(hwnd(*main().MessageEdit));
    HWND other = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(other);
    win32test::pumpMessages();
    SetActiveWindow(mainWindow);
    win32test::pumpMessages();
    EXPECT_EQ(GetFocus(), hwnd(*main().MessageEdit));
    DestroyWindow(other);
}

// The task-bar button's window shows the application title; the main window keeps its
// caption.
TEST_F(View, TaskBarShowsTheApplicationTitle) {
    HWND mainWindow = static_cast<HWND>(shown->view.window(main()));
    HWND taskBar = GetWindow(mainWindow, GW_OWNER);
    ASSERT_NE(taskBar, nullptr);
    EXPECT_EQ(textOf(taskBar), shown->app.title());
    shown->app.setTitle("Tolvane @7:05AM");
    EXPECT_EQ(textOf(taskBar), "Tolvane @7:05AM");
    EXPECT_EQ(textOf(mainWindow), "Tolvane 1.2");
}

// A log-off must give the program its chance to save before the process may be ended;
// a log-off that was called off must not.
TEST_F(View, EndOfTheSessionLetsTheProgramSave) {
    HWND taskBar = GetWindow(static_cast<HWND>(shown->view.window(main())), GW_OWNER);
    int saves = 0;
    shown->view.onSessionEnd = [&saves] { ++saves; };
    SendMessageW(taskBar, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(saves, 0);
    SendMessageW(taskBar, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(saves, 1);
    shown->view.onSessionEnd = nullptr;
}

// The first show of a run: a program started with the session shows its task-bar
// button minimised and leaves the focus alone until the user picks the button;
// otherwise the main window comes up shown and active.
class FirstShow : public ::testing::TestWithParam<bool> {};

TEST_P(FirstShow, MinimisedOnlyWhenAskedAndBroughtBackByTheUser) {
    const bool minimised = GetParam();
    win32test::ProgramInWindows shown(win32test::ProgramInWindows::Run{minimised});
    HWND mainWindow = static_cast<HWND>(shown.view.window(*shown.program.mainForm()));
    HWND taskBar = GetWindow(mainWindow, GW_OWNER);
    ASSERT_NE(taskBar, nullptr);
    EXPECT_EQ(IsIconic(taskBar) != FALSE, minimised);
    if (minimised) {
        EXPECT_NE(GetActiveWindow(), mainWindow);
        EXPECT_EQ(shown.app.activeForm(), nullptr);
        ShowWindow(taskBar, SW_RESTORE);
        win32test::pumpMessages();
        EXPECT_FALSE(IsIconic(taskBar));
    } else {
        EXPECT_EQ(GetActiveWindow(), mainWindow);
        EXPECT_EQ(shown.app.activeForm(), shown.program.mainForm());
    }
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_FALSE(IsIconic(mainWindow));
}

INSTANTIATE_TEST_SUITE_P(Start, FirstShow, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Minimised" : "Normal");
});

// A notice goes to a balloon from the tray icon, which exists once the title is shown.
TEST_F(View, NoticeNeedsTheTrayIcon) {
    win32::Win32View bare;
    EXPECT_FALSE(bare.showNotice("The alarm is set"));
    shown->app.setTitle("Tolvane @7:05AM");
    if (!shown->view.showNotice("The alarm is set")) GTEST_SKIP() << "the shell here has no tray";
}

}  // namespace
