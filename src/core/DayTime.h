#pragma once
// Dates and times as the program keeps them: a day and a time of day as the clock on the
// wall reads them, in no zone, as the database stores them. They are held as UTC, which has
// no gaps: a local midnight that daylight saving skips would void or move the date.
#include <QDateTime>
#include <QLocale>

namespace DayTime {

inline QDateTime of(const QDate &date, const QTime &time = QTime(0, 0))
{
    return date.isValid() ? QDateTime(date, time.isValid() ? time : QTime(0, 0), Qt::UTC) : QDateTime();
}

// The same reading of any date-time: the local clock's "now", or a value a driver made in
// local time (in a gap it is invalid but keeps its date and time).
inline QDateTime of(const QDateTime &dt) { return of(dt.date(), dt.time()); }

// A day and time of day given by their parts, as `of` makes them, counted straight to the
// instant (a list reads thousands of them); invalid when the parts name no such moment or
// the year is outside 1 to 9999.
QDateTime ofParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int msec = 0);

// Reads a text in a QDateTime format (in the locale's month names when one is given) as UTC.
inline QDateTime utcFromString(const QString &text, const QString &format, const QLocale *locale = nullptr)
{
    const QString s = text + QLatin1String(" UTC"), f = format + QLatin1String(" t");
    return locale ? locale->toDateTime(s, f) : QDateTime::fromString(s, f);
}

}  // namespace DayTime
