// Dates as the lists show them and as the user types them back, in several locales.
#include "core/DayTime.h"
#include "db/TDataSet.h"

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
};

QTEST_MAIN(TestDateText)
#include "tst_datetext.moc"
