// The virtual-time platform: a message loop whose clock the test moves, a local clock
// that follows it, and window services answered by the test. No display needed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sys/alarm_services.h"
#include "sys/clock.h"
#include "sys/event_loop.h"
#include "sys/message_queue.h"
#include "sys/window_services.h"

namespace fakes {

// The local clock runs on from the start, over midnight into the next days. Besides
// the passing of time, a test can set the clock, change the time zone or put the
// computer to sleep.
class VirtualLoop : public sys::EventLoop, public sys::Clock {
public:
    explicit VirtualLoop(sys::LocalTime start = {2026, 12, 7, 7, 4, 0, 0}) : start_(start) {}

    sys::MessageQueue& queue() override { return queue_; }
    sys::TimerId startTimer(std::chrono::milliseconds period, sys::TimerPhase phase,
                           std::function<void()> callback) override;
    void stopTimer(sys::TimerId id) override { timers_.erase(id); }
    // Runs until quit(), or for an hour of virtual time at most.
    int run() override;
    void quit(int code) override;
    sys::LocalTime now() const override;

    // Moves virtual time forward, firing every expiry on the way in time order (the clock
    // standing at it) and running the posted tasks after each. Wall-clock timers fire
    // 2 ms after each whole second. A handler may call it (a box "open" in a test).
    void advance(std::chrono::milliseconds by);
    // Moves on to the given time of day, of the next day when it has passed.
    void advanceTo(int hour, int minute, int second, int millisecond = 0);
    // The system clock is set forward (or back) by `by`, or the computer sleeps that
    // long: the local clock and UTC both jump, and no timer fires on the way; the next
    // expiry comes when the loop's own time reaches it, as after a resume.
    void jumpClock(std::chrono::milliseconds by) { clockShiftMs_ += by.count(); }
    // The time zone changes to one `minutes` further ahead of UTC: the local clock
    // jumps, UTC does not.
    void shiftZone(int minutes) { zoneShiftMinutes_ += minutes; }
    void processPosted();
    bool quitRequested() const { return quit_; }

private:
    struct TimerEntry {
        std::int64_t period;
        sys::TimerPhase phase;
        std::function<void()> callback;
        std::int64_t due;
    };
    std::int64_t nextDue(const TimerEntry& t) const;
    std::int64_t wallMs() const;  // milliseconds of the local clock since the start day's midnight

    sys::LocalTime start_;
    sys::MessageQueue queue_;
    std::map<sys::TimerId, TimerEntry> timers_;
    sys::TimerId nextId_ = 1;
    std::int64_t nowMs_ = 0;  // since the start
    std::int64_t clockShiftMs_ = 0;
    int zoneShiftMinutes_ = 0;
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

class ScriptedServices : public sys::WindowServices {
public:
    void messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override;
    void applicationTitleChanged(const std::string&) override {}
    void notify(const std::string& text) override { notices.push_back(text); }

    // Every box shown, in order; onMessageBox runs while a box is "open".
    std::vector<BoxRecord> boxes;
    std::function<void(const BoxRecord&)> onMessageBox;
    // Every dialog shown, as filter and file name; the answers are taken in order
    // (nothing, or none left, cancels).
    std::vector<std::string> dialogs;
    std::vector<std::optional<std::string>> dialogAnswers;
    // Every notice given, in order.
    std::vector<std::string> notices;
};

class FixedLocale : public sys::LocaleInfo {
public:
    sys::TimeFormatSettings timeFormat() const override { return settings; }
    sys::TimeFormatSettings settings;
};

// The built-in tone, logging "start" and "stop"; it sounds unless `failure` is set.
class RecordingTone : public sys::AlarmTone {
public:
    std::string start() override {
        log.push_back("start");
        if (failure.empty()) sounding_ = true;
        return failure;
    }
    void stop() override {
        if (sounding_) log.push_back("stop");
        sounding_ = false;
    }
    bool sounding() const override { return sounding_; }

    std::string failure;
    std::vector<std::string> log;

private:
    bool sounding_ = false;
};

// The sleep inhibitor, logging "inhibit: <reason> @<hour>:<minute>" (the time to wake
// at) and "release" as they are asked.
class RecordingInhibitor : public sys::SleepInhibitor {
public:
    void inhibit(const std::string& reason, sys::WakeTime at) override {
        log.push_back("inhibit: " + reason + " @" + std::to_string(at.hour) + ":" + std::to_string(at.minute));
    }
    void release() override { log.push_back("release"); }
    std::vector<std::string> log;
};

// The output volume, logging "raise" and "restore"; makeAudible answers `answer`.
class RecordingVolume : public sys::OutputVolume {
public:
    Change makeAudible() override {
        log.push_back("raise");
        return answer;
    }
    void restore() override { log.push_back("restore"); }
    Change answer;
    std::vector<std::string> log;
};

// The start with the session, logging "on" and "off"; it fails with `failure` when set.
class RecordingSessionStart : public sys::SessionStart {
public:
    std::string setRegistered(bool on) override {
        log.push_back(on ? "on" : "off");
        if (failure.empty()) registered = on;
        return failure;
    }
    bool registered = false;
    std::string failure;
    std::vector<std::string> log;
};

}  // namespace fakes
