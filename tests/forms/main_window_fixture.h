// The main window on the virtual-time platform: a scripted media device, in-memory
// settings, scripted boxes and dialogs. Each test starts the program as the entry point
// does and delivers every user action through the application's dispatcher.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forms/about_form.h"
#include "forms/main_form.h"
#include "forms/program.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"

namespace formtest {

using namespace std::chrono_literals;
using namespace forms;  // the forms under test

inline const std::string kIni = "tolvan.ini";
inline const std::string kWave = "/home/ann/sounds/cock-a-doodle.wav";
inline const std::string kMidi = "/home/ann/music/reveille.mid";

using IniLines = std::vector<std::pair<std::string, std::string>>;
using Texts = std::vector<std::string>;
using Boxes = std::vector<fakes::BoxRecord>;

// The scripted device, logging each command (status queries aside) and the display at
// each play. A sound of soundMs ends by itself that long after it was started.
class LoggingDevice : public fakes::ScriptedDevice {
public:
    explicit LoggingDevice(fakes::VirtualLoop& loop) : fakes::ScriptedDevice(loop.queue()), loop_(loop) {}

    mci::MCIERROR sendCommand(mci::MCIDEVICEID id, mci::UINT message, mci::DWORD flags, void* params) override {
        if (message != mci::MCI_STATUS && message != mci::MCI_GETDEVCAPS) log.push_back(fakes::messageName(message));
        if (beforeRequest) beforeRequest(message);
        const mci::MCIERROR result = fakes::ScriptedDevice::sendCommand(id, message, flags, params);
        if (message == mci::MCI_PLAY) {
            plays.push_back(MainForm->TimePanel->caption());
            loop_.stopTimer(end_);
            if (soundMs)
                end_ = loop_.startTimer(std::chrono::milliseconds(soundMs), sys::TimerPhase::Free, [this] {
                    loop_.stopTimer(end_);
                    if (mode == mci::MCI_MODE_PLAY) finishPlaying();
                });
        }
        return result;
    }

    int soundMs = 0;  // 0: plays until stopped
    Texts log;
    Texts plays;
    std::function<void(mci::UINT message)> beforeRequest;

private:
    fakes::VirtualLoop& loop_;
    sys::TimerId end_ = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    // Half a second past 7:04:00 unless told otherwise: a tick that kept the timer's own
    // phase would show late.
    explicit MainWindowTest(sys::LocalTime startTime = {2026, 12, 7, 7, 4, 0, 500}) : loop(startTime) {
        AlarmOn = false;
        FormReady = true;
    }

    // Starts the program; with lines, on a settings file that holds them.
    void start(const IniLines& lines = {}) {
        std::string text = "[Saved Settings]\n";
        for (const auto& [key, value] : lines) text += key + "=" + value + "\n";
        if (!lines.empty()) store.setFileText(kIni, text);
        program = std::make_unique<forms::Program>(
            app, forms::MainFormServices{device, store, loop, locale, tone, sleep, volume, session});
        program->start();
    }
    // A wave file restored as the source; keys in `more` come first and win.
    void startWithWave(IniLines more = {}) {
        more.insert(more.end(), {{"LastFileName", kWave}, {"LastWave", kWave}, {"LastType", "Wave"}});
        start(more);
    }
    // The wave file, armed for 7:05 AM.
    void startArmed(IniLines more = {}) {
        more.insert(more.end(), {{"AlarmHour", "7"}, {"AlarmMin", "5"}, {"AlarmOn", "1"}});
        startWithWave(more);
    }
    void shutdown() { program.reset(); }

    forms::TMainForm& form() { return *program->mainForm(); }
    std::string iniText() const { return store.fileText(kIni).value_or("<no file>"); }
    // The armed state shows in the flag, the ALARM button's colour and the title.
    void expectAlarm(bool armed, const std::string& title) {
        EXPECT_EQ(AlarmOn, armed);
        EXPECT_EQ(form().OnOffBtn->font().color, (armed ? ui::Color{255, 0, 0} : ui::Color{128, 128, 128}));
        EXPECT_EQ(app.title(), title);
    }
    // What the media page shows: the source (its alignment in brackets) and the time.
    std::string mediaShows() {
        const bool right = form().FilePanel->alignment() == ui::Alignment::Right;
        return form().FilePanel->caption() + (right ? " [right] " : " [left] ") + form().TimeLabel->caption() + " " +
               form().TimeIndexLabel->caption();
    }
    // The names of the checked media radio buttons.
    std::string checkedSource() {
        std::string names;
        for (ui::RadioButton* r : {form().CDRadioButton, form().WavRadioButton, form().MidiRadioButton})
            if (r->checked()) names += r->name();
        return names;
    }

    // One user action, delivered like an event from the message loop.
    void user(const std::function<void()>& action) { app.dispatch(action); }
    template <class C>
    void click(C* c) {
        user([c] { c->click(); });
    }
    void doubleClick(ui::RadioButton* r) {
        click(r);
        user([r] { r->doubleClick(); });
    }
    void chooseFile(ui::RadioButton* r, const std::string& path) {
        services.dialogAnswers.push_back(path);
        doubleClick(r);
    }
    void pressTransport(mci::TMPBtnType button) {
        user([this, button] {
            mci::TMediaPlayer* mp = form().MediaPlayer;
            const ui::Point at{mp->buttonLeft(button) + mp->buttonWidth() / 2, mp->height() / 2};
            mp->mouseDown(at);
            mp->mouseUp(at);
        });
    }
    // Runs up to and including the tick of the given time (ticks come 2 ms after each second).
    void runTo(int hour, int minute, int second) { loop.advanceTo(hour, minute, second, 2); }

    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    LoggingDevice device{loop};
    fakes::MemoryProfileStore store;
    fakes::FixedLocale locale;
    fakes::RecordingTone tone;
    fakes::RecordingInhibitor sleep;
    fakes::RecordingVolume volume;
    fakes::RecordingSessionStart session;
    ui::Application app{loop, services};
    std::unique_ptr<forms::Program> program;
};

}  // namespace formtest
