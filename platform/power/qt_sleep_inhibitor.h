// Keeps the computer from suspending while the alarm is armed, by asking the desktop
// over the message bus: the desktop portal where one runs, else the login manager. A
// computer that sleeps all the same is woken for the alarm where the system allows it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sys/alarm_services.h"

namespace power {

struct BusAddresses {
    // Message bus addresses; empty means the user's session bus and the system bus.
    std::string session;
    std::string system;
};

struct WakeOptions {
    // Said once per run, the first time no way of waking the computer works: why not,
    // and what to do instead. Nothing is said when it is empty.
    std::function<void(const std::string&)> noWakeNotice;
    // Whether a waking kernel timer is tried (it needs CAP_WAKE_ALARM). Tests leave it
    // out to reach the user's service manager on machines where it works.
    bool kernelTimer = true;
};

// Every call returns at once; answers arrive on the event loop. Where no bus or no
// service answers, nothing is kept awake and nothing is said (but the notice above).
// Dropping it lets the computer sleep again and clears the wake-up.
std::unique_ptr<sys::SleepInhibitor> createSleepInhibitor(const BusAddresses& buses = {}, WakeOptions options = {});

}  // namespace power
