// Numbers with a fraction in their plain text form wherever a list is written: the CSV
// export, the dataset export (the archive's), the mail and the report; no digit grouping,
// the locale's decimal separator.
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/GridColumns.h"
#include "export/MSWord.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/RecordingSink.h"
#include "export/sg2csv.h"
#include "export/sg2mail.h"
#include "export/sg2word.h"

#include <QFile>
#include <QtTest>

class TestPlainNumbers : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        MailSender::setCurrent(nullptr);
        TMSWord::setSinkFactory({});
    }

    // Whole numbers take a short way to their text, and every number is formatted once: the
    // text must be the general form's, in every locale, at the edges of the short way too.
    void wholeNumbersAsTheGeneralForm_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("Arabic") << QLocale(QLocale::Arabic, QLocale::Egypt);
    }
    void wholeNumbersAsTheGeneralForm()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const PlainText plain;
        QLocale general;
        general.setNumberOptions(general.numberOptions() | QLocale::OmitGroupSeparator);
        const double values[] = {0.0,
                                 -0.0,
                                 1,
                                 -1,
                                 5,
                                 12345,
                                 -1234567,
                                 999999999999999.0,
                                 -999999999999999.0,
                                 1e15,
                                 -1e15,
                                 1e16,
                                 123456789012345678.0,
                                 0.5,
                                 -2.25,
                                 1e-7,
                                 12345.5,
                                 4503599627370496.0};
        // Twice: the second time from what the first one kept (0 and -0 apart).
        for (int pass = 0; pass < 2; ++pass)
            for (double v : values)
                QVERIFY2(plain.number(v) == general.toString(v, 'g', 15),
                         qPrintable(QStringLiteral("%1: %2, the general form %3")
                                        .arg(v, 0, 'g', 17)
                                        .arg(plain.number(v), general.toString(v, 'g', 15))));
    }

    // The dataset export puts an integer field's digits down itself: the same text as the
    // field shows, for every value a column may hold (a bigint cut as the field cuts it, a
    // null), on both backends.
    void wholeNumbersInTheDataSetExport_data() { addBackendCases(); }
    void wholeNumbersInTheDataSetExport()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("create table nums (id integer primary key, n integer, b bigint, t varchar(10))"));
        for (const char *row : {"1, 0, 0, 'ноль'", "2, -5, 5000000000, null", "3, 2147483647, -1, '7'",
                                "4, -2147483648, null, ''", "5, null, -9000000000, 'x'"})
            db.query(QStringLiteral("insert into nums values (%1)").arg(QString::fromUtf8(row)));
        TDataSet list;
        list.setSQL(QStringLiteral("select * from nums order by id"));
        for (const char *f : {"id", "n", "b"})
            list.addField(QString::fromLatin1(f), FieldType::Integer);
        list.addField(QStringLiteral("t"), FieldType::String, 10);
        list.Open();
        QStringList expected;
        for (list.First(); !list.Eof(); list.Next()) {
            QStringList values;
            for (const char *f : {"id", "n", "b", "t"})
                values << list.FieldByName(QString::fromLatin1(f))->AsString();
            expected << values.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        }
        QCOMPARE(expected.value(1), QStringLiteral("2;-5;705032704;\r\n"));
        const QString file = db.folder() + QStringLiteral("/nums.csv");
        list.First();
        DataSetToCSV(file, &list);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(Cp1251::decode(f.readAll()), expected.join(QString()));
    }

    void everyExport_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("number");
        QTest::newRow("C") << QLocale::c() << "12345.5";
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << "12345,5";
    }
    void everyExport()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, number);
        QLocale::setDefault(locale);
        TestDb db;
        QVERIFY2(db.ok(), qPrintable(db.error()));
        TDataSet list;
        list.setSQL(QStringLiteral("select 12345.5 as cnt, 'болт' as name, 1234567 as n"));
        list.addField(QStringLiteral("cnt"), FieldType::Float).setDisplayLabel(QStringLiteral("Количество"));
        list.addField(QStringLiteral("name"), FieldType::String, 20).setDisplayLabel(QStringLiteral("Ресурс"));
        list.addField(QStringLiteral("n"), FieldType::Integer).setDisplayLabel(QStringLiteral("Код"));
        list.Open();
        TDataSource source(nullptr, &list);
        TDBGrid grid;
        grid.setDataSource(&source);
        for (const char *f : {"cnt", "name", "n"})
            grid.addColumn(QString::fromLatin1(f));
        const QString row =
            QStringList{number, QStringLiteral("болт"), QStringLiteral("1234567")}.join(QLatin1Char(';'));

        ScriptedDialogs dialogs;
        const QString gridFile = db.folder() + QStringLiteral("/grid.csv");
        dialogs.saveNames << gridFile;
        GridToCSV(QStringLiteral("Расход"), &grid, &list, true);
        QFile g(gridFile);
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(Cp1251::decode(g.readAll()),
                 QStringLiteral("№ п.п.;Количество;Ресурс;Код\r\n1;") + row + QStringLiteral("\r\n"));

        const QString dataFile = db.folder() + QStringLiteral("/data.csv");
        list.First();
        DataSetToCSV(dataFile, &list);
        QFile d(dataFile);
        QVERIFY(d.open(QIODevice::ReadOnly));
        QCOMPARE(Cp1251::decode(d.readAll()), row + QStringLiteral("\r\n"));

        RecordingMailSender sender;
        MailSender::setCurrent(&sender);
        QVERIFY(GridToMail(QStringLiteral("Расход"), &grid, &list, true));
        QCOMPARE(sender.messages.size(), 1);
        QCOMPARE(sender.messages.at(0).body.split(QStringLiteral("\r\n")).value(1),
                 QStringLiteral("1\t") + QString(row).replace(QLatin1Char(';'), QLatin1Char('\t')));

        auto sink = std::make_shared<RecordingSink>();
        TMSWord::setSinkFactory([sink] { return sink; });
        TMSWord word;
        QVERIFY(word.Open());
        GridToWord(&grid, &list, word, false);
        QStringList inserted;
        for (const RecordingSink::Command &c : sink->commands)
            if (c.name == QLatin1String("Insert"))
                inserted << c.args.value(0).toString();
        QVERIFY2(inserted.contains(number), qPrintable(inserted.join(QLatin1Char('|'))));
        QVERIFY(dialogs.texts().size() == 1);  // the CSV export's own "Экспорт завершен"
    }
};

QTEST_MAIN(TestPlainNumbers)
#include "tst_plainnumbers.moc"
