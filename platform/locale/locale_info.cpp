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
    std::string format = locale.timeFormat(QLocale::LongFormat).toStdString();
    std::string am = locale.amText().toStdString();
    std::string pm = locale.pmText().toStdString();
    if (!last_ || last_->format != format || last_->am != am || last_->pm != pm) {
        const sys::TimeFormatSettings settings = analyseTimeFormat(format, am, pm);
        last_ = Analysed{std::move(format), std::move(am), std::move(pm), settings};
    }
    return last_->settings;
}

}  // namespace locale
