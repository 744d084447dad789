// A list window's grid as a table in a report: the command stream through the toolbar's
// report button, the table's columns and widths, field lines, and the document built.
#include "ItemListWindow.h"
#include "TestSupport.h"
#include "export/MSWord.h"
#include "export/RecordingSink.h"
#include "export/ReportWindow.h"
#include "export/RichTextSink.h"
#include "export/sg2word.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QToolButton>
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

namespace {

Command cmd(const char *name, const QVariantList &args = {}) { return {QString::fromLatin1(name), args}; }
Command insert(const QString &text) { return cmd("Insert", {text}); }

QStringList cellTexts(QTextTable *t, int row)
{
    QStringList out;
    for (int c = 0; c < t->columns(); ++c) {
        const QTextTableCell cell = t->cellAt(row, c);
        QTextCursor cur = cell.firstCursorPosition();
        cur.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        out << cur.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
    }
    return out;
}

QTextTable *firstTable(QTextDocument *doc)
{
    for (QTextFrame *f : doc->rootFrame()->childFrames())
        if (auto *t = qobject_cast<QTextTable *>(f))
            return t;
    return nullptr;
}

}  // namespace

class TestGridReport : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<RecordingSink> sink;

    void compare(const QList<Command> &expected)
    {
        const QList<Command> &got = sink->commands;
        for (int i = 0; i < qMin(got.size(), expected.size()); ++i)
            QCOMPARE(got.at(i), expected.at(i));
        QCOMPARE(got.size(), expected.size());
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void init()
    {
        sink = std::make_shared<RecordingSink>();
        std::shared_ptr<RecordingSink> s = sink;
        TMSWord::setSinkFactory([s] { return s; });
    }
    void cleanup() { TMSWord::setSinkFactory({}); }

    void toolbarReportStream();
    void table_data();
    void table();
    void noWordProcessor();
    void failuresEndTheReport_data();
    void failuresEndTheReport();
    void fieldToWord_data();
    void fieldToWord();
    void documentBuilt();
};

// A window whose grid has one column 100 pixels wide and whose dataset holds two records.
void TestGridReport::toolbarReportStream()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (102, 103)"), QStringLiteral("История работ"));
    list.showColumns({QStringLiteral("Name")}, {100});

    list.w().BtnRep->click();

    compare({cmd("FileNew"),
             cmd("Filepagesetup", {2, 1, 60, 60, 60, 60}),
             cmd("CenterPara"),
             insert(QStringLiteral("История работ\r")),
             cmd("LeftPara"),
             cmd("TableInsertTable", {0, 2, 2, 50, 0, 16}),
             cmd("TableColumnWidth", {50}),
             insert(QStringLiteral("№ п.п.")),
             cmd("CharRight"),
             cmd("TableColumnWidth", {80}),
             insert(QStringLiteral("Название")),
             cmd("EndOfColumn"),
             cmd("TableInsertRow"),
             insert(QStringLiteral("1")),
             cmd("CharRight"),
             insert(QStringLiteral("HP LaserJet 5100")),
             cmd("EndOfColumn"),
             cmd("TableInsertRow"),
             insert(QStringLiteral("2")),
             cmd("CharRight"),
             insert(QStringLiteral("Canon 5530 D")),
             cmd("EndOfColumn"),
             cmd("TableDeleteRow"),
             insert(QStringLiteral("\r")),
             cmd("AppShow")});
    QVERIFY(dialogs.messages.isEmpty());
    // The walk leaves the dataset at its end, the grid on the last record.
    QVERIFY(list.dataSet.Eof());
    QCOMPARE(list.grid().currentIndex().row(), 1);
    QCOMPARE(list.w().statusText(), QStringLiteral("Всего 2 запись(сей)"));
}

