#include "ui/clock.h"

#include <cstdio>

namespace ui {

std::string formatLongTime(const TimeFormatSettings& s, const LocalTime& t) {
    int hour = t.hour;
    std::string designator;
    if (s.twelveHour) {
        const bool afternoon = t.hour >= 12;
        designator = afternoon ? (s.pm.empty() ? "pm" : s.pm) : (s.am.empty() ? "am" : s.am);
        hour = t.hour % 12;
        if (hour == 0) hour = 12;
    }
    char digits[8];
    std::snprintf(digits, sizeof digits, s.leadingZero ? "%02d" : "%d", hour);
    std::string text;
    if (s.twelveHour && s.designatorFirst) text += designator + " ";
    text += digits;
    std::snprintf(digits, sizeof digits, "%02d", t.minute);
    text += s.separator + digits;
    std::snprintf(digits, sizeof digits, "%02d", t.second);
    text += s.separator + digits;
    if (s.twelveHour && !s.designatorFirst) text += " " + designator;
    return text;
}

}  // namespace ui
