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

sys::LocalTime toLocalTime(std::uint64_t utcTicks, const TIME_ZONE_INFORMATION* zone) {
    auto ticks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    const FILETIME utcFile{static_cast<DWORD>(utcTicks), static_cast<DWORD>(utcTicks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME t{};
    FILETIME utcMillis{};
    FILETIME localFile{};
    sys::LocalTime out;
    // The offset between the two calendar readings, both cut to the millisecond: the
    // ticks below one would make +9:00 read as 539 minutes.
    if (FileTimeToSystemTime(&utcFile, &utc) && SystemTimeToTzSpecificLocalTime(zone, &utc, &t) &&
        SystemTimeToFileTime(&utc, &utcMillis) && SystemTimeToFileTime(&t, &localFile)) {
        out.utcOffsetMinutes = static_cast<int>((ticks(localFile) - ticks(utcMillis)) / 10'000'000LL / 60);
    } else {
        GetLocalTime(&t);
    }
    out.year = t.wYear;
    out.month = t.wMonth;
    out.day = t.wDay;
    out.hour = t.wHour;
    out.minute = t.wMinute;
    out.second = t.wSecond > 59 ? 59 : t.wSecond;
    out.millisecond = t.wMilliseconds;
    return out;
}

sys::LocalTime Win32Clock::now() const {
    // One reading of the system clock, seen in UTC and on the local clock.
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    return toLocalTime((static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime, nullptr);
}

}  // namespace locale