// GridToWord's table: the header, the widths and the rows.
void TestGridReport::table_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QList<int>>("pixels");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QList<Command>>("table");

    const QStringList three = {QStringLiteral("Name"), QStringLiteral("Seria"), QStringLiteral("id")};
    const QList<Command> header3 = {
        cmd("TableColumnWidth", {80}), insert(QStringLiteral("Название")), cmd("CharRight"),
        cmd("TableColumnWidth", {51}), insert(QStringLiteral("Серия")),    cmd("CharRight"),
        cmd("TableColumnWidth", {53}), insert(QStringLiteral("Код")),      cmd("EndOfColumn")};
    const QList<Command> numbering = {cmd("TableColumnWidth", {50}), insert(QStringLiteral("№ п.п.")),
                                      cmd("CharRight")};
    const QList<Command> close = {cmd("TableDeleteRow"), insert(QStringLiteral("\r"))};

    QTest::newRow("empty dataset: the header row alone")
        << QStringLiteral("id < 0") << three << QList<int>{100, 64, 66} << true
        << (QList<Command>{cmd("TableInsertTable", {0, 4, 2, 50, 0, 16})} + numbering + header3 + close);
    QTest::newRow("not numbered: the grid's columns only")
        << QStringLiteral("id = 104") << three << QList<int>{100, 64, 66} << false
        << (QList<Command>{cmd("TableInsertTable", {0, 3, 2, 50, 0, 16})} + header3 +
            QList<Command>{cmd("TableInsertRow"), insert(QStringLiteral("Epson Perfection 1270")), cmd("CharRight"),
                           insert(QStringLiteral("S - 234567")), cmd("CharRight"), insert(QStringLiteral("104")),
                           cmd("EndOfColumn")} +
            close);
    // A null is an empty cell; a value with a line break goes in as it is.
    QTest::newRow("numbered, null and line break")
        << QStringLiteral("id in (201, 101)") << QStringList{QStringLiteral("Info"), QStringLiteral("Seria")}
        << QList<int>{40, 41} << true
        << (QList<Command>{cmd("TableInsertTable", {0, 3, 2, 50, 0, 16})} + numbering +
            QList<Command>{cmd("TableColumnWidth", {32}),
                           insert(QStringLiteral("Примечание")),
                           cmd("CharRight"),
                           cmd("TableColumnWidth", {33}),
                           insert(QStringLiteral("Серия")),
                           cmd("EndOfColumn"),
                           cmd("TableInsertRow"),
                           insert(QStringLiteral("1")),
                           cmd("CharRight"),
                           insert(QString()),
                           cmd("CharRight"),
                           insert(QStringLiteral("В-64 21")),
                           cmd("EndOfColumn"),
                           cmd("TableInsertRow"),
                           insert(QStringLiteral("2")),
                           cmd("CharRight"),
                           insert(QStringLiteral("x\ry")),
                           cmd("CharRight"),
                           insert(QString()),
                           cmd("EndOfColumn")} +
            close);
}

void TestGridReport::table()
{
    QFETCH(QString, where);
    QFETCH(QStringList, fields);
    QFETCH(QList<int>, pixels);
    QFETCH(bool, numbered);
    QFETCH(QList<Command>, table);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.query(
        QStringLiteral("insert into izdel (id, Name, Seria, Info) values (201, 'z', NULL, 'x' || char(13) || 'y')"));
    ScriptedDialogs dialogs;
    ItemListWindow list(where);
    list.showColumns(fields, pixels);
    for (int i = 0; i < pixels.size(); ++i)
        QCOMPARE(list.grid().columnWidthPixels(i), pixels.at(i));

    TMSWord word;
    QVERIFY(word.Open());
    GridToWord(&list.grid(), &list.dataSet, word, numbered);

    compare(table);
    QVERIFY(list.dataSet.Eof());
}

void TestGridReport::noWordProcessor()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    TMSWord::setSinkFactory([] { return std::shared_ptr<DocumentSink>(); });
    ItemListWindow list;
    list.dataSet.setRecNo(2);

    list.w().BtnRep->click();

    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не могу открыть msWord")});
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY(sink->commands.isEmpty());
    QCOMPARE(list.dataSet.RecNo(), 2);
}

// Nothing else is caught: the error reaches the general display and the document is not
// shown.
void TestGridReport::failuresEndTheReport_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("reject");
    QTest::addColumn<QString>("error");
    QTest::newRow("grid column without its field")
        << QStringLiteral("Nope") << QString() << QStringLiteral("Field 'Nope' not found");
    QTest::newRow("command refused") << QStringLiteral("Name") << QStringLiteral("TableInsertRow") << QString();
}

