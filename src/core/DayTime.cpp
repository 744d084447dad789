#include "core/DayTime.h"

namespace DayTime {

QDateTime ofParts(int year, int month, int day, int hour, int minute, int second, int msec)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        return QDateTime();
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (day > monthDays[month - 1] + (month == 2 && leap))
        return QDateTime();
    // Days from the civil date, in eras of 400 years from 1 March of year 0.
    const int y = year - (month <= 2);
    const int era = y / 400, yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 days = qint64(era) * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    const qint64 ms = days * 86400000 + ((hour * 60 + minute) * 60 + second) * 1000 + msec;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

}  // namespace DayTime
