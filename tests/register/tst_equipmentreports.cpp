// The equipment reports of the main window: the list as a table, by mail and to a CSV file,
// the equipment by department, and the record card; read back from the document built.
#include "RegisterTest.h"
#include "core/Cp1251.h"
#include "export/MSWord.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/RecordingSink.h"
#include "export/ReportWindow.h"
#include "export/RichTextSink.h"

#include <QAction>
#include <QFile>
#include <QMap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace RegisterTest;
using Command = RecordingSink::Command;

namespace {

// Builds the document and keeps the command stream.
class TeeSink : public DocumentSink {
public:
    void command(const QString &name, const QVariantList &args = {}) override
    {
        recorded.command(name, args);
        rich.command(name, args);
    }
    RecordingSink recorded;
    RichTextSink rich;
};

Command cmd(const char *name, const QVariantList &args = {}) { return {QString::fromLatin1(name), args}; }
Command insert(const QString &text) { return cmd("Insert", {text}); }
Command title(const QString &text) { return insert(text + QLatin1Char('\r')); }

// The paragraphs outside tables, in order.
QList<QTextBlock> outerBlocks(QTextDocument *doc)
{
    QList<QTextBlock> out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (!QTextCursor(b).currentTable())
            out << b;
    return out;
}

QStringList texts(const QList<QTextBlock> &blocks)
{
    QStringList out;
    for (const QTextBlock &b : blocks)
        out << b.text();
    return out;
}

bool centred(const QTextBlock &b)
{
    return (b.blockFormat().alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignHCenter;
}

// Bold when every piece of its text is.
bool bold(const QTextBlock &b)
{
    bool any = false;
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().fontWeight() < QFont::Bold)
            return false;
        any = true;
    }
    return any;
}

QStringList rowTexts(QTextTable *t, int row)
{
    QStringList out;
    for (int c = 0; c < t->columns(); ++c) {
        const QTextTableCell cell = t->cellAt(row, c);
        QTextCursor cur = cell.firstCursorPosition();
        cur.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        out << cur.selectedText();
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

// The grid's rows as the list shows them: display texts, column by column.
QList<QStringList> gridRows(TFrmmain &w)
{
    QList<QStringList> rows;
    const QAbstractItemModel *m = w.Grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m->columnCount(); ++c) {
            TDataSet::ActiveRow active(w.Qry, w.Qry->rowIndexAt(r));
            row << w.Grid->dataModel()->fieldAt(c)->AsString();
        }
        rows << row;
    }
    return rows;
}

const QStringList GridTitles = {QStringLiteral("Название"),  QStringLiteral("Номер"),  QStringLiteral("Тип"),
                                QStringLiteral("Дата вып"),  QStringLiteral("Ресурс"), QStringLiteral("Серия"),
                                QStringLiteral("Состояние"), QStringLiteral("Отдел"),  QStringLiteral("Формат")};

}  // namespace

class TestEquipmentReports : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<TeeSink> sink;
    QList<QPointer<ReportWindow>> windows;

    QTextDocument *shownDocument()
    {
        ReportWindow *w = sink->rich.window();
        if (!w || !w->isVisible())
            return nullptr;
        windows << w;
        return w->document();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void init()
    {
        session() = Session();
        sink = std::make_shared<TeeSink>();
        std::shared_ptr<TeeSink> s = sink;
        TMSWord::setSinkFactory([s] { return s; });
    }
    void cleanup()
    {
        for (const QPointer<ReportWindow> &w : windows)
            delete w.data();
        windows.clear();
        TMSWord::setSinkFactory({});
        MailSender::setCurrent(nullptr);
    }

    void listAsTable_data() { addBackendCases(); }
    void listAsTable();
    void listFollowsSortOrder_data() { addBackendCases(); }
    void listFollowsSortOrder();
    void listByMailAndToFile_data() { addBackendCases(); }
    void listByMailAndToFile();
    void byDepartment_data() { addBackendCases(); }
    void byDepartment();
    void card_data();
    void card();
    void noWordProcessor_data();
    void noWordProcessor();
};

