// The local clock and the locale long time format.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sys {

struct LocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;  // 0-23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int utcOffsetMinutes = 0;  // how far the local clock is ahead of UTC
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// Days since 1970-01-01 of a date on the Gregorian calendar, and the date of such a day
// (hour, minute and second left at 0).
std::int64_t daysFromCivil(int year, int month, int day);
LocalTime civilFromDays(std::int64_t days);
// The minute a reading falls in, counted on its own (local) calendar from 1970-01-01
// 00:00: consecutive minutes of the local clock have consecutive numbers.
std::int64_t localMinuteNumber(const LocalTime& t);
// The reading as seconds since 1970-01-01 00:00 UTC.
std::int64_t utcSeconds(const LocalTime& t);

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The locale settings that make up the long time format.
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

// The two languages the systems write time patterns in. Both quote literal text in
// '...' ('' is one quote) and use h (12-hour), H (24-hour), m and s, with a doubled
// letter for a leading zero; they differ in how the AM/PM designator is written.
enum class TimePatternSyntax {
    // a or A, ap or AP: the designator, in lower or upper case when the letters say;
    // z and t are time-zone fields. An h hour is a 12-hour clock only with a designator.
    Qt,
    // t: the designator's first character, tt: all of it. An h hour is a 12-hour clock.
    Windows,
};

enum class LetterCase { AsIs, Upper, Lower };

// The settings a long time pattern describes, with the locale's AM and PM texts (UTF-8;
// `changeCase` applies a case the pattern asks for, when given).
TimeFormatSettings analyseTimePattern(std::string_view pattern, TimePatternSyntax syntax, std::string_view amText,
                                      std::string_view pmText,
                                      const std::function<std::string(std::string_view, LetterCase)>& changeCase = {});

// The settings of the last pattern and designators asked for. The clock asks every
// second; `analyse` runs again only when one of the three texts changed.
class TimeFormatCache {
public:
    using Analyse =
        std::function<TimeFormatSettings(std::string_view pattern, std::string_view am, std::string_view pm)>;
    explicit TimeFormatCache(Analyse analyse) : analyse_(std::move(analyse)) {}
    const TimeFormatSettings& operator()(std::string pattern, std::string am, std::string pm);

private:
    struct Texts {
        std::string pattern, am, pm;
        friend bool operator==(const Texts&, const Texts&) = default;
    };
    Analyse analyse_;
    std::optional<Texts> texts_;
    TimeFormatSettings settings_;
};

// The time of day in the long time format described by the settings. Empty
// designators on a 12-hour clock are written as "am" and "pm".
std::string formatLongTime(const TimeFormatSettings& settings, const LocalTime& time);

}  // namespace sys
