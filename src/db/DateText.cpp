// The text forms of dates: the short date format, a date as shown, a sample, a typed date read.
#include "db/TDataSet.h"

#include "core/DayTime.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// The ISO forms of a date (and time), as another program writes them.
QDateTime isoDateTime(const QString &s)
{
    static const char *const formats[] = {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss.zzz",
                                          "yyyy-MM-ddTHH:mm:ss",     "yyyy-MM-dd HH:mm",    "yyyy-MM-dd"};
    for (const char *f : formats) {
        const QDateTime dt = DayTime::utcFromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

}  // namespace

namespace DateText {

QString shortDateFormat()
{
    // Asked for every date a list or an export shows: worked out once per locale.
    static QLocale cachedFor(QLocale::c());
    static QString cached;
    const QLocale locale;
    if (cached.isEmpty() || locale != cachedFor) {
        QString f = locale.dateFormat(QLocale::ShortFormat);
        if (!f.contains(QLatin1String("yyyy")))
            f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        cachedFor = locale;
        cached = f;
    }
    return cached;
}

QString format(const QDateTime &dt)
{
    if (!dt.isValid())
        return QString();
    QString s = QLocale().toString(dt.date(), shortDateFormat());
    if (dt.time() != QTime(0, 0))
        s += QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    return s;
}

QString sample(bool withTime)
{
    return withTime ? format(QDateTime(QDate(2022, 12, 28), QTime(23, 59, 59)))
                    : format(QDateTime(QDate(2003, 9, 21), QTime(0, 0)));
}

QDateTime parse(const QString &text)
{
    const QString s = text.simplified();
    if (s.isEmpty())
        return QDateTime();
    // Lenient about leading zeros: "5.1.2004" reads as "05.01.2004".
    QString date = shortDateFormat();
    // Only numeric day and month: "MMM" (a month's name) stays as it is.
    static const QRegularExpression twoDigitDay(QStringLiteral("(?<!d)dd(?!d)"));
    static const QRegularExpression twoDigitMonth(QStringLiteral("(?<!M)MM(?!M)"));
    date.replace(twoDigitDay, QStringLiteral("d")).replace(twoDigitMonth, QStringLiteral("M"));
    const QString times[] = {QString(), QStringLiteral(" H:mm:ss"), QStringLiteral(" H:mm"),
                             QStringLiteral(" H:mm:ss.zzz")};
    const QLocale locale;
    for (const QString &t : times) {
        // As DayTime keeps dates: the local clock would move or refuse a midnight it skips.
        const QDateTime dt = DayTime::utcFromString(s, date + t, &locale);
        if (dt.isValid())
            return dt;
    }
    return isoDateTime(s);
}

}  // namespace DateText
