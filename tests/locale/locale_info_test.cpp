#include <gtest/gtest.h>

#include <QLocale>

#include "platform/locale/locale_info.h"

namespace {

using regional::analyseTimeFormat;
using regional::QtLocaleInfo;

struct LocaleCase {
    const char* name;
    bool twelveHour;
    bool leadingZero;
    std::string morning;    // 7:05:09
    std::string afternoon;  // 12:30:00
    std::string midnight;   // 0:00:00
};

class RealLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(RealLocale, DisplayReadsAsTheLocaleWritesTime) {
    const LocaleCase& c = GetParam();
    const ui::TimeFormatSettings s = QtLocaleInfo(c.name).timeFormat();
    EXPECT_EQ(s.twelveHour, c.twelveHour);
    EXPECT_EQ(s.leadingZero, c.leadingZero);
    EXPECT_FALSE(s.designatorFirst);
    EXPECT_EQ(s.separator, ":");
    EXPECT_EQ(ui::formatLongTime(s, {2026, 12, 7, 7, 5, 9, 0}), c.morning);
    EXPECT_EQ(ui::formatLongTime(s, {2026, 12, 7, 12, 30, 0, 0}), c.afternoon);
    EXPECT_EQ(ui::formatLongTime(s, {2026, 12, 7, 0, 0, 0, 0}), c.midnight);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, RealLocale,
    ::testing::Values(LocaleCase{"en_US", true, false, "7:05:09 AM", "12:30:00 PM", "12:00:00 AM"},
                      LocaleCase{"en_GB", false, true, "07:05:09", "12:30:00", "00:00:00"},
                      LocaleCase{"de_DE", false, true, "07:05:09", "12:30:00", "00:00:00"},
                      LocaleCase{"C", false, true, "07:05:09", "12:30:00", "00:00:00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RealLocale, UnitedStatesMatchesTheProgramsReferenceSettings) {
    EXPECT_EQ(QtLocaleInfo("en_US").timeFormat(), ui::TimeFormatSettings::unitedStates());
}

TEST(RealLocale, DesignatorsComeFromTheLocaleInCapitals) {
    ASSERT_EQ(QLocale("en_AU").amText(), QStringLiteral("am"));
    EXPECT_EQ(QtLocaleInfo("en_AU").timeFormat().pm, "PM");
    const ui::TimeFormatSettings korean = QtLocaleInfo("ko_KR").timeFormat();
    EXPECT_TRUE(korean.twelveHour);
    EXPECT_TRUE(korean.designatorFirst);
    EXPECT_EQ(korean.am, QLocale("ko_KR").amText().toStdString());
}

struct PatternCase {
    const char* pattern;
    bool twelveHour;
    bool leadingZero;
    bool designatorFirst;
    const char* separator;
    const char* am;
};

class Pattern : public ::testing::TestWithParam<PatternCase> {};

TEST_P(Pattern, GivesTheRegionalSettings) {
    const PatternCase& c = GetParam();
    const ui::TimeFormatSettings s = analyseTimeFormat(c.pattern, "Am", "Pm");
    EXPECT_EQ(s.twelveHour, c.twelveHour) << c.pattern;
    EXPECT_EQ(s.leadingZero, c.leadingZero) << c.pattern;
    EXPECT_EQ(s.designatorFirst, c.designatorFirst) << c.pattern;
    EXPECT_EQ(s.separator, c.separator) << c.pattern;
    EXPECT_EQ(s.am, c.am) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Pattern,
    ::testing::Values(PatternCase{"h:mm:ss AP t", true, false, false, ":", "AM"},
                      PatternCase{"hh:mm:ss ap", true, true, false, ":", "am"},
                      PatternCase{"AP h:mm:ss", true, false, true, ":", "AM"},
                      PatternCase{"Ap hh.mm.ss", true, true, true, ".", "Am"},
                      PatternCase{"a h:mm:ss", true, false, true, ":", "am"},
                      // 'h' without a designator counts 0 to 23; 'H' does even beside one.
                      PatternCase{"h:mm:ss", false, false, false, ":", "Am"},
                      PatternCase{"HH:mm:ss AP", false, true, false, ":", "AM"},
                      PatternCase{"H.mm.ss (t)", false, false, false, ".", "Am"},
                      // Without minutes the usual separator stays.
                      PatternCase{"HH", false, true, false, ":", "Am"},
                      // Quoted text is literal, even when it holds pattern letters.
                      PatternCase{"HH'h'mm'm'ss", false, true, false, "h", "Am"},
                      PatternCase{"H''mm", false, false, false, "'", "Am"},
                      PatternCase{"H 'at' mm", false, false, false, " at ", "Am"}));

TEST(Pattern, EmptyDesignatorsStayEmptySoTheDisplayWritesItsOwn) {
    const ui::TimeFormatSettings s = analyseTimeFormat("h:mm:ss AP", "", "");
    EXPECT_EQ(s.am, "");
    EXPECT_EQ(ui::formatLongTime(s, {2026, 1, 1, 13, 0, 0, 0}), "1:00:00 pm");
}

TEST(Pattern, CaseChangesReachBeyondAscii) {
    EXPECT_EQ(analyseTimeFormat("h:mm AP", "vorm.", "nachm.").am, "VORM.");
    EXPECT_EQ(analyseTimeFormat("h:mm AP", "\xcf\x80\xce\xbc", "").am, "\xce\xa0\xce\x9c");  // πμ -> ΠΜ
}

}  // namespace
