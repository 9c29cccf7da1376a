#include "ui/panels/call_time_text.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

namespace {

// The locale's time with seconds: its long format without the time zone ("t"), which a call's
// local time does not need. Worked out once per locale, as the lists ask for every row they paint.
QString TimeFormat(const QLocale& locale)
{
    static QLocale cachedLocale = QLocale::c();
    static QString cachedFormat;
    if (cachedFormat.isEmpty() || !(locale == cachedLocale)) {
        static const QRegularExpression kZone(QStringLiteral("\\s*\\bt+\\b"));
        cachedFormat = locale.timeFormat(QLocale::LongFormat).remove(kZone).trimmed();
        cachedLocale = locale;
    }
    return cachedFormat;
}

} // namespace

QString ShownDate(const CallTime& time)
{
    const QLocale locale;
    if (locale.language() == QLocale::C || !time.IsValid())
        return QString::fromStdString(time.DateText());
    return locale.toString(QDate(time.year, time.month, time.day), QLocale::ShortFormat);
}

QString ShownTime(const CallTime& time)
{
    const QLocale locale;
    if (locale.language() == QLocale::C || !time.IsValid())
        return QString::fromStdString(time.TimeText());
    return locale.toString(QTime(time.hour, time.minute, time.second), TimeFormat(locale));
}
