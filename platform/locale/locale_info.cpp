#include "platform/locale/locale_info.h"

#include <QLocale>
#include <QString>

namespace locale {

sys::TimeFormatSettings analyseTimeFormat(std::string_view pattern, std::string_view amText, std::string_view pmText) {
    return sys::analyseTimePattern(
        pattern, sys::TimePatternSyntax::Qt, amText, pmText, [](std::string_view text, sys::LetterCase c) {
            const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
            return (c == sys::LetterCase::Upper ? s.toUpper() : s.toLower()).toStdString();
        });
}

sys::TimeFormatSettings QtLocaleInfo::timeFormat() const {
    const QLocale locale = fixed_ ? QLocale(QString::fromStdString(name_)) : QLocale::system();
    return analysed_(locale.timeFormat(QLocale::LongFormat).toStdString(), locale.amText().toStdString(),
                     locale.pmText().toStdString());
}

}  // namespace locale