void TestGridReport::failuresEndTheReport()
{
    QFETCH(QString, field);
    QFETCH(QString, reject);
    QFETCH(QString, error);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    sink->rejectCommand = reject;
    ItemListWindow list(QStringLiteral("id in (101, 102)"));
    list.showColumns({field});

    list.w().BtnRep->click();

    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
    if (!error.isEmpty())
        QCOMPARE(dialogs.messages.at(0).text, error);
    QVERIFY(!sink->commands.contains(cmd("AppShow")));
    QVERIFY(!sink->commands.contains(cmd("TableDeleteRow")));
}

void TestGridReport::fieldToWord_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("lineBreak");
    QTest::addColumn<QList<Command>>("commands");
    QTest::newRow("labelled, with line end")
        << QStringLiteral("Тип") << true
        << QList<Command>{insert(QStringLiteral("Тип : принтер")), insert(QStringLiteral("\r"))};
    QTest::newRow("without line end") << QStringLiteral("Тип") << false
                                      << QList<Command>{insert(QStringLiteral("Тип : принтер"))};
    QTest::newRow("no label: the field's name")
        << QString() << true
        << QList<Command>{insert(QStringLiteral("Proizvod : принтер")), insert(QStringLiteral("\r"))};
}

void TestGridReport::fieldToWord()
{
    QFETCH(QString, label);
    QFETCH(bool, lineBreak);
    QFETCH(QList<Command>, commands);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDataSet ds;
    ds.setSQL(QStringLiteral("select Proizvod from izdel where id = 103"));
    TField &f = ds.addField(QStringLiteral("Proizvod"), FieldType::String, 30);
    if (!label.isEmpty())
        f.setDisplayLabel(label);
    ds.Open();
    TMSWord word;
    QVERIFY(word.Open());

    FieldToWord(word, &f, lineBreak);

    compare(commands);
}

// The toolbar's report built by the default sink and read back from its window.
void TestGridReport::documentBuilt()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    auto rich = std::make_shared<RichTextSink>();
    TMSWord::setSinkFactory([rich] { return rich; });
    ItemListWindow list(QStringLiteral("id in (103, 104, 201)"), QStringLiteral("Справочник состояний"));
    db.query(QStringLiteral(
        "insert into izdel (id, Name, Seria, Info) values (201, 'две' || char(13) || 'строки', NULL, NULL)"));
    list.dataSet.Requery();
    list.showColumns({QStringLiteral("Name"), QStringLiteral("Seria")}, {100, 64});

    list.w().BtnRep->click();

    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(rich->window());
    QVERIFY(rich->window()->isVisible());
    QTextDocument *doc = rich->window()->document();
    QCOMPARE(doc->begin().text(), QStringLiteral("Справочник состояний"));
    QCOMPARE(int(doc->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask), int(Qt::AlignHCenter));
    QTextTable *t = firstTable(doc);
    QVERIFY(t);
    QCOMPARE(t->rows(), 4);
    QCOMPARE(t->columns(), 3);
    QCOMPARE(cellTexts(t, 0),
             (QStringList{QStringLiteral("№ п.п."), QStringLiteral("Название"), QStringLiteral("Серия")}));
    QCOMPARE(cellTexts(t, 1),
             (QStringList{QStringLiteral("1"), QStringLiteral("Canon 5530 D"), QStringLiteral("А - 67567879")}));
    QCOMPARE(cellTexts(t, 2),
             (QStringList{QStringLiteral("2"), QStringLiteral("Epson Perfection 1270"), QStringLiteral("S - 234567")}));
    // A CR in a value starts a new paragraph inside its cell.
    QCOMPARE(cellTexts(t, 3), (QStringList{QStringLiteral("3"), QStringLiteral("две|строки"), QString()}));
    const QList<QTextLength> widths = t->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 3);
    QCOMPARE(widths.at(0).rawValue(), RichTextSink::pointsToPixels(50));
    QCOMPARE(widths.at(1).rawValue(), RichTextSink::pointsToPixels(80));
    QCOMPARE(widths.at(2).rawValue(), RichTextSink::pointsToPixels(51));
    rich->window()->close();
}

QTEST_MAIN(TestGridReport)
#include "tst_gridreport.moc"
