// The local clock and the regional long time format.
#pragma once

#include <string>

namespace ui {

struct LocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;  // 0-23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The regional settings that make up the long time format.
struct TimeFormatSettings {
    bool twelveHour = true;
    bool leadingZero = false;
    bool designatorFirst = false;
    std::string am = "AM";
    std::string pm = "PM";
    std::string separator = ":";

    static TimeFormatSettings unitedStates() { return {}; }
    friend bool operator==(const TimeFormatSettings&, const TimeFormatSettings&) = default;
};

class LocaleInfo {
public:
    virtual ~LocaleInfo() = default;
    virtual TimeFormatSettings timeFormat() const = 0;
};

// The time of day in the long time format described by the settings. Empty
// designators on a 12-hour clock are written as "am" and "pm".
std::string formatLongTime(const TimeFormatSettings& settings, const LocalTime& time);

}  // namespace ui
