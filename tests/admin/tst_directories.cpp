// The five directory windows: opened from the main window by type "A" only, their captions
// and columns, keys from the counter, names cut to the column's size as they are typed,
// deletions that cascade through the schema, and deletions that a request refuses.
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "admin/Directories.h"
#include "core/Cp1251.h"
#include "lists/klfrm.h"

#include <QAction>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

namespace {

struct DirectoryCase {
    const char *tag;
    QAction *TFrmmain::*action;
    Directory directory;
    const char *name;
    const char *caption;
    const char *table;
    QStringList titles;
    int newKey;    // the counter's next key after the sample rows
    int nameSize;  // what the name column holds
};

const QList<DirectoryCase> &directoryCases()
{
    static const QList<DirectoryCase> cases = {
        {"kinds of repair",
         &TFrmmain::SprVidRemont,
         Directory::KlVidrem,
         "FrmKlvidrem",
         "Справочник видов ремонта",
         "vidu",
         {"Название"},
         23,
         30},
        {"states",
         &TFrmmain::SprStates,
         Directory::KlStates,
         "FrmKlStates",
         "Справочник состояний",
         "States",
         {"Состояние"},
         8,
         30},
        {"resources",
         &TFrmmain::SprResurs,
         Directory::Resurs,
         "FrmResurs",
         "Ресурсы",
         "resurs",
         {"Название", "Ед. изм."},
         105,
         30},
        {"operations",
         &TFrmmain::Action14,
         Directory::KlAct,
         "FrmKlAct",
         "Справочник операций",
         "Operations",
         {"Операция"},
         4,
         30},
        {"departments",
         &TFrmmain::Action1,
         Directory::KlOtdels,
         "FrmKlOtdels",
         "Отделы предприятия",
         "otdel",
         {"Название"},
         17,
         65},
    };
    return cases;
}

// The rows of the tables a directory deletion reaches, in one line.
QString counts(const TestDb &db)
{
    QStringList parts;
    for (const char *t :
         {"otdel", "States", "vidu", "Operations", "resurs", "izdel", "remont", "rem_op", "rem_res", "zajav"})
        parts << QStringLiteral("%1=%2")
                     .arg(QLatin1String(t))
                     .arg(db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(t))).toInt());
    return parts.join(QLatin1Char(' '));
}

const QString SampleCounts =
    QStringLiteral("otdel=5 States=6 vidu=5 Operations=2 resurs=4 izdel=7 remont=1 rem_op=2 rem_res=2 zajav=2");

}  // namespace

class TestDirectories : public QObject {
    Q_OBJECT
private slots:
    void init() { session() = Session(); }
    void openedFromTheMainWindow_data();
    void openedFromTheMainWindow();
    void deletions_data();
    void deletions();
    void onlyTypeAOpensThem_data();
    void onlyTypeAOpensThem();
};

void TestDirectories::openedFromTheMainWindow_data()
{
    addBackendColumn();
    QTest::addColumn<int>("which");
    for (int i = 0; i < directoryCases().size(); ++i)
        addBackendCase(directoryCases().at(i).tag, [&](QTestData &r) { r << i; });
}

// The action opens its window modally; a new row takes the counter's key, a name typed
// longer than the column is cut to it, and the table stays open after the window.
void TestDirectories::openedFromTheMainWindow()
{
    QFETCH(int, which);
    const DirectoryCase &c = directoryCases().at(which);
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY((w.*c.action)->isEnabled());

    QString name, caption;
    QStringList titles;
    QVariant key;
    TDataSet *table = nullptr;
    const QString typed(c.nameSize + 10, QLatin1Char('w'));  // beyond the column
    dialogs.dialogs.enqueue([&](QDialog &d) {
        auto &frm = static_cast<TFrmKl &>(d);
        name = frm.objectName();
        caption = frm.windowTitle();
        titles = ListWindowProbe(frm).titles();
        table = frm.DsLoc->DataSet();
        frm.show();
        frm.DBNavigator1->button(DBNavigator::Insert)->click();
        key = table->FieldByName(QStringLiteral("id"))->value();
        const QModelIndex cell = frm.grid->model()->index(table->RecNo() - 1, 0);
        frm.grid->setCurrentIndex(cell);
        frm.grid->edit(cell);
        // The cell's editor takes no more than the column holds.
        if (auto *editor = frm.grid->findChild<QLineEdit *>()) {
            QTest::keyClicks(editor, typed);
            frm.grid->itemDelegate()->setModelData(editor, frm.grid->model(), cell);
        }
        frm.DBNavigator1->button(DBNavigator::Post)->click();
        return int(QDialog::Accepted);
    });
    (w.*c.action)->trigger();

    QCOMPARE(dialogs.execLog, QStringList{QString::fromLatin1(c.name)});
    QCOMPARE(name, QString::fromLatin1(c.name));
    QCOMPARE(caption, QString::fromUtf8(c.caption));
    QCOMPARE(titles, c.titles);
    QCOMPARE(key.toInt(), c.newKey);
    QCOMPARE(db.scalar(QStringLiteral("select Name from %1 where id = %2").arg(QLatin1String(c.table)).arg(c.newKey))
                 .toString(),
             typed.left(c.nameSize));
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QVERIFY(table && table->Active());
}

