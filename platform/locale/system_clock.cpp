#include "platform/locale/system_clock.h"

#include <ctime>

namespace locale {

sys::LocalTime toLocalTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto secs = floor<seconds>(when);
    const auto ms = duration_cast<milliseconds>(when - secs).count();
    const std::time_t t = system_clock::to_time_t(time_point_cast<system_clock::duration>(secs));
    std::tm parts{};
    localtime_r(&t, &parts);
    sys::LocalTime out;
    out.year = parts.tm_year + 1900;
    out.month = parts.tm_mon + 1;
    out.day = parts.tm_mday;
    out.hour = parts.tm_hour;
    out.minute = parts.tm_min;
    // A leap second shows as :59 held for two seconds rather than as :60.
    out.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;
    out.millisecond = static_cast<int>(ms);
    out.utcOffsetMinutes = static_cast<int>(parts.tm_gmtoff / 60);
    return out;
}

sys::LocalTime SystemClock::now() const { return toLocalTime(std::chrono::system_clock::now()); }

}  // namespace locale
