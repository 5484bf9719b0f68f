// Keeping the computer awake while the alarm is armed, and waking it from sleep for
// the alarm's minute when it sleeps all the same (a resumable waitable timer, which
// needs no privilege).
#pragma once

#include <memory>
#include <optional>

#include "sys/alarm_services.h"
#include "sys/clock.h"

namespace power {

// The system calls the inhibitor makes, so that tests can record them instead of
// changing the power state of the machine they run on.
class PowerControl {
public:
    PowerControl() = default;
    virtual ~PowerControl();
    PowerControl(const PowerControl&) = delete;
    PowerControl& operator=(const PowerControl&) = delete;

    // Holds off idle sleep for this thread (true) or lets it happen again (false).
    virtual void keepAwake(bool on);
    // Sets the resumable timer for a local date and time, repeating daily, or cancels it.
    virtual void wakeAt(const std::optional<sys::LocalTime>& when);
    virtual sys::LocalTime now();

    // The timer came due: it is set again for the same minute's next occurrence on the
    // local clock as it reads then, so that a change to or from daylight-saving time in
    // between does not move the wake-up by an hour. Runs on the thread that set the
    // timer, in its next alertable wait.
    void dueAgain();

private:
    void* timer_ = nullptr;
    sys::WakeTime daily_{};
};

// The first time at `at` (to the minute) after `now`, on the local calendar.
sys::LocalTime nextOccurrence(const sys::LocalTime& now, sys::WakeTime at);

// Both holds end on release() and when the inhibitor goes.
std::unique_ptr<sys::SleepInhibitor> createSleepInhibitor(
    std::unique_ptr<PowerControl> control = std::make_unique<PowerControl>());

}  // namespace power
