#include "platform/locale/win32_locale.h"

#include <windows.h>

#include "platform/text/win32_text.h"

namespace locale {
namespace {

std::wstring localeText(LCTYPE item) {
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, static_cast<int>(std::size(buffer)));
    return n > 1 ? std::wstring(buffer, static_cast<std::size_t>(n - 1)) : std::wstring();
}

}  // namespace

sys::TimeFormatSettings analyseTimeFormat(std::wstring_view pattern, std::string_view amText, std::string_view pmText) {
    return sys::analyseTimePattern(text::narrow(pattern), sys::TimePatternSyntax::Windows, amText, pmText);
}

sys::TimeFormatSettings Win32LocaleInfo::timeFormat() const {
    std::wstring format = localeText(LOCALE_STIMEFORMAT);
    std::wstring am = localeText(LOCALE_S1159);
    std::wstring pm = localeText(LOCALE_S2359);
    if (!last_ || last_->format != format || last_->am != am || last_->pm != pm) {
        const sys::TimeFormatSettings settings = analyseTimeFormat(format, text::narrow(am), text::narrow(pm));
        last_ = Analysed{std::move(format), std::move(am), std::move(pm), settings};
    }
    return last_->settings;
}

sys::LocalTime Win32Clock::now() const {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    sys::LocalTime out;
    out.year = t.wYear;
    out.month = t.wMonth;
    out.day = t.wDay;
    out.hour = t.wHour;
    out.minute = t.wMinute;
    out.second = t.wSecond > 59 ? 59 : t.wSecond;
    out.millisecond = t.wMilliseconds;
    return out;
}

}  // namespace locale
