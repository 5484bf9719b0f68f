// The machine's local time of day, to the millisecond.
#pragma once

#include <chrono>

#include "ui/clock.h"

namespace regional {

// Splits a point of the system clock into local calendar fields.
ui::LocalTime toLocalTime(std::chrono::system_clock::time_point when);

class SystemClock : public ui::Clock {
public:
    ui::LocalTime now() const override;
};

}  // namespace regional
