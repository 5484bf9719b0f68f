// The local clock and the user's long time format on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sys/clock.h"

struct _TIME_ZONE_INFORMATION;

namespace locale {

// Derives the locale settings from a Windows time pattern: h/hh (12-hour), H/HH
// (24-hour), m/mm, s/ss, t (the designator's first character) and tt (the whole
// designator), with text in single quotes taken literally. amText/pmText are the
// locale's designators, used as they are.
sys::TimeFormatSettings analyseTimeFormat(std::wstring_view pattern, std::string_view amText, std::string_view pmText);

// The user's long time format as it is at each call.
class Win32LocaleInfo : public sys::LocaleInfo {
public:
    sys::TimeFormatSettings timeFormat() const override;

private:
    mutable sys::TimeFormatCache analysed_{[](std::string_view pattern, std::string_view am, std::string_view pm) {
        return sys::analyseTimePattern(pattern, sys::TimePatternSyntax::Windows, am, pm);
    }};
};

// A point of the system clock (100-ns ticks since 1601, UTC) in local calendar fields
// under `zone`; null: the zone the system has at the moment of the call.
sys::LocalTime toLocalTime(std::uint64_t utcTicks, const _TIME_ZONE_INFORMATION* zone);

// Each reading looks up the system's zone afresh, so a change of zone shows at once.
class Win32Clock : public sys::Clock {
public:
    sys::LocalTime now() const override;
};

}  // namespace locale