void TestEquipmentReports::listAsTable()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));  // every report is there for every type
    const QList<QStringList> rows = gridRows(w);
    QCOMPARE(rows.size(), 7);

    w.ExpToWord->trigger();

    QVERIFY(dialogs.messages.isEmpty());
    const QList<Command> &c = sink->recorded.commands;
    QVERIFY(c.size() > 8);
    QCOMPARE(c.mid(0, 6), (QList<Command>{cmd("FileNew"), cmd("Filepagesetup", {2, 1, 60, 60, 60, 60}),
                                          cmd("CenterPara"), title(QStringLiteral("Список ведомственной огртехники")),
                                          cmd("LeftPara"), cmd("TableInsertTable", {0, 9, 2, 50, 0, 16})}));
    QCOMPARE(c.last(), cmd("AppShow"));

    QTextDocument *doc = shownDocument();
    QVERIFY(doc);
    const QList<QTextBlock> blocks = outerBlocks(doc);
    QCOMPARE(blocks.first().text(), QStringLiteral("Список ведомственной огртехники"));
    QVERIFY(centred(blocks.first()));
    QTextTable *t = firstTable(doc);
    QVERIFY(t);
    // No numbering column: the grid's nine columns, then every item in the list's order.
    QCOMPARE(t->columns(), 9);
    QCOMPARE(t->rows(), 8);
    QCOMPARE(rowTexts(t, 0), GridTitles);
    for (int r = 0; r < rows.size(); ++r)
        QCOMPARE(rowTexts(t, r + 1), rows.at(r));
    QCOMPARE(rowTexts(t, 1).mid(0, 3),
             (QStringList{QStringLiteral("Canon 5530 D"), QStringLiteral("432124"), QStringLiteral("принтер")}));
    // The walk leaves the list on its last item.
    QVERIFY(w.Qry->Eof());
    QCOMPARE(w.Grid->currentIndex().row(), 6);
}

void TestEquipmentReports::listFollowsSortOrder()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));
    w.GridTitleClick(1);  // by number
    const QList<QStringList> rows = gridRows(w);
    QCOMPARE(rows.first().at(1), QStringLiteral("1.23568e+006"));

    w.ExpToWord->trigger();

    QTextTable *t = firstTable(shownDocument());
    QVERIFY(t);
    QCOMPARE(t->rows(), 8);
    for (int r = 0; r < rows.size(); ++r)
        QCOMPARE(rowTexts(t, r + 1), rows.at(r));
}

void TestEquipmentReports::listByMailAndToFile()
{
    TAVRELL_TEST_DB(db);
    RecordingMailSender sender;
    MailSender::setCurrent(&sender);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));
    const QList<QStringList> rows = gridRows(w);
    QStringList expected = {QStringLiteral("№ п.п.") + QLatin1Char('\t') + GridTitles.join(QLatin1Char('\t'))};
    for (int r = 0; r < rows.size(); ++r)
        expected << QString::number(r + 1) + QLatin1Char('\t') + rows.at(r).join(QLatin1Char('\t'));

    w.ExpToMail->trigger();

    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(sender.messages.at(0).subject, QStringLiteral("Tavrell"));
    QCOMPARE(sender.messages.at(0).body, expected.join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
    QVERIFY(dialogs.messages.isEmpty());

    const QString path = QDir(db.folder()).filePath(QStringLiteral("izdel.csv"));
    dialogs.saveNames << path;
    w.ExpToExcel->trigger();

    QCOMPARE(dialogs.saveTitles, QStringList{QStringLiteral("Выберите файл для сохранения. Tavrell")});
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(Cp1251::decode(f.readAll()),
             expected.join(QLatin1String("\r\n")).replace(QLatin1Char('\t'), QLatin1Char(';')) + QLatin1String("\r\n"));
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Экспорт завершен\rФайл %1\rВсего строк 8").arg(path)});
}

