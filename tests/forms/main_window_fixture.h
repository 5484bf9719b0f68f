// The main window on the virtual-time platform: a scripted media device, in-memory
// settings files, scripted boxes and dialogs. Each test starts the program as the entry
// point does and delivers every user action through the application's dispatcher.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
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

inline constexpr ui::LocalTime kMonday0704{2026, 12, 7, 7, 4, 0, 0};
inline const std::string kIni = "tolvan.ini";
inline const std::string kWave = "/home/ann/sounds/cock-a-doodle.wav";
inline const std::string kMidi = "/home/ann/music/reveille.mid";
inline const std::string kWarning =
    "You have not selected an output file or device on the Media Type tab or did not turn on a "
    "message or alarm on the Set Alarm tab.";
inline const ui::Color kRed{255, 0, 0};
inline const ui::Color kGrey{128, 128, 128};

// Device commands, settings commits and forms going away, in order.
using EventLog = std::vector<std::string>;

// The scripted device, logging every command (not status or capability queries), with a
// hook that runs before each request.
class LoggingDevice : public fakes::ScriptedDevice {
public:
    LoggingDevice(fakes::VirtualLoop& loop, EventLog& log) : fakes::ScriptedDevice(loop.queue()), loop_(loop), log_(log) {}

    mci::MCIERROR sendCommand(mci::MCIDEVICEID id, mci::UINT message, mci::DWORD flags, void* params) override {
        if (message != mci::MCI_STATUS && message != mci::MCI_GETDEVCAPS) log_.push_back(fakes::messageName(message));
        if (message == mci::MCI_PLAY) plays.push_back({loop_.elapsedMs(), MainForm ? MainForm->TimePanel->caption() : ""});
        if (beforeRequest) beforeRequest(message, flags);
        return fakes::ScriptedDevice::sendCommand(id, message, flags, params);
    }

    std::function<void(mci::UINT message, mci::DWORD flags)> beforeRequest;
    struct Play {
        std::int64_t at;  // virtual time
        std::string display;
    };
    std::vector<Play> plays;

    bool playing() const { return mode == mci::MCI_MODE_PLAY; }

private:
    fakes::VirtualLoop& loop_;
    EventLog& log_;
};

// The in-memory settings store, logging each commit and its outcome.
class LoggingStore : public fakes::MemoryProfileStore {
public:
    explicit LoggingStore(EventLog& log) : log_(log) {}

    std::unique_ptr<ui::ProfileBatch> beginBatch(const std::string& file) override {
        class Batch : public ui::ProfileBatch {
        public:
            Batch(std::unique_ptr<ui::ProfileBatch> inner, EventLog& log) : inner_(std::move(inner)), log_(log) {}
            void eraseSection(const std::string& s) override { inner_->eraseSection(s); }
            void writeString(const std::string& s, const std::string& k, const std::string& v) override {
                inner_->writeString(s, k, v);
            }
            bool commit() override {
                const bool ok = inner_->commit();
                log_.push_back(ok ? "commit" : "commit failed");
                return ok;
            }

        private:
            std::unique_ptr<ui::ProfileBatch> inner_;
            EventLog& log_;
        };
        return std::make_unique<Batch>(fakes::MemoryProfileStore::beginBatch(file), log_);
    }

private:
    EventLog& log_;
};

// Notes, for every title written, whether the main window existed then.
class RecordingServices : public fakes::ScriptedServices {
public:
    void applicationTitleChanged(const std::string& title) override {
        mainFormExisted.push_back(MainForm != nullptr);
        fakes::ScriptedServices::applicationTitleChanged(title);
    }
    std::vector<bool> mainFormExisted;
};

using IniLines = std::vector<std::pair<std::string, std::string>>;

inline std::string iniWith(const IniLines& lines) {
    std::string text = "[Saved Settings]\n";
    for (const auto& [key, value] : lines) text += key + "=" + value + "\n";
    return text;
}

class MainWindowTest : public ::testing::Test {
protected:
    explicit MainWindowTest(ui::LocalTime start = kMonday0704) : loop(start) {}

    void SetUp() override {
        AlarmOn = false;
        FormReady = true;
    }
    void TearDown() override { program.reset(); }

