#include "platform/locale/locale_info.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

namespace regional {
namespace {

enum class Kind { Hour, Minute, Second, Designator, Other, Literal };
enum class Case { Upper, Lower, AsIs };

struct Token {
    Kind kind = Kind::Literal;
    char letter = 0;  // 'h' or 'H' for hours
    std::size_t width = 0;
    Case designatorCase = Case::AsIs;
    std::string text;  // literal text, quotes removed
};

std::vector<Token> tokenize(std::string_view p) {
    std::vector<Token> tokens;
    auto literal = [&]() -> std::string& {
        if (tokens.empty() || tokens.back().kind != Kind::Literal) tokens.push_back({});
        return tokens.back().text;
    };
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\'') {
            if (i + 1 < p.size() && p[i + 1] == '\'') {  // '' is a quote character
                literal() += '\'';
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            std::string& out = literal();
            while (j < p.size()) {
                if (p[j] == '\'') {
                    if (j + 1 < p.size() && p[j + 1] == '\'') {
                        out += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                out += p[j++];
            }
            i = j + 1;  // past the closing quote (or the end)
            continue;
        }
        if (c == 'a' || c == 'A') {
            Token t;
            t.kind = Kind::Designator;
            if (i + 1 < p.size() && (p[i + 1] == 'p' || p[i + 1] == 'P')) {
                const char second = p[i + 1];
                if (c == 'A' && second == 'P')
                    t.designatorCase = Case::Upper;
                else if (c == 'a' && second == 'p')
                    t.designatorCase = Case::Lower;
                else
                    t.designatorCase = Case::AsIs;
                i += 2;
            } else {
                t.designatorCase = c == 'A' ? Case::Upper : Case::Lower;
                i += 1;
            }
            tokens.push_back(t);
            continue;
        }
        if (c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 'z' || c == 't') {
            std::size_t j = i;
            while (j < p.size() && p[j] == c) ++j;
            Token t;
            t.kind = c == 'h' || c == 'H' ? Kind::Hour
                     : c == 'm'           ? Kind::Minute
                     : c == 's'           ? Kind::Second
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

std::string applyCase(std::string_view text, Case c) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    switch (c) {
    case Case::Upper: return s.toUpper().toStdString();
    case Case::Lower: return s.toLower().toStdString();
    case Case::AsIs: break;
    }
    return std::string(text);
}

}  // namespace

ui::TimeFormatSettings analyseTimeFormat(std::string_view pattern, std::string_view amText, std::string_view pmText) {
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
    s.twelveHour = hour && tokens[*hour].letter == 'h' && designator.has_value();
    s.leadingZero = hour && tokens[*hour].width >= 2;
    s.designatorFirst = designator && hour && *designator < *hour;
    const Case designatorCase = designator ? tokens[*designator].designatorCase : Case::AsIs;
    s.am = applyCase(amText, designatorCase);
    s.pm = applyCase(pmText, designatorCase);
    if (hour && minute) {
        s.separator.clear();
        for (std::size_t i = *hour + 1; i < *minute; ++i) s.separator += tokens[i].text;
    }
    return s;
}

ui::TimeFormatSettings QtLocaleInfo::timeFormat() const {
    const QLocale locale = fixed_ ? QLocale(QString::fromStdString(name_)) : QLocale::system();
    std::string format = locale.timeFormat(QLocale::LongFormat).toStdString();
    std::string am = locale.amText().toStdString();
    std::string pm = locale.pmText().toStdString();
    if (!last_ || last_->format != format || last_->am != am || last_->pm != pm) {
        const ui::TimeFormatSettings settings = analyseTimeFormat(format, am, pm);
        last_ = Analysed{std::move(format), std::move(am), std::move(pm), settings};
    }
    return last_->settings;
}

}  // namespace regional
