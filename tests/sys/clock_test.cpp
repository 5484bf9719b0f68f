// The long time as the regional settings write it, and what a locale's time pattern says.
#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>

#include "sys/clock.h"

namespace {

// A 12- or 24-hour clock, a leading zero or not, the designator after or before (am and
// pm when none is set), any separator.
TEST(LongTimeTest, WritesTheRegionalLongTimeFormat) {
    const sys::TimeFormatSettings us = sys::TimeFormatSettings::unitedStates();
    using Case = std::tuple<sys::TimeFormatSettings, int, int, int, const char*>;
    for (const auto& [settings, hour, minute, second, shows] :
         std::initializer_list<Case>{{us, 0, 30, 5, "12:30:05 AM"},
                                     {us, 12, 30, 0, "12:30:00 PM"},
                                     {{false, true, false, "am", "pm", ":"}, 0, 30, 5, "00:30:05"},
                                     {{true, true, false, "", "", ":"}, 9, 30, 0, "09:30:00 am"},
                                     {{true, true, false, "", "", ":"}, 21, 30, 0, "09:30:00 pm"},
                                     {{true, false, true, "a.m.", "p.m.", ":"}, 7, 5, 9, "a.m. 7:05:09"},
                                     {{false, false, true, "a", "p", "."}, 7, 5, 9, "7.05.09"}})
        EXPECT_EQ(sys::formatLongTime(settings, {2026, 12, 7, hour, minute, second, 0}), shows);
}

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then the
// separator in brackets and the designators.
std::string describe(const sys::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

// What a locale's long time pattern says, in both systems' pattern languages.
TEST(TimePattern, SaysWhatTheLongTimeLooksLike) {
    using enum sys::TimePatternSyntax;
    const auto asciiCase = [](std::string_view text, sys::LetterCase c) {
        std::string out(text);
        for (char& ch : out)
            ch = static_cast<char>(c == sys::LetterCase::Upper ? std::toupper(static_cast<unsigned char>(ch))
                                                               : std::tolower(static_cast<unsigned char>(ch)));
        return out;
    };
    const char* const am = "\xe5\x8d\x88\xe5\x89\x8d";  // the Japanese morning and afternoon
    const char* const pm = "\xe5\x8d\x88\xe5\xbe\x8c";
    using Case = std::tuple<sys::TimePatternSyntax, const char*, const char*, const char*, const char*>;
    for (const auto& [syntax, pattern, amText, pmText, expected] :
         std::initializer_list<Case>{// The letters give the designator's case: AP, ap, A, a; Ap leaves it.
                                     {Qt, "h:mm:ss AP t", "Am", "Pm", "12 [:] AM/PM"},
                                     {Qt, "hh:mm:ss ap", "Am", "Pm", "120 [:] am/pm"},
                                     {Qt, "h:mm:ss A", "Am", "Pm", "12 [:] AM/PM"},
                                     {Qt, "h:mm:ss a", "Am", "Pm", "12 [:] am/pm"},
                                     {Qt, "Ap hh.mm.ss", "Am", "Pm", "120< [.] Am/Pm"},
                                     // t is the time zone, never the designator.
                                     {Qt, "t h:mm:ss AP", "Am", "Pm", "12 [:] AM/PM"},
                                     // 'h' without a designator counts 0 to 23; 'H' does even beside one.
                                     {Qt, "h:mm:ss", "Am", "Pm", "24 [:] Am/Pm"},
                                     {Qt, "HH:mm:ss AP", "Am", "Pm", "240 [:] AM/PM"},
                                     // Without minutes the usual separator stays; quoted text is literal.
                                     {Qt, "HH", "Am", "Pm", "240 [:] Am/Pm"},
                                     {Qt, "HH'h'mm'm'ss", "Am", "Pm", "240 [h] Am/Pm"},
                                     // tt is the whole designator, t its first character (not its first byte);
                                     // 'h' is a 12-hour clock with or without a designator.
                                     {Windows, "h:mm:ss tt", "AM", "PM", "12 [:] AM/PM"},
                                     {Windows, "tt hh.mm.ss", "AM", "PM", "120< [.] AM/PM"},
                                     {Windows, "h:mm:ss t", "AM", "PM", "12 [:] A/P"},
                                     {Windows, "t h:mm:ss", am, pm, "12< [:] \xe5\x8d\x88/\xe5\x8d\x88"},
                                     {Windows, "h:mm:ss", "AM", "PM", "12 [:] AM/PM"},
                                     {Windows, "HH:mm:ss", "AM", "PM", "240 [:] AM/PM"},
                                     {Windows, "H'h'mm'm'ss", "AM", "PM", "24 [h] AM/PM"},
                                     {Windows, "H'''.'mm", "AM", "PM", "24 ['.] AM/PM"},
                                     {Windows, "HH", "AM", "PM", "240 [:] AM/PM"}})
        EXPECT_EQ(describe(sys::analyseTimePattern(pattern, syntax, amText, pmText, asciiCase)), expected) << pattern;
}

// The clock asks every second: the pattern is analysed again when it or either
// designator changed, and only then.
TEST(TimePattern, IsAnalysedAgainOnlyWhenOneOfItsTextsChanged) {
    std::string analysed;
    sys::TimeFormatCache cache([&](std::string_view pattern, std::string_view am, std::string_view pm) {
        analysed += std::string(pattern) + " " + std::string(am) + "/" + std::string(pm) + "; ";
        return sys::analyseTimePattern(pattern, sys::TimePatternSyntax::Qt, am, pm);
    });
    std::string shown;
    for (const auto& [pattern, am, pm] :
         std::initializer_list<std::tuple<const char*, const char*, const char*>>{{"h:mm:ss AP", "AM", "PM"},
                                                                                  {"h:mm:ss AP", "AM", "PM"},
                                                                                  {"h:mm:ss AP", "vorm.", "PM"},
                                                                                  {"h:mm:ss AP", "vorm.", "nachm."},
                                                                                  {"HH:mm:ss", "vorm.", "nachm."}})
        shown += sys::formatLongTime(cache(pattern, am, pm), {2026, 12, 7, 7, 5, 0, 0}) + "; ";
    EXPECT_EQ(analysed, "h:mm:ss AP AM/PM; h:mm:ss AP vorm./PM; h:mm:ss AP vorm./nachm.; HH:mm:ss vorm./nachm.; ");
    EXPECT_EQ(shown, "7:05:00 AM; 7:05:00 AM; 7:05:00 vorm.; 7:05:00 vorm.; 07:05:00; ");
}

}  // namespace

// The minute count the alarm measures gaps with runs on across month, year and leap
// days, and UTC follows the reading's own offset.
TEST(Calendar, CountsDaysAndMinutesAcrossEveryBoundary) {
    EXPECT_EQ(sys::daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(sys::daysFromCivil(2000, 3, 1) - sys::daysFromCivil(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(sys::daysFromCivil(2100, 3, 1) - sys::daysFromCivil(2100, 2, 28), 1);  // 2100 is not
    for (std::int64_t day = sys::daysFromCivil(1999, 12, 25); day < sys::daysFromCivil(2029, 1, 5); ++day) {
        const sys::LocalTime date = sys::civilFromDays(day);
        ASSERT_EQ(sys::daysFromCivil(date.year, date.month, date.day), day) << date.year << "-" << date.month;
    }
    const sys::LocalTime lastMinute{2026, 12, 31, 23, 59, 30, 0, 60};
    const sys::LocalTime firstMinute{2027, 1, 1, 0, 0, 0, 0, 60};
    EXPECT_EQ(sys::localMinuteNumber(firstMinute) - sys::localMinuteNumber(lastMinute), 1);
    EXPECT_EQ(sys::utcSeconds(firstMinute), 1798758000);  // 2026-12-31 23:00:00 UTC
}
