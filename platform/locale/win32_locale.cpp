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
    return analysed_(text::narrow(localeText(LOCALE_STIMEFORMAT)), text::narrow(localeText(LOCALE_S1159)),
                     text::narrow(localeText(LOCALE_S2359)));
}

sys::LocalTime Win32Clock::now() const {
    // One reading of the system clock, seen in UTC and on the local clock, so that the
    // offset between them is exact.
    FILETIME utcFile{};
    GetSystemTimeAsFileTime(&utcFile);
    SYSTEMTIME utc{};
    SYSTEMTIME t{};
    FILETIME localFile{};
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &t) ||
        !SystemTimeToFileTime(&t, &localFile)) {
        GetLocalTime(&t);
        localFile = utcFile;
    }
    auto ticks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    sys::LocalTime out;
    out.utcOffsetMinutes = static_cast<int>((ticks(localFile) - ticks(utcFile)) / 10'000'000LL / 60);
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
