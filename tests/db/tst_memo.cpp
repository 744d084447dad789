// The memo's line breaks: the stored notes break lines with CR LF, the editor with LF alone.
// A break typed is stored as CR LF; a note left as it was keeps its bytes.
#include "TestSupport.h"
#include "db/DBEditors.h"
#include "db/TDataSet.h"

#include <QSqlError>
#include <QtTest>

class TestMemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void lineBreaks_data();
    void lineBreaks();
};

void TestMemo::lineBreaks_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("stored");    // the note before
    QTest::addColumn<QString>("shown");     // what the memo shows
    QTest::addColumn<QString>("typed");     // keys typed at the end ("\n" = Return, "\b" = Backspace)
    QTest::addColumn<QString>("expected");  // the note in the database afterwards
    struct Case {
        const char *name;
        QString stored, shown, typed, expected;
    };
    const Case cases[] = {
        {"line typed after CR LF notes", "первая\r\nвторая", "первая\nвторая", "\nтретья",
         "первая\r\nвторая\r\nтретья"},
        {"break typed in a one-line note", "одна", "одна", "\nдве", "одна\r\nдве"},
        {"typed and taken back: bytes kept", "первая\r\nвторая", "первая\nвторая", "x\b", "первая\r\nвторая"},
        {"mixed breaks left as they were", "а\nб\r\nв\rг", "а\nб\nв\nг", "x\b", "а\nб\r\nв\rг"},
        {"an edited note breaks every line with CR LF", "а\nб", "а\nб", "!", "а\r\nб!"},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) { r << c.stored << c.shown << c.typed << c.expected; });
}

void TestMemo::lineBreaks()
{
    TAVRELL_TEST_DB(db);
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    QSqlQuery q(db.module()->connection());
    q.prepare(QStringLiteral("update izdel set Info = ? where id = 103"));
    q.addBindValue(stored);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));

    TDataSource src(nullptr, items.get());
    items->Open();
    QVERIFY(items->Locate("id", 103));
    DBMemo memo;
    memo.setDataSource(&src);
    memo.setDataField(QStringLiteral("Info"));
    QCOMPARE(memo.toPlainText(), shown);

    memo.moveCursor(QTextCursor::End);
    for (const QChar c : typed) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(&memo, Qt::Key_Return);
        else if (c == QLatin1Char('\b'))
            QTest::keyClick(&memo, Qt::Key_Backspace);
        else
            QTest::sendKeyEvent(QTest::Click, &memo, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(items->State(), DataSetState::Edit);
    QVERIFY(memo.commit());
    items->Post();
    QCOMPARE(db.scalar(QStringLiteral("select Info from izdel where id = 103")).toString(), expected);
    QCOMPARE(memo.toPlainText(),
             QString(expected).replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n'));
    QVERIFY(dialogs.messages.isEmpty());
}

QTEST_MAIN(TestMemo)
#include "tst_memo.moc"
