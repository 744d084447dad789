// The command stream that TMSWord sends, against the recording sink.
#include "core/Errors.h"
#include "export/MSWord.h"
#include "export/RecordingSink.h"

#include <QtTest>

using Command = RecordingSink::Command;
Q_DECLARE_METATYPE(QList<Command>)

namespace QTest {
template <> char *toString(const Command &c)
{
    QStringList args;
    for (const QVariant &a : c.args)
        args << QStringLiteral("%1:%2").arg(QString::fromLatin1(a.typeName()), a.toString());
    return qstrdup(qPrintable(c.name + QLatin1Char('(') + args.join(QLatin1String(", ")) + QLatin1Char(')')));
}
}  // namespace QTest

class TestMSWord : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<RecordingSink> sink;

    static Command cmd(const char *name, const QVariantList &args = {}) { return {QString::fromLatin1(name), args}; }
    void compare(const QList<Command> &expected)
    {
        const QList<Command> &got = sink->commands;
        for (int i = 0; i < qMin(got.size(), expected.size()); ++i)
            QCOMPARE(got.at(i), expected.at(i));
        QCOMPARE(got.size(), expected.size());
    }

private slots:
    void init()
    {
        sink = std::make_shared<RecordingSink>();
        std::shared_ptr<RecordingSink> s = sink;
        TMSWord::setSinkFactory([s] { return s; });
    }
    void cleanup() { TMSWord::setSinkFactory({}); }

    // A grid of one column 100 pixels wide and two records, reported with numbering.
    void gridReportStream()
    {
        const QString caption = QStringLiteral("История работ");
        {
            TMSWord word;
            QVERIFY(word.Open());
            word.NewDocument();
            word.InsertTitle(caption + QLatin1Char('\r'));
            word.InsertTable(2, 16);
            word.FillHeader({50, 80}, {QStringLiteral("№ п.п."), QStringLiteral("Модель")});
            word.AddRow({QStringLiteral("1"), QStringLiteral("Canon 5530 D")});
            word.AddRow({QStringLiteral("2"), QStringLiteral("HP LaserJet")});
            word.CloseTable();
            word.Show();
        }
        compare({cmd("FileNew"),
                 cmd("Filepagesetup", {2, 1, 60, 60, 60, 60}),
                 cmd("CenterPara"),
                 cmd("Insert", {QStringLiteral("История работ\r")}),
                 cmd("LeftPara"),
                 cmd("TableInsertTable", {0, 2, 2, 50, 0, 16}),
                 cmd("TableColumnWidth", {50}),
                 cmd("Insert", {QStringLiteral("№ п.п.")}),
                 cmd("CharRight"),
                 cmd("TableColumnWidth", {80}),
                 cmd("Insert", {QStringLiteral("Модель")}),
                 cmd("EndOfColumn"),
                 cmd("TableInsertRow"),
                 cmd("Insert", {QStringLiteral("1")}),
                 cmd("CharRight"),
                 cmd("Insert", {QStringLiteral("Canon 5530 D")}),
                 cmd("EndOfColumn"),
                 cmd("TableInsertRow"),
                 cmd("Insert", {QStringLiteral("2")}),
                 cmd("CharRight"),
                 cmd("Insert", {QStringLiteral("HP LaserJet")}),
                 cmd("EndOfColumn"),
                 cmd("TableDeleteRow"),
                 cmd("Insert", {QStringLiteral("\r")}),
                 cmd("AppShow")});
        // Integers go as integers, texts as texts, the flag as a Boolean.
        QCOMPARE(sink->commands.at(1).args.at(0).typeId(), QMetaType::Int);
        QCOMPARE(sink->commands.at(3).args.at(0).typeId(), QMetaType::QString);
    }

    void tableRows_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QList<Command>>("expected");
        QTest::newRow("one column") << QStringList{QStringLiteral("a")}
                                    << QList<Command>{cmd("TableInsertRow"), cmd("Insert", {QStringLiteral("a")}),
                                                      cmd("EndOfColumn")};
        QTest::newRow("three columns, empty value")
            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("c\rd")}
            << QList<Command>{cmd("TableInsertRow"), cmd("Insert", {QStringLiteral("a")}),
                              cmd("CharRight"),      cmd("Insert", {QString()}),
                              cmd("CharRight"),      cmd("Insert", {QStringLiteral("c\rd")}),
                              cmd("EndOfColumn")};
    }
    void tableRows()
    {
        QFETCH(QStringList, values);
        QFETCH(QList<Command>, expected);
        TMSWord word;
        QVERIFY(word.Open());
        word.AddRow(values);
        compare(expected);
    }

    void headerOfOneColumn()
    {
        TMSWord word;
        QVERIFY(word.Open());
        word.FillHeader({50}, {QStringLiteral("№ п.п.")});
        compare({cmd("TableColumnWidth", {50}), cmd("Insert", {QStringLiteral("№ п.п.")}), cmd("EndOfColumn")});
    }

    void insertAndBold()
    {
        TMSWord word;
        QVERIFY(word.Open());
        QVERIFY(word.Word() == sink.get());
        word.Word()->command(QStringLiteral("bold"), {true});
        word.Insert(QStringLiteral("Дата вып : 01.02.2003"));
        compare({cmd("bold", {true}), cmd("Insert", {QStringLiteral("Дата вып : 01.02.2003")})});
        QCOMPARE(sink->commands.at(0).args.at(0).typeId(), QMetaType::Bool);
    }

    void openWithoutSink_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("factory yields nothing") << false;
        QTest::newRow("factory fails") << true;
    }
    void openWithoutSink()
    {
        QFETCH(bool, throws);
        TMSWord::setSinkFactory([throws]() -> std::shared_ptr<DocumentSink> {
            if (throws)
                throw TavrellError(QStringLiteral("no word processor"));
            return nullptr;
        });
        TMSWord word;
        QVERIFY(!word.Open());
        QVERIFY(word.Word() == nullptr);
        // Using an unopened wrapper is an error, not a crash.
        QVERIFY_THROWS_EXCEPTION(TavrellError, word.NewDocument());
        QVERIFY(sink->commands.isEmpty());
    }

    // A rejected command ends the report there: nothing after it is sent.
    void rejectedCommandStopsTheReport()
    {
        sink->rejectCommand = QStringLiteral("TableInsertRow");
        TMSWord word;
        QVERIFY(word.Open());
        word.InsertTable(1, 16);
        QVERIFY_THROWS_EXCEPTION(TavrellError, word.AddRow({QStringLiteral("1")}));
        compare({cmd("TableInsertTable", {0, 1, 2, 50, 0, 16})});
    }

    void headerSizesMustAgree()
    {
        TMSWord word;
        QVERIFY(word.Open());
        QVERIFY_THROWS_EXCEPTION(TavrellError, word.FillHeader({50, 80}, {QStringLiteral("№ п.п.")}));
        QVERIFY_THROWS_EXCEPTION(TavrellError, word.FillHeader({}, {}));
        QVERIFY(sink->commands.isEmpty());
    }

    // Freeing the wrapper drops its reference only: the sink lives on with its document.
    void freeingKeepsTheSink()
    {
        std::weak_ptr<RecordingSink> weak = sink;
        {
            TMSWord word;
            QVERIFY(word.Open());
            word.Show();
        }
        QVERIFY(!weak.expired());
        compare({cmd("AppShow")});
    }
};

QTEST_MAIN(TestMSWord)
#include "tst_msword.moc"
