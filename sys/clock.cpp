#include "sys/clock.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace sys {
namespace {

enum class Kind { Hour, Minute, Second, Designator, Other, Literal };

struct Token {
    Kind kind = Kind::Literal;
    char letter = 0;  // 'h' or 'H' for hours
    std::size_t width = 0;
    LetterCase designatorCase = LetterCase::AsIs;
    std::string text;  // literal text, quotes removed
};

// Literal text is copied byte by byte: the letters are ASCII, and no byte of a UTF-8
// sequence is.
std::vector<Token> tokenize(std::string_view p, TimePatternSyntax syntax) {
    const bool qt = syntax == TimePatternSyntax::Qt;
    std::vector<Token> tokens;
    auto literal = [&]() -> std::string& {
        if (tokens.empty() || tokens.back().kind != Kind::Literal) tokens.push_back({});
        return tokens.back().text;
    };
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\'') {
            // Quoted text, where '' stands for one quote; an unclosed quote runs to the end.
            std::string& out = literal();
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == '\'') {
                out += '\'';
                i = j + 1;
                continue;
            }
            for (; j < p.size(); ++j) {
                if (p[j] != '\'') {
                    out += p[j];
                } else if (j + 1 < p.size() && p[j + 1] == '\'') {
                    out += '\'';
                    ++j;
                } else {
                    break;
                }
            }
            i = j + 1;
            continue;
        }
        if (qt && (c == 'a' || c == 'A')) {
            Token t;
            t.kind = Kind::Designator;
            t.width = 1;
            if (i + 1 < p.size() && (p[i + 1] == 'p' || p[i + 1] == 'P')) {
                const char second = p[i + 1];
                t.designatorCase = c == 'A' && second == 'P'   ? LetterCase::Upper
                                   : c == 'a' && second == 'p' ? LetterCase::Lower
                                                               : LetterCase::AsIs;
                i += 2;
            } else {
                t.designatorCase = c == 'A' ? LetterCase::Upper : LetterCase::Lower;
                i += 1;
            }
            tokens.push_back(t);
            continue;
        }
        if (c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't' || (qt && c == 'z')) {
            std::size_t j = i;
            while (j < p.size() && p[j] == c) ++j;
            Token t;
            t.kind = c == 'h' || c == 'H' ? Kind::Hour
                     : c == 'm'           ? Kind::Minute
                     : c == 's'           ? Kind::Second
                     : c == 't' && !qt    ? Kind::Designator
                                          : Kind::Other;
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

}  // namespace

const TimeFormatSettings& TimeFormatCache::operator()(std::string pattern, std::string am, std::string pm) {
    Texts now{std::move(pattern), std::move(am), std::move(pm)};
    if (texts_ != now) {
        settings_ = analyse_(now.pattern, now.am, now.pm);
        texts_ = std::move(now);
    }
    return settings_;
}

TimeFormatSettings analyseTimePattern(std::string_view pattern, TimePatternSyntax syntax, std::string_view amText,
                                      std::string_view pmText,
                                      const std::function<std::string(std::string_view, LetterCase)>& changeCase) {
    const std::vector<Token> tokens = tokenize(pattern, syntax);
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

    TimeFormatSettings s;
    const bool needsDesignator = syntax == TimePatternSyntax::Qt;
    s.twelveHour = hour && tokens[*hour].letter == 'h' && (designator.has_value() || !needsDesignator);
    s.leadingZero = hour && tokens[*hour].width >= 2;
    s.designatorFirst = designator && hour && *designator < *hour;
    // Qt's designator letters give its case; the system's single t gives one letter.
    const bool oneLetter = syntax == TimePatternSyntax::Windows && designator && tokens[*designator].width == 1;
    const LetterCase letterCase = designator ? tokens[*designator].designatorCase : LetterCase::AsIs;
    const auto text = [&](std::string_view t) {
        if (oneLetter) return firstCharacter(t);
        return changeCase && letterCase != LetterCase::AsIs ? changeCase(t, letterCase) : std::string(t);
    };
    s.am = text(amText);
    s.pm = text(pmText);
    if (hour && minute) {
        s.separator.clear();
        for (std::size_t i = *hour + 1; i < *minute; ++i) s.separator += tokens[i].text;
    }
    return s;
}

// The usual era-based day count: 400 years are 146097 days.
std::int64_t daysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

LocalTime civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    LocalTime out;
    out.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    out.year = static_cast<int>(yearOfEra + era * 400 + (out.month <= 2 ? 1 : 0));
    out.hour = out.minute = out.second = out.millisecond = 0;
    return out;
}

std::int64_t localMinuteNumber(const LocalTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
}

std::int64_t utcSeconds(const LocalTime& t) { return (localMinuteNumber(t) - t.utcOffsetMinutes) * 60 + t.second; }

std::string formatLongTime(const TimeFormatSettings& s, const LocalTime& t) {
    int hour = t.hour;
    std::string designator;
    if (s.twelveHour) {
        const bool afternoon = t.hour >= 12;
        designator = afternoon ? (s.pm.empty() ? "pm" : s.pm) : (s.am.empty() ? "am" : s.am);
        hour = t.hour % 12;
        if (hour == 0) hour = 12;
    }
    char digits[8];
    std::snprintf(digits, sizeof digits, s.leadingZero ? "%02d" : "%d", hour);
    std::string text;
    if (s.twelveHour && s.designatorFirst) text += designator + " ";
    text += digits;
    std::snprintf(digits, sizeof digits, "%02d", t.minute);
    text += s.separator + digits;
    std::snprintf(digits, sizeof digits, "%02d", t.second);
    text += s.separator + digits;
    if (s.twelveHour && !s.designatorFirst) text += " " + designator;
    return text;
}

}  // namespace sys