void TestEquipmentReports::byDepartment()
{
    TAVRELL_TEST_DB(db);
    // An item without department, and one whose series is empty.
    db.query(QStringLiteral("insert into izdel (id, Name, Seria, Nomer, otdel) values (108, 'Lost', 'X1', '7', NULL)"));
    db.query(
        QStringLiteral("insert into izdel (id, Name, Seria, Nomer, otdel) values (109, 'NoSeries', NULL, '8', 11)"));
    // Department names in small letters and with "Ё" take their places in the alphabet.
    db.query(QStringLiteral("insert into otdel (id, Name) values (16, 'бухгалтерия')"));
    db.query(QStringLiteral("insert into otdel (id, Name) values (17, 'Ёмкостный')"));
    db.query(
        QStringLiteral("insert into izdel (id, Name, Seria, Nomer, otdel) values (110, 'Canon B', 'B1', '9', 16)"));
    db.query(
        QStringLiteral("insert into izdel (id, Name, Seria, Nomer, otdel) values (111, 'Canon E', 'E1', '10', 17)"));
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));

    w.ViewTechOnOtdel->trigger();

    QVERIFY(dialogs.messages.isEmpty());
    // Bold is switched on before every heading and never off.
    int headings = 0;
    for (const Command &c : sink->recorded.commands)
        if (c.name == QLatin1String("bold")) {
            QCOMPARE(c.args, QVariantList{true});
            ++headings;
        }
    QCOMPARE(headings, 8);

    QTextDocument *doc = shownDocument();
    QVERIFY(doc);
    const QList<QTextBlock> blocks = outerBlocks(doc);
    QCOMPARE(blocks.first().text(), QStringLiteral("Список техники по отделам"));
    QVERIFY(centred(blocks.first()));
    QVERIFY(!bold(blocks.first()));
    QCOMPARE(blocks.last().text(), QString());  // after the last item's paragraph end

    // Headings in department-name order, the item without department first; items under
    // their heading (their order within one department is the server's).
    QStringList order;
    QMap<QString, QStringList> items;
    for (const QTextBlock &b : blocks.mid(1, blocks.size() - 2)) {
        if (b.text().startsWith(QStringLiteral("Отдел:"))) {
            QVERIFY2(centred(b) && bold(b), qPrintable(b.text()));
            order << b.text();
        } else {
            QVERIFY2(!order.isEmpty(), qPrintable(b.text()));
            QVERIFY2(!centred(b), qPrintable(b.text()));
            QVERIFY2(b.text().isEmpty() || bold(b), qPrintable(b.text()));
            items[order.last()] << b.text();
        }
    }
    QCOMPARE(order, (QStringList{QStringLiteral("Отдел:"), QStringLiteral("Отдел:Административный"),
                                 QStringLiteral("Отдел:бухгалтерия"), QStringLiteral("Отдел:Ёмкостный"),
                                 QStringLiteral("Отдел:Издательский"), QStringLiteral("Отдел:Плановый"),
                                 QStringLiteral("Отдел:Технический"), QStringLiteral("Отдел:Экономический")}));
    for (QStringList &list : items)
        list.sort();
    QMap<QString, QStringList> expected;
    expected[QStringLiteral("Отдел:")] = {QStringLiteral("Lost(X1,7) ")};
    expected[QStringLiteral("Отдел:Административный")] = {QString(),
                                                          QStringLiteral("HP ScanJet 3690C(В-5678432,1.23568e+006) ")};
    expected[QStringLiteral("Отдел:бухгалтерия")] = {QStringLiteral("Canon B(B1,9) ")};
    expected[QStringLiteral("Отдел:Ёмкостный")] = {QStringLiteral("Canon E(E1,10) ")};
    expected[QStringLiteral("Отдел:Издательский")] = {QStringLiteral("Xerox 5915(G - 685432,458903) ")};
    expected[QStringLiteral("Отдел:Плановый")] = {QStringLiteral("Canon FC 336(R-8765423,4.58932e+006) "),
                                                  QStringLiteral("Epson Perfection 1270(S - 234567,12345) "),
                                                  QStringLiteral("HP deskjet 1220(В-64 21,134567) ")};
    expected[QStringLiteral("Отдел:Технический")] = {QStringLiteral("Canon 5530 D(А - 67567879,432124) ")};
    expected[QStringLiteral("Отдел:Экономический")] = {QStringLiteral("HP LaserJet 5100(В- 45678,543767) ")};
    QCOMPARE(items, expected);
}

