// Dates as the lists show them and as the user types them back, in several locales.
#include "core/DayTime.h"
#include "db/TDataSet.h"
#include "storage/SqliteBackend.h"

#include <QLocale>
#include <QtTest>

class TestDateText : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("value");
        const QDateTime leap = DayTime::of(QDate(2004, 2, 29), QTime(0, 0));
        const QDateTime withTime = DayTime::of(QDate(2005, 5, 18), QTime(13, 33, 38));
        for (const char *name : {"C", "ru_RU", "en_US", "de_DE"}) {
            QTest::addRow("%s date", name) << QString::fromLatin1(name) << leap;
            QTest::addRow("%s date and time", name) << QString::fromLatin1(name) << withTime;
        }
    }

    void roundTrip()
    {
        QFETCH(QString, locale);
        QFETCH(QDateTime, value);
        QLocale::setDefault(QLocale(locale));
        const QString shown = DateText::format(value);
        QVERIFY(shown.contains(QLatin1String("2004")) || shown.contains(QLatin1String("2005")));
        QCOMPARE(shown.contains(QLatin1Char(':')), value.time() != QTime(0, 0));
        QCOMPARE(DateText::parse(shown), value);
    }

    void russianForms_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDateTime>("value");
        QTest::newRow("short") << "18.05.2005" << DayTime::of(QDate(2005, 5, 18), QTime(0, 0));
        QTest::newRow("no leading zeros") << "5.1.2004" << DayTime::of(QDate(2004, 1, 5), QTime(0, 0));
        QTest::newRow("with time") << "18.05.2005 13:33:38" << DayTime::of(QDate(2005, 5, 18), QTime(13, 33, 38));
        QTest::newRow("not a date") << "31.02.2005" << QDateTime();
        QTest::newRow("text") << "вчера" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
    }

    void russianForms()
    {
        QFETCH(QString, typed);
        QFETCH(QDateTime, value);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(DateText::parse(typed), value);
    }

    // The embedded database keeps dates as text. What it holds reads back as the general
    // parser reads it, and a date written comes back as it was; a text that is no date
    // reads as none.
    void storedText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QDateTime>("value");
        const QDate d(2005, 3, 5);
        QTest::newRow("as written") << "2005-03-05 09:05:07.123" << QDateTime(d, QTime(9, 5, 7, 123));
        QTest::newRow("midnight") << "1999-05-20 00:00:00.000" << QDateTime(QDate(1999, 5, 20), QTime(0, 0));
        QTest::newRow("no milliseconds") << "2005-03-05 09:05:07" << QDateTime(d, QTime(9, 5, 7));
        QTest::newRow("date alone") << "2005-03-05" << QDateTime(d, QTime(0, 0));
        QTest::newRow("with T") << "2005-03-05T09:05:07" << QDateTime(d, QTime(9, 5, 7));
        QTest::newRow("minutes only") << "2005-03-05 09:05" << QDateTime(d, QTime(9, 5));
        QTest::newRow("blanks around") << " 2005-03-05 " << QDateTime(d, QTime(0, 0));
        QTest::newRow("leap day") << "2004-02-29 23:59:59.999" << QDateTime(QDate(2004, 2, 29), QTime(23, 59, 59, 999));
        QTest::newRow("no such day") << "2005-02-29 00:00:00.000" << QDateTime();
        QTest::newRow("no leap day in 1900") << "1900-02-29 00:00:00.000" << QDateTime();
        QTest::newRow("leap day in 2000") << "2000-02-29 12:00:00.000" << QDateTime(QDate(2000, 2, 29), QTime(12, 0));
        QTest::newRow("last of April") << "2005-04-30 00:00:00.000" << QDateTime(QDate(2005, 4, 30), QTime(0, 0));
        QTest::newRow("no 31st of April") << "2005-04-31 00:00:00.000" << QDateTime();
        QTest::newRow("before 1970") << "1969-12-31 23:59:59.999"
                                     << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999));
        QTest::newRow("year 1") << "0001-01-01 00:00:00.000" << QDateTime(QDate(1, 1, 1), QTime(0, 0));
        QTest::newRow("year 9999") << "9999-12-31 23:59:59.999"
                                   << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999));
        QTest::newRow("year 0") << "0000-03-01 00:00:00.000" << QDateTime();
        QTest::newRow("day 0") << "2005-03-00 00:00:00.000" << QDateTime();
        QTest::newRow("minute 60") << "2005-03-05 09:60:00.000" << QDateTime();
        QTest::newRow("no such month") << "2005-13-01" << QDateTime();
        QTest::newRow("no such hour") << "2005-03-05 24:00:00.000" << QDateTime();
        QTest::newRow("letters") << "2005-0a-05 09:05:07.123" << QDateTime();
        QTest::newRow("other separators") << "2005/03/05 09:05:07.123" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
    }
    void storedText()
    {
        QFETCH(QString, stored);
        QFETCH(QDateTime, value);
        const SqliteBackend backend(QStringLiteral("none"));
        QCOMPARE(backend.dateTimeFromDb(stored), value);
        if (!value.isValid())
            return;
        QCOMPARE(backend.toDb(value).toString(), value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
        QCOMPARE(backend.dateTimeFromDb(backend.toDb(value)), value);
    }
};

QTEST_MAIN(TestDateText)
#include "tst_datetext.moc"
