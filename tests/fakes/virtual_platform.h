// The virtual-time platform: a message loop whose clock the test advances, a local
// clock that follows it, and window services answered by the test. No display needed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/clock.h"
#include "ui/event_loop.h"
#include "ui/message_queue.h"
#include "ui/services.h"

namespace fakes {

class VirtualLoop : public ui::EventLoop, public ui::Clock {
public:
    // The virtual wall clock starts at the given local time.
    explicit VirtualLoop(ui::LocalTime start = {2026, 12, 7, 7, 4, 0, 0});

    ui::MessageQueue& queue() override { return queue_; }
    ui::TimerId startTimer(std::chrono::milliseconds period, ui::TimerPhase phase,
                           std::function<void()> callback) override;
    void stopTimer(ui::TimerId id) override;
    // Runs timers and posted tasks in virtual time until quit() (or until nothing is
    // left to run, or an hour of virtual time has passed).
    int run() override;
    void quit(int code) override;

    ui::LocalTime now() const override;

    // Moves virtual time forward, firing every timer expiry that falls due on the way
    // (in time order, the clock standing at each expiry) and running posted tasks after
    // each event. May be called from inside a handler (a box "open" in a test).
    void advance(std::chrono::milliseconds by);
    // Moves to the given local time of the current day (or of the next day when it has
    // passed) and fires what falls due on the way; a tick due just after that second
    // has not fired yet.
    void advanceTo(int hour, int minute, int second, int millisecond = 0);
    // Runs posted tasks until the queue is empty.
    void processPosted();

    std::size_t activeTimers() const { return timers_.size(); }
    bool quitRequested() const { return quit_; }

private:
    // Wall-clock timers fire this long after a whole second.
    static constexpr std::int64_t alignDelayMs = 2;

    struct TimerEntry {
        std::int64_t period;
        ui::TimerPhase phase;
        std::function<void()> callback;
        std::int64_t due;
    };
    std::int64_t nextDue(const TimerEntry& t, std::int64_t from) const;
    std::int64_t wallMs(std::int64_t virtualMs) const { return startWallMs_ + virtualMs; }

    ui::MessageQueue queue_;
    std::map<ui::TimerId, TimerEntry> timers_;
    ui::TimerId nextId_ = 1;
    std::int64_t nowMs_ = 0;
    std::int64_t startWallMs_ = 0;  // local wall time at start, ms since 1970-01-01 (local)
    bool quit_ = false;
    int exitCode_ = 0;
};

struct BoxRecord {
    std::string text;
    std::string caption;
    unsigned flags = 0;
    friend bool operator==(const BoxRecord&, const BoxRecord&) = default;
    friend std::ostream& operator<<(std::ostream& out, const BoxRecord& box) {
        return out << '"' << box.text << "\" captioned \"" << box.caption << "\" flags 0x" << std::hex << box.flags
                   << std::dec;
    }
};

struct DialogRecord {
    std::string filter;
    std::string fileName;
};

class ScriptedServices : public ui::WindowServices {
public:
    void messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override;
    void applicationTitleChanged(const std::string&) override {}

    // Every box shown, in order; onMessageBox runs while a box is "open".
    std::vector<BoxRecord> boxes;
    std::function<void(const BoxRecord&)> onMessageBox;

    // Every dialog shown; the answers are consumed in order (nothing, or none left, cancels).
    std::vector<DialogRecord> dialogs;
    std::vector<std::optional<std::string>> dialogAnswers;
};

class FixedLocale : public ui::LocaleInfo {
public:
    explicit FixedLocale(ui::TimeFormatSettings s = {}) : settings(std::move(s)) {}
    ui::TimeFormatSettings timeFormat() const override { return settings; }
    ui::TimeFormatSettings settings;
};

}  // namespace fakes