void TestEquipmentReports::card_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("change");  // applied to item 103 before the window opens
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("department");
    addBackendCase("seeded item 103", [&](QTestData &r) {
        r << QString() << QStringLiteral("Еле дышит") << QStringLiteral("Технический");
    });
    addBackendCase("without department or state", [&](QTestData &r) {
        r << QStringLiteral("update izdel set otdel = NULL, CurState = NULL where id = 103") << QString() << QString();
    });
}

void TestEquipmentReports::card()
{
    QFETCH(QString, change);
    QFETCH(QString, state);
    QFETCH(QString, department);
    TAVRELL_TEST_DB(db);
    if (!change.isEmpty())
        db.query(change);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 103));

    w.ActPrintCard->trigger();

    QVERIFY(dialogs.messages.isEmpty());
    const QString date = QStringLiteral("21.09.2003");
    const QStringList lines = {QStringLiteral("Дата вып : ") + date,
                               QStringLiteral("Состояние : ") + state,
                               QStringLiteral("Отдел : ") + department,
                               QStringLiteral("Формат : A4 "),
                               QStringLiteral("Ресурс : "),
                               QStringLiteral("Info : еле дышит пора сдавать в утиль")};
    QList<Command> expected = {cmd("FileNew"),
                               cmd("Filepagesetup", {2, 1, 60, 60, 60, 60}),
                               cmd("bold", {true}),
                               cmd("CenterPara"),
                               title(QStringLiteral("Учетная карточка")),
                               cmd("LeftPara"),
                               cmd("bold", {true}),
                               cmd("CenterPara"),
                               title(QStringLiteral("принтер : Canon 5530 D")),
                               cmd("LeftPara"),
                               cmd("CenterPara"),
                               title(QStringLiteral("Номер :432124 Серия :А - 67567879")),
                               cmd("LeftPara")};
    for (const QString &line : lines)
        expected << insert(line) << insert(QStringLiteral("\r"));
    expected << cmd("AppShow");
    const QList<Command> &got = sink->recorded.commands;
    for (int i = 0; i < qMin(got.size(), expected.size()); ++i)
        QCOMPARE(got.at(i), expected.at(i));
    QCOMPARE(got.size(), expected.size());

    // Read back: three centred lines, then the six field lines left-aligned.
    QTextDocument *doc = shownDocument();
    QVERIFY(doc);
    const QList<QTextBlock> blocks = outerBlocks(doc);
    QCOMPARE(texts(blocks), QStringList({QStringLiteral("Учетная карточка"), QStringLiteral("принтер : Canon 5530 D"),
                                         QStringLiteral("Номер :432124 Серия :А - 67567879")}) +
                                lines + QStringList{QString()});
    for (int i = 0; i < blocks.size() - 1; ++i)
        QVERIFY2(centred(blocks.at(i)) == (i < 3), qPrintable(blocks.at(i).text()));
    QVERIFY(bold(blocks.first()));
    // The card does not move the list.
    QCOMPARE(currentId(w.Qry), 103);
}

void TestEquipmentReports::noWordProcessor_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("action");
    addBackendCase("list", [&](QTestData &r) { r << QStringLiteral("ExpToWord"); });
    addBackendCase("by department", [&](QTestData &r) { r << QStringLiteral("ViewTechOnOtdel"); });
    addBackendCase("card", [&](QTestData &r) { r << QStringLiteral("ActPrintCard"); });
}

void TestEquipmentReports::noWordProcessor()
{
    QFETCH(QString, action);
    TAVRELL_TEST_DB(db);
    TMSWord::setSinkFactory([] { return std::shared_ptr<DocumentSink>(); });
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));
    auto *a = w.findChild<QAction *>(action);
    QVERIFY(a);
    const int before = currentId(w.Qry);

    a->trigger();

    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не могу открыть msWord")});
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY(sink->recorded.commands.isEmpty());
    QCOMPARE(currentId(w.Qry), before);
}

QTEST_MAIN(TestEquipmentReports)
#include "tst_equipmentreports.moc"