    void start() {
        program = std::make_unique<Program>(app, MainFormServices{device, store, loop, locale});
        program->onFormCreated = [this](ui::Form& f) { log.push_back("created " + f.name()); };
        program->onFormDestroying = [this](ui::Form& f) { log.push_back("destroying " + f.name()); };
        program->start();
    }
    void startWith(const IniLines& lines) {
        store.setFileText(kIni, iniWith(lines));
        start();
    }
    // A wave file of lengthMs restored as the source; keys in `more` come first and win.
    void startWithWave(int lengthMs = 3000, IniLines more = {}) {
        device.profiles["WaveAudio"] = fakes::DeviceProfile::waveAudio(static_cast<mci::DWORD>(lengthMs));
        more.insert(more.end(), {{"LastFileName", kWave}, {"LastWave", kWave}, {"LastType", "Wave"}});
        startWith(more);
    }
    void startArmedAt(int hour, int minute, int ampm, int lengthMs = 3000, IniLines more = {}) {
        more.insert(more.end(), {{"AlarmHour", std::to_string(hour)},
                                 {"AlarmMin", std::to_string(minute)},
                                 {"AlarmAMPM", std::to_string(ampm)},
                                 {"AlarmOn", "1"}});
        startWithWave(lengthMs, more);
    }
    void shutdown() { program.reset(); }
    // A new run of the program on the same settings store and devices.
    void restart() {
        shutdown();
        AlarmOn = false;
        FormReady = true;
        services.boxes.clear();
        start();
    }

    TMainForm& form() { return *program->mainForm(); }
    std::string iniText() const { return store.fileText(kIni).value_or("<no file>"); }
    std::string display() { return form().TimePanel->caption(); }
    std::string title() const { return app.title(); }

    // One user action, delivered like an event from the message loop.
    void user(const std::function<void()>& action) { app.dispatch(action); }
    template <class C>
    void click(C* c) {
        user([c] { c->click(); });
    }
    void doubleClick(ui::RadioButton* r) {
        user([r] { r->click(); });
        user([r] { r->doubleClick(); });
    }
    void step(ui::UpDown* u, ui::UpDownButton b) { user([u, b] { u->step(b); }); }
    void type(ui::Edit* e, const std::string& keys) {
        for (char k : keys) user([e, k] { e->type(k); });
    }
    // Typing one character over the whole (selected) text.
    void overtype(ui::Edit* e, char key) {
        user([e, key] {
            if (char left = e->keyPress(key)) e->setText(std::string(1, left));
        });
    }
    void paste(ui::Edit* e, const std::string& text) { user([e, text] { e->setText(text); }); }
    void leave(ui::Edit* e) {
        user([e] {
            e->focusChanged(true);
            e->focusChanged(false);
        });
    }
    void pressTransport(mci::TMPBtnType button) {
        user([this, button] {
            mci::TMediaPlayer* mp = form().MediaPlayer;
            const ui::Point at{mp->buttonLeft(button) + mp->buttonWidth() / 2, mp->height() / 2};
            mp->mouseDown(at);
            mp->mouseUp(at);
        });
    }
    void chooseFile(ui::RadioButton* r, const std::string& path) {
        services.dialogAnswers.push_back(path);
        doubleClick(r);
    }

    // Runs up to and including the tick of the given time (ticks come 2 ms after each second).
    void runTo(int hour, int minute, int second) { loop.advanceTo(hour, minute, second, 2); }
    // Runs for `total` in 250 ms steps, finishing a sound `soundMs` after its last start.
    // Returns the display at each MCI_PLAY.
    std::vector<std::string> runWithSound(std::chrono::milliseconds total, int soundMs) {
        const std::size_t before = device.plays.size();
        for (std::int64_t done = 0; done < total.count(); done += 250) {
            loop.advance(250ms);
            if (device.playing() && !device.plays.empty() && loop.elapsedMs() - device.plays.back().at >= soundMs) {
                device.finishPlaying();
                loop.processPosted();
            }
        }
        std::vector<std::string> starts;
        for (std::size_t i = before; i < device.plays.size(); ++i) starts.push_back(device.plays[i].display);
        return starts;
    }

    std::size_t boxesCaptioned(const std::string& caption) const {
        std::size_t n = 0;
        for (const auto& b : services.boxes) n += b.caption == caption;
        return n;
    }

    EventLog log;
    fakes::VirtualLoop loop;
    RecordingServices services;
    LoggingDevice device{loop, log};
    LoggingStore store{log};
    fakes::FixedLocale locale;
    ui::Application app{loop, services};
    std::unique_ptr<Program> program;
};

inline ui::Component* findComponent(ui::Component& root, const std::string& name) {
    if (root.name() == name) return &root;
    for (const auto& c : root.components()) {
        if (ui::Component* found = findComponent(*c, name)) return found;
    }
    return nullptr;
}

}  // namespace formtest
