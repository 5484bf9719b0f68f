// Keeps the computer from suspending while the alarm is armed, by asking the desktop
// over the message bus: the desktop portal where one runs, else the login manager.
#pragma once

#include <memory>
#include <string>

#include "sys/alarm_services.h"

namespace power {

struct BusAddresses {
    // Message bus addresses; empty means the user's session bus and the system bus.
    std::string session;
    std::string system;
};

// Every call returns at once; answers arrive on the event loop. Where no bus or no
// service answers, nothing is kept awake and nothing is said. Dropping it lets the
// computer sleep again.
std::unique_ptr<sys::SleepInhibitor> createSleepInhibitor(const BusAddresses& buses = {});

}  // namespace power
