// The locale long time format of the user's locale, as the clock display needs it.
#pragma once

#include <string>
#include <string_view>

#include "sys/clock.h"

namespace locale {

// Derives the locale settings from a time format pattern written with the letters
// h/hh (12-hour, with AM/PM), H/HH (24-hour), m, s, AP/ap/A/a/Ap/aP (designator) and
// t (time zone; ignored), with quoted literal text. amText/pmText are the locale's own
// designators; their case follows the pattern's designator letters.
sys::TimeFormatSettings analyseTimeFormat(std::string_view pattern, std::string_view amText, std::string_view pmText);

// The long time format of a locale. The default one follows the user's locale as it
// is at each call; the named one ("en_US", "de_DE", "C", ...) is fixed.
class QtLocaleInfo : public sys::LocaleInfo {
public:
    QtLocaleInfo() = default;
    explicit QtLocaleInfo(std::string localeName) : name_(std::move(localeName)), fixed_(true) {}

    sys::TimeFormatSettings timeFormat() const override;

private:
    std::string name_;
    bool fixed_ = false;
    mutable sys::TimeFormatCache analysed_{&analyseTimeFormat};
};

}  // namespace locale
