// The local clock and the user's long time format on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sys/clock.h"

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
    // The clock asks every second; the pattern is analysed again only when the
    // locale's texts change.
    struct Analysed {
        std::wstring format, am, pm;
        sys::TimeFormatSettings settings;
    };
    mutable std::optional<Analysed> last_;
};

class Win32Clock : public sys::Clock {
public:
    sys::LocalTime now() const override;
};

}  // namespace locale
