// The main window: its designed layout, the event bindings and the menu commands.
#include "forms/main_form.h"

#include "forms/about_form.h"

namespace forms {

TMainForm* MainForm = nullptr;
bool AlarmOn = false;
bool FormReady = true;

namespace {

using ui::Bevel;
using ui::Color;
using ui::Font;
using ui::FontFamily;
namespace colors = ui::colors;

const Font sans8{FontFamily::Sans, 8, false, colors::windowText};
const Font sans10{FontFamily::Sans, 10, false, colors::windowText};

const char* const radioHint = "Double Click to choose another file.";

const std::vector<std::string> howToText = {
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
    "Tolvane is free software, made to wake you on time.",
    "            Questions, ideas and bug reports are welcome;",
    "            choose About under the Help menu to reach us.",
};

template <class T>
T* place(ui::Component* parent, const char* name, int left, int top, int width, int height) {
    auto* control = parent->add<T>(name);
    control->setBounds(left, top, width, height);
    return control;
}

}  // namespace

TMainForm::TMainForm(ui::Application& app, const MainFormServices& services)
    : ui::Form(app, "MainForm"), app_(app), services_(services) {
    MainForm = this;
    buildLayout();
    bindEvents();
    doCreate();
}

TMainForm::~TMainForm() {
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::buildLayout() {
    setCaption("Tolvane 1.2");
    setBounds(193, 147, 417, 270);
    setBorderStyle(ui::BorderStyle::Single);
    setFont(sans8);
    setIcon("tolvane-16");

    LastWaveLabel = place<ui::Label>(this, "LastWaveLabel", 32, 240, 75, 13);
    LastWaveLabel->setCaption("LastWaveLabel");
    LastWaveLabel->setVisible(false);
    LastMidiLabel = place<ui::Label>(this, "LastMidiLabel", 272, 240, 65, 13);
    LastMidiLabel->setCaption("LastMidiLabel");
    LastMidiLabel->setVisible(false);

    DarkLineShape = place<ui::Shape>(this, "DarkLineShape", 0, 0, 417, 1);
    DarkLineShape->setColors(colors::grey, colors::grey);
    LightLineShape = place<ui::Shape>(this, "LightLineShape", 0, 1, 417, 1);
    LightLineShape->setColors(colors::white, colors::white);

    TimePanel = place<ui::Panel>(this, "TimePanel", 16, 8, 385, 65);
    TimePanel->setBevels(Bevel::Lowered, Bevel::None);
    TimePanel->setColor(colors::black);
    TimePanel->setAlignment(ui::Alignment::Center);
    TimePanel->setFont({FontFamily::Serif, 48, true, colors::teal});
    TimePanel->setTabOrder(0);
    TimePanel->setAccessibleName("Clock");

    TabbedNotebook = place<ui::TabbedNotebook>(this, "TabbedNotebook", 48, 80, 321, 153);
    TabbedNotebook->setFont({FontFamily::Sans, 8, false, colors::btnText});
    TabbedNotebook->setTabOrder(1);
    TabbedNotebook->setTabStop(true);
    buildMediaPage(TabbedNotebook->addPage("M&edia Type"));
    buildAlarmPage(TabbedNotebook->addPage("&Set Alarm"));
    buildInfoPage(TabbedNotebook->addPage("How &To"));

    OnOffBtn = place<ui::Button>(this, "OnOffBtn", 160, 240, 75, 25);
    OnOffBtn->setCaption("&ALARM");
    OnOffBtn->setFont({FontFamily::Sans, 10, true, colors::grey});
    OnOffBtn->setTabOrder(2);
    OnOffBtn->setTabStop(true);

    ClockTimer = add<ui::Timer>("ClockTimer");
    ClockTimer->setInterval(1000);
    ClockTimer->setPhase(sys::TimerPhase::WallClockSecond);

    OpenDialog = add<ui::OpenDialog>("OpenDialog");
    buildMenu();
}

void TMainForm::buildMediaPage(ui::NotebookPage* page) {
    MediaPanel = place<ui::Panel>(page, "MediaPanel", 8, 8, 297, 113);
    MediaPanel->setBevels(Bevel::Lowered, Bevel::None);
    MediaPanel->setTabOrder(0);
    MediaPanel->setAccessibleName("Media type");

    TimeLabel = place<ui::Label>(MediaPanel, "TimeLabel", 24, 88, 3, 16);
    TimeLabel->setAutoSize(true);
    TimeLabel->setFont(sans10);
    TimeIndexLabel = place<ui::Label>(MediaPanel, "TimeIndexLabel", 68, 88, 3, 16);
    TimeIndexLabel->setAutoSize(true);
    TimeIndexLabel->setFont({FontFamily::Sans, 10, false, colors::blue});
    TimeLabel->setFocusControl(TimeIndexLabel);

    struct Radio {
        ui::RadioButton*& control;
        const char* name;
        const char* caption;
        int top, width, tabOrder;
    };
    for (const Radio& r : {Radio{CDRadioButton, "CDRadioButton", "Music &CD", 8, 73, 2},
                           Radio{WavRadioButton, "WavRadioButton", "&Wave File", 32, 73, 3},
                           Radio{MidiRadioButton, "MidiRadioButton", "&Music File", 56, 65, 4}}) {
        r.control = place<ui::RadioButton>(MediaPanel, r.name, 208, r.top, r.width, 17);
        r.control->setCaption(r.caption);
        r.control->setHint(radioHint, true);
        r.control->setTabOrder(r.tabOrder);
        r.control->setTabStop(true);
    }

    MediaPlayer = MediaPanel->add<mci::TMediaPlayer>("MediaPlayer", services_.media);
    MediaPlayer->beginLoading();
    MediaPlayer->setBounds(21, 45, 169, 30);
    MediaPlayer->setVisibleButtons({mci::btPlay, mci::btPause, mci::btStop, mci::btNext, mci::btPrev, mci::btEject});
    const mci::TButtonSet allButRecord{mci::btPlay, mci::btPause, mci::btStop, mci::btNext,
                                       mci::btPrev, mci::btStep,  mci::btBack, mci::btEject};
    MediaPlayer->setEnabledButtons(allButRecord);
    MediaPlayer->setColoredButtons(allButRecord);
    MediaPlayer->setDeviceType(mci::dtAutoSelect);
    MediaPlayer->setShareable(false);
    MediaPlayer->setAutoOpen(false);
    MediaPlayer->setAutoRewind(true);
    MediaPlayer->setAutoEnable(true);
    MediaPlayer->setDisplay(MediaPlayer);
    MediaPlayer->setTabOrder(0);
    MediaPlayer->setTabStop(true);  // the keyboard's way to the buttons
    MediaPlayer->setAccessibleName("Player");
    MediaPlayer->loaded();

    FilePanel = place<ui::Panel>(MediaPanel, "FilePanel", 8, 13, 193, 25);
    FilePanel->setAlignment(ui::Alignment::Left);
    FilePanel->setBevels(Bevel::Lowered, Bevel::Raised);
    FilePanel->setColor(colors::white);
    FilePanel->setTabOrder(1);
    FilePanel->setAccessibleName("Sound source");
}

void TMainForm::buildAlarmPage(ui::NotebookPage* page) {
    AlarmPanel = place<ui::Panel>(page, "AlarmPanel", 8, 8, 297, 97);
    AlarmPanel->setBevels(Bevel::Lowered, Bevel::None);
    AlarmPanel->setTabOrder(0);
    AlarmPanel->setAccessibleName("Alarm");

    MsgLabel = place<ui::Label>(AlarmPanel, "MsgLabel", 16, 48, 70, 13);
    MsgLabel->setCaption("Message Text:");

    AMPMUpDown = place<ui::UpDown>(AlarmPanel, "AMPMUpDown", 161, 16, 16, 21);
    AMPMUpDown->setRange(0, 1);
    AMPMUpDown->setPosition(0);
    AMPMUpDown->setWrap(true);
    AMPMUpDown->setTabOrder(0);
    AlarmMinuteUpDown = place<ui::UpDown>(AlarmPanel, "AlarmMinuteUpDown", 105, 16, 16, 21);
    AlarmMinuteUpDown->setRange(0, 59);
    AlarmMinuteUpDown->setPosition(0);
    AlarmMinuteUpDown->setWrap(true);
    AlarmMinuteUpDown->setTabOrder(1);
    AlarmHourUpDown = place<ui::UpDown>(AlarmPanel, "AlarmHourUpDown", 49, 16, 12, 21);
    AlarmHourUpDown->setRange(1, 12);
    AlarmHourUpDown->setPosition(12);
    AlarmHourUpDown->setWrap(true);
    AlarmHourUpDown->setTabOrder(8);

    AlarmAMPMEdit = place<ui::Edit>(AlarmPanel, "AlarmAMPMEdit", 136, 16, 25, 21);
    AlarmAMPMEdit->setReadOnly(true);
    AlarmAMPMEdit->setTabOrder(4);
    AlarmHourEdit = place<ui::Edit>(AlarmPanel, "AlarmHourEdit", 24, 16, 25, 21);
    AlarmHourEdit->setText("12");
    AlarmHourEdit->setTabOrder(2);
    AlarmHourUpDown->setAssociate(AlarmHourEdit);
    AlarmMinuteEdit = place<ui::Edit>(AlarmPanel, "AlarmMinuteEdit", 80, 16, 25, 21);
    AlarmMinuteEdit->setTabOrder(3);
    // Up and Down in the minute and AM/PM boxes click their arrows.
    AlarmMinuteUpDown->setArrowKeyBox(AlarmMinuteEdit);
    AMPMUpDown->setArrowKeyBox(AlarmAMPMEdit);
    MessageEdit = place<ui::Edit>(AlarmPanel, "MessageEdit", 16, 64, 257, 25);
    MessageEdit->setHint("Enter reminder message here.", true);
    MessageEdit->setTabOrder(5);
    MsgLabel->setFocusControl(MessageEdit);
    // The time row has no labels of its own.
    AlarmHourEdit->setAccessibleName("Alarm hour");
    AlarmHourUpDown->setAccessibleName("Alarm hour");
    AlarmMinuteEdit->setAccessibleName("Alarm minute");
    AlarmMinuteUpDown->setAccessibleName("Alarm minute");
    AlarmAMPMEdit->setAccessibleName("AM or PM");
    AMPMUpDown->setAccessibleName("AM or PM");

    struct Check {
        ui::CheckBox*& control;
        const char* name;
        const char* caption;
        int top, width, tabOrder;
        bool checked;
    };
    for (const Check& c : {Check{AudioCheckBox, "AudioCheckBox", "Audio", 4, 57, 6, true},
                           Check{MsgCheckBox, "MsgCheckBox", "Message", 20, 73, 7, false},
                           Check{RepeatCheckBox, "RepeatCheckBox", "Auto Off", 36, 97, 9, false}}) {
        c.control = place<ui::CheckBox>(AlarmPanel, c.name, 192, c.top, c.width, 17);
        c.control->setCaption(c.caption);
        c.control->setChecked(c.checked);
        c.control->setTabOrder(c.tabOrder);
        c.control->setTabStop(true);
    }
}

void TMainForm::buildInfoPage(ui::NotebookPage* page) {
    InfoScrollBox = place<ui::ScrollBox>(page, "InfoScrollBox", 0, 0, 313, 121);
    InfoScrollBox->setHorizontalBarVisible(false);
    InfoScrollBox->setTabOrder(0);
    InfoMemo = place<ui::Memo>(InfoScrollBox, "InfoMemo", 0, 0, 297, 210);
    InfoMemo->setLines(howToText);
    InfoMemo->setWordWrap(true);
    InfoMemo->setReadOnly(false);
    InfoMemo->setTabOrder(0);
    InfoMemo->setAccessibleName("Instructions");
}

void TMainForm::buildMenu() {
    MainMenu = add<ui::MainMenu>("MainMenu");
    FileMnu = MainMenu->addItem("FileMnu", "&File");
    SaveSettingsMnu = FileMnu->addItem("SaveSettingsMnu", "&Save Settings");
    SaveSettingsMnu->setChecked(true);
    MnuBreak1 = FileMnu->addItem("MnuBreak1", "-");
    ExitMnu = FileMnu->addItem("ExitMnu", "E&xit");
    HelpMnu = MainMenu->addItem("HelpMnu", "&Help");
    ProgramDescription1 = HelpMnu->addItem("ProgramDescription1", "&How To");
    N1 = HelpMnu->addItem("N1", "-");
    AboutMnu = HelpMnu->addItem("AboutMnu", "&About");
    setMenu(MainMenu);
}

void TMainForm::bindEvents() {
    using namespace std::placeholders;
    onCreate = [this](ui::Component* s) { FormCreate(s); };
    onDestroy = [this](ui::Component* s) { FormDestroy(s); };
    ClockTimer->setOnTimer([this](ui::Component* s) { ClockTimerTimer(s); });
    OnOffBtn->onClick = [this](ui::Component* s) { OnOffBtnClick(s); };

    AMPMUpDown->onClick = std::bind(&TMainForm::AMPMUpDownClick, this, _1, _2);
    AlarmMinuteUpDown->onClick = std::bind(&TMainForm::AlarmMinuteUpDownClick, this, _1, _2);
    AlarmHourEdit->onChange = [this](ui::Component* s) { AlarmHourEditChange(s); };
    AlarmHourEdit->onKeyPress = std::bind(&TMainForm::AlarmHourEditKeyPress, this, _1, _2);
    AlarmMinuteEdit->onChange = [this](ui::Component* s) { AlarmMinuteEditChange(s); };
    AlarmMinuteEdit->onExit = [this](ui::Component* s) { AlarmMinuteEditExit(s); };
    AlarmMinuteEdit->onKeyPress = std::bind(&TMainForm::AlarmMinuteEditKeyPress, this, _1, _2);
    AlarmMinuteEdit->onMouseMove = std::bind(&TMainForm::AlarmMinuteEditMouseMove, this, _1, _2);
    AlarmAMPMEdit->onChange = [this](ui::Component* s) { AlarmAMPMEditChange(s); };
    AlarmAMPMEdit->onKeyPress = std::bind(&TMainForm::AlarmAMPMEditKeyPress, this, _1, _2);

    CDRadioButton->onClick = [this](ui::Component* s) { CDRadioButtonClick(s); };
    CDRadioButton->onDblClick = [this](ui::Component* s) { CDRadioButtonClick(s); };
    WavRadioButton->onClick = [this](ui::Component* s) { WavRadioButtonClick(s); };
    WavRadioButton->onDblClick = [this](ui::Component* s) { WavRadioButtonDblClick(s); };
    MidiRadioButton->onClick = [this](ui::Component* s) { MidiRadioButtonClick(s); };
    MidiRadioButton->onDblClick = [this](ui::Component* s) { MidiRadioButtonDblClick(s); };
    MediaPlayer->onPostClick = std::bind(&TMainForm::MediaPlayerPostClick, this, _1, _2);
    MediaPlayer->onNotify = [this](ui::Component* s) { MediaPlayerNotify(s); };

    SaveSettingsMnu->onClick = [this](ui::Component* s) { SaveSettingsMnuClick(s); };
    ExitMnu->onClick = [this](ui::Component* s) { ExitMnuClick(s); };
    ProgramDescription1->onClick = [this](ui::Component* s) { ProgramDescription1Click(s); };
    AboutMnu->onClick = [this](ui::Component* s) { AboutMnuClick(s); };
}

// ---- Menu commands ----------------------------------------------------------------

void TMainForm::SaveSettingsMnuClick(ui::Component*) {
    // The check mark is read at shutdown; an armed alarm that will not be saved will not
    // be restored either, so the start with the next session follows it now.
    SaveSettingsMnu->setChecked(!SaveSettingsMnu->checked());
    followArming();
}

void TMainForm::ExitMnuClick(ui::Component*) { app_.terminate(); }

void TMainForm::ProgramDescription1Click(ui::Component*) { TabbedNotebook->setPageIndex(2); }

void TMainForm::AboutMnuClick(ui::Component*) {
    if (AboutForm) AboutForm->show();
}

}  // namespace forms