void TestDirectories::deletions_data()
{
    addBackendColumn();
    QTest::addColumn<int>("directory");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");  // empty: refused, nothing deleted
    const struct {
        const char *tag;
        Directory directory;
        int key;
        const char *after;
    } cases[] = {
        {"department 12 takes item 102, its repair and the repair's lines", Directory::KlOtdels, 12,
         "otdel=4 States=6 vidu=5 Operations=2 resurs=4 izdel=6 remont=0 rem_op=0 rem_res=0 zajav=2"},
        {"state 6 takes items 106 and 107", Directory::KlStates, 6,
         "otdel=5 States=5 vidu=5 Operations=2 resurs=4 izdel=5 remont=1 rem_op=2 rem_res=2 zajav=2"},
        {"kind 12 takes repair 200", Directory::KlVidrem, 12,
         "otdel=5 States=6 vidu=4 Operations=2 resurs=4 izdel=7 remont=0 rem_op=0 rem_res=0 zajav=2"},
        {"operation 1 takes its line", Directory::KlAct, 1,
         "otdel=5 States=6 vidu=5 Operations=1 resurs=4 izdel=7 remont=1 rem_op=1 rem_res=2 zajav=2"},
        {"resource 100 takes its line", Directory::Resurs, 100,
         "otdel=5 States=6 vidu=5 Operations=2 resurs=3 izdel=7 remont=1 rem_op=2 rem_res=1 zajav=2"},
        {"department 13 meets request 4", Directory::KlOtdels, 13, ""},
        {"state 2 meets request 4", Directory::KlStates, 2, ""},
        {"department 14 meets request 5", Directory::KlOtdels, 14, ""},
    };
    for (const auto &c : cases)
        addBackendCase(c.tag, [&](QTestData &r) { r << int(c.directory) << c.key << QString::fromLatin1(c.after); });
}

// Deleting through the navigator (after its confirmation) relies on the schema's cascades;
// where they meet a request the server refuses, its message is shown and nothing goes.
void TestDirectories::deletions()
{
    QFETCH(int, directory);
    QFETCH(int, key);
    QFETCH(QString, after);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    QCOMPARE(counts(db), SampleCounts);
    TFrmKl frm(directoryWindow(Directory(directory)));
    TDataSet *table = frm.DsLoc->DataSet();
    const int rows = table->RecordCount();
    QVERIFY(table->Locate(QStringLiteral("id"), key));
    dialogs.answers << Dialogs::Ok;
    frm.DBNavigator1->button(DBNavigator::Delete)->click();
    QCOMPARE(dialogs.messages.first().text, QStringLiteral("Delete record?"));
    if (after.isEmpty()) {
        QCOMPARE(dialogs.messages.size(), 2);
        QCOMPARE(dialogs.messages.at(1).caption, QStringLiteral("Ошибка"));
        QVERIFY(!dialogs.messages.at(1).text.isEmpty());
        QCOMPARE(counts(db), SampleCounts);
        QCOMPARE(table->RecordCount(), rows);
    } else {
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(counts(db), after);
        QCOMPARE(table->RecordCount(), rows - 1);
    }
}

void TestDirectories::onlyTypeAOpensThem_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("A") << QStringLiteral("A") << true;
    QTest::newRow("D") << QStringLiteral("D") << false;
    QTest::newRow("P") << QStringLiteral("P") << false;
    QTest::newRow("R") << QStringLiteral("R") << false;
    QTest::newRow("a lower-case a") << QStringLiteral("a") << false;
    QTest::newRow("an unknown letter") << QStringLiteral("X") << false;
}

// Every type but "A" finds the five actions disabled.
void TestDirectories::onlyTypeAOpensThem()
{
    QFETCH(QString, type);
    QFETCH(bool, allowed);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
    for (const DirectoryCase &c : directoryCases()) {
        QCOMPARE((w.*c.action)->isEnabled(), allowed);
        (w.*c.action)->trigger();
    }
    QCOMPARE(dialogs.execLog.size(), allowed ? directoryCases().size() : 0);
}

QTEST_MAIN(TestDirectories)
#include "tst_directories.moc"
