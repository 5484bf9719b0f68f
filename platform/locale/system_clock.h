// The machine's local time of day, to the millisecond.
#pragma once

#include <chrono>

#include "sys/clock.h"

namespace locale {

// Splits a point of the system clock into local calendar fields.
sys::LocalTime toLocalTime(std::chrono::system_clock::time_point when);

class SystemClock : public sys::Clock {
public:
    sys::LocalTime now() const override;
};

}  // namespace locale
