// The regional long time format, from a pattern and from the real locales.
#include <gtest/gtest.h>

#include <QLocale>

#include "platform/locale/locale_info.h"

namespace {

using regional::analyseTimeFormat;
using regional::QtLocaleInfo;

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then
// the separator in brackets and the designators.
std::string describe(const ui::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

TEST(TimeFormat, FollowsThePattern) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"h:mm:ss AP t", "12 [:] AM/PM"},
        {"hh:mm:ss ap", "120 [:] am/pm"},
        {"AP h:mm:ss", "12< [:] AM/PM"},
        {"Ap hh.mm.ss", "120< [.] Am/Pm"},
        {"a h:mm:ss", "12< [:] am/pm"},
        // 'h' without a designator counts 0 to 23; 'H' does even beside one.
        {"h:mm:ss", "24 [:] Am/Pm"},
        {"HH:mm:ss AP", "240 [:] AM/PM"},
        {"H.mm.ss (t)", "24 [.] Am/Pm"},
        // Without minutes the usual separator stays; quoted text is literal.
        {"HH", "240 [:] Am/Pm"},
        {"HH'h'mm'm'ss", "240 [h] Am/Pm"},
        {"H''mm", "24 ['] Am/Pm"},
        {"H 'at' mm", "24 [ at ] Am/Pm"}};
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(describe(analyseTimeFormat(pattern, "Am", "Pm")), expected) << pattern;
    }
    // Case changes reach beyond ASCII; empty designators stay empty for the display.
    EXPECT_EQ(describe(analyseTimeFormat("h:mm AP", "\xcf\x80\xce\xbc", "")), "12 [:] \xce\xa0\xce\x9c/");
}

TEST(TimeFormat, ComesFromTheLocale) {
    EXPECT_EQ(QtLocaleInfo("en_US").timeFormat(), ui::TimeFormatSettings::unitedStates());
    EXPECT_EQ(describe(QtLocaleInfo("de_DE").timeFormat()), "240 [:] AM/PM");
    // The locale's designators, in the case of the pattern's letters.
    ASSERT_EQ(QLocale("en_AU").amText(), QStringLiteral("am"));
    EXPECT_EQ(describe(QtLocaleInfo("en_AU").timeFormat()), "12 [:] AM/PM");
    const ui::TimeFormatSettings korean = QtLocaleInfo("ko_KR").timeFormat();
    EXPECT_TRUE(korean.twelveHour && korean.designatorFirst);
    EXPECT_EQ(korean.am, QLocale("ko_KR").amText().toStdString());
}

}  // namespace
