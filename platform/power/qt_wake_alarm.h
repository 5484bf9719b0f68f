// Wakes a sleeping computer at the alarm's minute, every day while it is set, through the
// first of these that works: the desktop power manager's wake-up scheduler, a waking
// kernel timer, a waking timer of the user's service manager.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/power/qt_sleep_inhibitor.h"
#include "sys/alarm_services.h"

class QDBusConnection;

namespace power {

// The first local HH:MM:00 later than `now` (both in seconds since the epoch), read on
// the C library's local clock (TZ).
std::int64_t nextWakeSeconds(std::int64_t now, sys::WakeTime at);

class WakeAlarm {
public:
    // `session` joins the session bus on first need (the bus may be down: then it
    // returns a connection that is not connected).
    WakeAlarm(std::function<QDBusConnection&()> session, WakeOptions options);
    ~WakeAlarm();
    WakeAlarm(const WakeAlarm&) = delete;
    WakeAlarm& operator=(const WakeAlarm&) = delete;

    // Wakes the computer at the next `at`; a new time replaces the old wake-up, the same
    // time again changes nothing. A time out of range clears it.
    void set(sys::WakeTime at);
    void clear();
    // Sets the wake-up again for the same minute of the (new) local clock.
    void clockChanged();

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace power
