// The user's long time format on Windows, read from the locale's time pattern.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/locale/win32_locale.h"

namespace {

struct FormatCase {
    const char* name;
    const wchar_t* pattern;
    const char* expected;  // see describe()
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then the
// separator in brackets and the designators.
std::string describe(const sys::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

class TimeFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(describe(locale::analyseTimeFormat(GetParam().pattern, "AM", "PM")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, TimeFormat,
                         testing::Values(FormatCase{"UnitedStates", L"h:mm:ss tt", "12 [:] AM/PM"},
                                         FormatCase{"LeadingZeroDesignatorFirst", L"tt hh.mm.ss", "120< [.] AM/PM"},
                                         FormatCase{"OneLetterDesignator", L"h:mm:ss t", "12 [:] A/P"},
                                         FormatCase{"TwentyFourHours", L"HH:mm:ss", "240 [:] AM/PM"},
                                         // 'h' is a 12-hour clock with or without a designator in the pattern.
                                         FormatCase{"TwelveHoursWithoutDesignator", L"h:mm:ss", "12 [:] AM/PM"},
                                         FormatCase{"QuotedSeparator", L"H'h'mm'm'ss", "24 [h] AM/PM"},
                                         FormatCase{"QuotedQuote", L"H'''.'mm", "24 ['.] AM/PM"},
                                         FormatCase{"NoMinutesKeepsColon", L"HH", "240 [:] AM/PM"}),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

}  // namespace
