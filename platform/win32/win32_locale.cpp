#include "platform/win32/win32_locale.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "platform/win32/win32_text.h"

namespace win32ui {
namespace {

enum class Kind { Hour, Minute, Second, Designator, Literal };

struct Token {
    Kind kind = Kind::Literal;
    wchar_t letter = 0;
    std::size_t width = 0;
    std::wstring text;  // literal text, quotes removed
};

std::vector<Token> tokenize(std::wstring_view p) {
    std::vector<Token> tokens;
    auto literal = [&]() -> std::wstring& {
        if (tokens.empty() || tokens.back().kind != Kind::Literal) tokens.push_back({});
        return tokens.back().text;
    };
    std::size_t i = 0;
    while (i < p.size()) {
        const wchar_t c = p[i];
        if (c == L'\'') {
            // Quoted text, where '' stands for one quote; an unclosed quote runs to the end.
            std::wstring& out = literal();
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == L'\'') {
                out += L'\'';
                i = j + 1;
                continue;
            }
            for (; j < p.size(); ++j) {
                if (p[j] != L'\'') {
                    out += p[j];
                } else if (j + 1 < p.size() && p[j + 1] == L'\'') {
                    out += L'\'';
                    ++j;
                } else {
                    break;
                }
            }
            i = j + 1;
            continue;
        }
        if (c == L'h' || c == L'H' || c == L'm' || c == L's' || c == L't') {
            std::size_t j = i;
            while (j < p.size() && p[j] == c) ++j;
            Token t;
            t.kind = c == L'h' || c == L'H' ? Kind::Hour
                     : c == L'm'            ? Kind::Minute
                     : c == L's'            ? Kind::Second
                                            : Kind::Designator;
            t.letter = c;
            t.width = j - i;
            tokens.push_back(t);
            i = j;
            continue;
        }
        literal() += c;
        ++i;
    }
    return tokens;
}

// The first character of a UTF-8 text, for the one-letter designator.
std::string firstCharacter(std::string_view text) {
    if (text.empty()) return {};
    std::size_t n = 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return std::string(text.substr(0, n));
}

std::wstring localeText(LCTYPE item) {
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, static_cast<int>(std::size(buffer)));
    return n > 1 ? std::wstring(buffer, static_cast<std::size_t>(n - 1)) : std::wstring();
}

}  // namespace

ui::TimeFormatSettings analyseTimeFormat(std::wstring_view pattern, std::string_view amText, std::string_view pmText) {
    const std::vector<Token> tokens = tokenize(pattern);
    std::optional<std::size_t> hour, minute, designator;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Kind::Hour && !hour)
            hour = i;
        else if (t.kind == Kind::Minute && hour && !minute)
            minute = i;
        else if (t.kind == Kind::Designator && !designator)
            designator = i;
    }

    ui::TimeFormatSettings s;
    s.twelveHour = hour && tokens[*hour].letter == L'h';
    s.leadingZero = hour && tokens[*hour].width >= 2;
    s.designatorFirst = designator && hour && *designator < *hour;
    const bool oneLetter = designator && tokens[*designator].width == 1;
    s.am = oneLetter ? firstCharacter(amText) : std::string(amText);
    s.pm = oneLetter ? firstCharacter(pmText) : std::string(pmText);
    if (hour && minute) {
        std::wstring separator;
        for (std::size_t i = *hour + 1; i < *minute; ++i) separator += tokens[i].text;
        s.separator = sys::narrow(separator);
    }
    return s;
}

ui::TimeFormatSettings Win32LocaleInfo::timeFormat() const {
    std::wstring format = localeText(LOCALE_STIMEFORMAT);
    std::wstring am = localeText(LOCALE_S1159);
    std::wstring pm = localeText(LOCALE_S2359);
    if (!last_ || last_->format != format || last_->am != am || last_->pm != pm) {
        const ui::TimeFormatSettings settings = analyseTimeFormat(format, sys::narrow(am), sys::narrow(pm));
        last_ = Analysed{std::move(format), std::move(am), std::move(pm), settings};
    }
    return last_->settings;
}

ui::LocalTime Win32Clock::now() const {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    ui::LocalTime out;
    out.year = t.wYear;
    out.month = t.wMonth;
    out.day = t.wDay;
    out.hour = t.wHour;
    out.minute = t.wMinute;
    out.second = t.wSecond > 59 ? 59 : t.wSecond;
    out.millisecond = t.wMilliseconds;
    return out;
}

}  // namespace win32ui
