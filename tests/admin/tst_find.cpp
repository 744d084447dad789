// The search window over the main window's list, on both backends: what a search finds and
// names, where it leaves the main window, the highlight, and the folded text following
// the list's changes.
#include "MainWindowFixture.h"
#include "admin/find.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"
#include "register/editu.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestFind : public QObject {
    Q_OBJECT
private slots:
    // Dates are shown in the short date format of the users' locale.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup()
    {
        DestroyFindWindow();
        FindIndex::setSliceRows(0);
    }

    void wordsOfAText_data();
    void wordsOfAText();
    void searchFindsAndNames_data();
    void searchFindsAndNames();
    void windowAsItOpens();
    void takesInputOverTheModalMainWindow();
    void noResultAndClearing_data() { addBackendCases(); }
    void noResultAndClearing();
    void resultClickMovesTheList();
    void sortLeavesResultsUntilTheTextChanges();
    void highlightOnlyWhileVisible();
    void followsTheEditor_data() { addBackendCases(); }
    void followsTheEditor();
    void followsADepartmentRenamed_data() { addBackendCases(); }
    void followsADepartmentRenamed();
    void followsItemsAddedAndDeleted();
    void indexEqualsTheWalk();
    void compactedIndexEqualsTheWalk_data() { addBackendCases(); }
    void compactedIndexEqualsTheWalk();
    void typedBeforeTheIndexIsComplete_data();
    void typedBeforeTheIndexIsComplete();
    void listChangedWhileSearching_data();
    void listChangedWhileSearching();
    void listChangedWhileFolding_data();
    void listChangedWhileFolding();
};

namespace {

// Opens the search window as Ctrl+F does and types `text` in it (the change event fires).
TFrmFind *search(TFrmmain &w, const QString &text)
{
    w.FulltextFind->trigger();
    TFrmFind *f = FindWindow();
    if (f)
        f->Edit1->setText(text);
    return f;
}

QStringList listed(const TFrmFind *f)
{
    QStringList out;
    for (int r = 0; r < f->ListItems->rowCount(); ++r)
        out << f->ListItems->index(r).data().toString();
    return out;
}

int currentId(TDataSet *ds) { return ds->IsEmpty() ? -1 : ds->FieldByName(QStringLiteral("id"))->AsInteger(); }

// The search done the plain way over the list as it stands, as the window lists it.
QStringList walked(TDataSet *ds, const QString &text)
{
    FindIndex *index = FindIndex::of(ds);
    QStringList out;
    for (const FindResult &r : FindIndex::searchByWalking(*ds, FindIndex::words(text)))
        out << index->resultText(r);
    return out;
}

QStringList ids(const QStringList &listed)
{
    QStringList out;
    for (const QString &l : listed)
        out << l.section(' ', 0, 0);
    return out;
}

void setName(TDataSet *ds, int id, const QString &name)
{
    QVERIFY(ds->Locate(QStringLiteral("id"), id));
    ds->Edit();
    ds->FieldByName(QStringLiteral("Name"))->setValue(name);
    ds->Post();
}

// A modal run of the item editor answered by `fn`.
std::function<int(QDialog &)> editor(std::function<void(TFrmEdit &)> fn)
{
    return [fn](QDialog &d) {
        auto *e = qobject_cast<TFrmEdit *>(&d);
        if (!e)
            return int(QDialog::Rejected);
        fn(*e);
        e->BtnOK->click();
        return e->result();
    };
}

}  // namespace

void TestFind::wordsOfAText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("one") << "jet" << QStringList{"JET"};
    QTest::newRow("blanks around and between") << "  hp   плановый " << QStringList{"HP", "ПЛАНОВЫЙ"};
    QTest::newRow("blanks only") << "   " << QStringList{};
    QTest::newRow("a word twice") << "hp Hp" << QStringList{"HP", "HP"};
    QTest::newRow("Cyrillic") << "ёлка Щит" << QStringList{"ЁЛКА", "ЩИТ"};
}

void TestFind::wordsOfAText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QCOMPARE(FindIndex::words(text), words);
}

// The seeded list, in the main window's order (by name): 103 Canon 5530 D, 107 Canon FC 336,
// 104 Epson Perfection 1270, 101 HP deskjet 1220, 102 HP LaserJet 5100, 105 HP ScanJet 3690C,
// 106 Xerox 5915.
void TestFind::searchFindsAndNames_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("current");
    struct Case {
        const char *name, *text;
        QStringList listed;
        int current;
    };
    const Case cases[] = {
        {"part of a capitalised word", "jet", {"101 : Name", "102 : Name", "105 : Name"}, 101},
        {"name and department", "hp плановый", {"101 : Name,Отдел"}, 101},
        {"words in any order", "плановый hp", {"101 : Name,Отдел"}, 101},
        {"blanks only: everything, no names",
         "   ",
         {"103 : ", "107 : ", "104 : ", "101 : ", "102 : ", "105 : ", "106 : "},
         103},
        {"a word only in id", "107", {}, 106},
        {"Cyrillic of either case", "еЛЕ дЫшИт", {"103 : Состояние,Info"}, 103},
        {"one word, several fields named in field order", "A3", {"107 : form", "106 : form"}, 107},
        {"a date as shown", "12.03.2000", {"106 : D_vup"}, 106},
        {"a word twice", "xerox XEROX", {"106 : Name"}, 106},
        {"across two fields is no match", "1220134567", {}, 106},
        {"nothing", "zzz", {}, 106},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) { r << QString::fromUtf8(c.text) << c.listed << c.current; });
}

void TestFind::searchFindsAndNames()
{
    QFETCH(QString, text);
    QFETCH(QStringList, listed);
    QFETCH(int, current);
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    TFrmFind *f = search(w, text);
    QVERIFY(f);
    QCOMPARE(::listed(f), listed);
    QCOMPARE(currentId(w.Qry), current);
    QCOMPARE(f->btn->text(), QString::number(listed.size()));
    QCOMPARE(f->btn->isEnabled(), !listed.isEmpty());
    // The keys are the items' own.
    for (int r = 0; r < f->ListItems->rowCount(); ++r)
        QCOMPARE(f->ListItems->index(r).data(FindResultList::KeyRole).toString(), listed[r].section(' ', 0, 0));
    // The same as upper-casing every field of every item again.
    auto *index = FindIndex::of(w.Qry);
    QStringList walked;
    for (const FindResult &r : FindIndex::searchByWalking(*w.Qry, FindIndex::words(text)))
        walked << index->resultText(r);
    QCOMPARE(walked, listed);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestFind::windowAsItOpens()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P"));
    QVERIFY(!FindWindow());
    QVERIFY(w.FulltextFind->isEnabled());
    w.FulltextFind->trigger();
    TFrmFind *f = FindWindow();
    QVERIFY(f);
    QVERIFY(f->isVisible());
    QVERIFY(!f->isModal());
    QCOMPARE(f->windowTitle(), QStringLiteral("Поиск"));
    QVERIFY(f->windowFlags() & Qt::Tool);
    QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(f->N1->isChecked());
    QCOMPARE(f->N1->text(), QStringLiteral("Поверх всех окон"));
    QVERIFY(!f->List->isVisible());
    QVERIFY(!f->btn->isEnabled());
    QVERIFY(f->btn->isCheckable());
    QCOMPARE(f->height(), f->Panel1->height());
    // The text box and the button share the bar.
    QCOMPARE(f->Edit1->width(), f->width() - f->btn->width() - 4);
    QCOMPARE(f->btn->x(), f->Edit1->x() + f->Edit1->width() + 2);
    // The button shows and hides the list.
    f->Edit1->setText(QStringLiteral("hp"));
    f->btn->click();
    QVERIFY(f->List->isVisible());
    QCOMPARE(f->height(), 200);
    f->btn->click();
    QVERIFY(!f->List->isVisible());
    QCOMPARE(f->height(), f->Edit1->height());
    // Not on top any more, and back.
    f->N1->trigger();
    QVERIFY(!(f->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(f->isVisible());
    f->N1->trigger();
    QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
    // Closing hides it; Ctrl+F brings the same window back as it was.
    f->close();
    QVERIFY(FindWindow() == f);
    QVERIFY(!f->isVisible());
    w.FulltextFind->trigger();
    QVERIFY(FindWindow() == f);
    QVERIFY(f->isVisible());
    QCOMPARE(f->Edit1->text(), QStringLiteral("hp"));
    QCOMPARE(f->ListItems->rowCount(), 3);
    // The quick find's text is its own.
    QVERIFY(w.Edit->text().isEmpty());
}

void TestFind::takesInputOverTheModalMainWindow()
{
    // The main window runs application-modal for the whole working time.
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    w.setWindowModality(Qt::ApplicationModal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    TFrmFind *f = search(w, QStringLiteral("canon"));
    QVERIFY(QTest::qWaitForWindowExposed(f));
    // Clicks as the window system delivers them, where a modal window blocks the others.
    QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, f->btn->mapTo(f, f->btn->rect().center()));
    QVERIFY(f->btn->isChecked());
    QVERIFY(f->List->isVisible());
    const QPoint second = f->List->visualRect(f->ListItems->index(1)).center();
    QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, f->List->viewport()->mapTo(f, second));
    QCOMPARE(currentId(w.Qry), 107);
}

void TestFind::noResultAndClearing()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    TFrmFind *f = search(w, QStringLiteral("hp"));
    QCOMPARE(f->btn->text(), QStringLiteral("3"));
    f->btn->click();
    QVERIFY(f->btn->isChecked());
    QVERIFY(f->List->isVisible());

    // Nothing found: 0, disabled, but still down with its empty list shown.
    f->Edit1->setText(QStringLiteral("hpzzz"));
    QCOMPARE(f->btn->text(), QStringLiteral("0"));
    QVERIFY(!f->btn->isEnabled());
    QVERIFY(f->btn->isChecked());
    QVERIFY(f->List->isVisible());
    QCOMPARE(f->ListItems->rowCount(), 0);
    QCOMPARE(currentId(w.Qry), 106);

    // Cleared: no items, no caption, the enabled state as it was, the list on its first item.
    f->Edit1->clear();
    QCOMPARE(f->ListItems->rowCount(), 0);
    QCOMPARE(f->btn->text(), QString());
    QVERIFY(!f->btn->isEnabled());
    QCOMPARE(currentId(w.Qry), 103);
    f->Edit1->setText(QStringLiteral("epson"));
    QVERIFY(f->btn->isEnabled());
    QCOMPARE(currentId(w.Qry), 104);
    f->Edit1->clear();
    QVERIFY(f->btn->isEnabled());
    QCOMPARE(f->btn->text(), QString());
    QCOMPARE(currentId(w.Qry), 103);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestFind::resultClickMovesTheList()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    TFrmFind *f = search(w, QStringLiteral("сканер"));
    QCOMPARE(listed(f), (QStringList{"107 : Proizvod", "104 : Proizvod", "105 : Proizvod"}));
    QCOMPARE(currentId(w.Qry), 107);
    f->btn->click();
    const QRect third = f->List->visualRect(f->ListItems->index(2));
    QTest::mouseClick(f->List->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(currentId(w.Qry), 105);
    QCOMPARE(f->ListItems->rowCount(), 3);
}

void TestFind::sortLeavesResultsUntilTheTextChanges()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    TFrmFind *f = search(w, QStringLiteral("hp"));
    const QStringList byName{"101 : Name", "102 : Name", "105 : Name"};
    QCOMPARE(listed(f), byName);
    // By department: 105 (11), 102 (12), 101 (13).
    w.GridTitleClick(w.columnOfField(QStringLiteral("Отдел")));
    QCOMPARE(listed(f), byName);
    // The same words again: searched anew, in the new order.
    f->Edit1->setText(QStringLiteral("hp "));
    QCOMPARE(listed(f), (QStringList{"105 : Name", "102 : Name", "101 : Name"}));
    QCOMPARE(currentId(w.Qry), 105);
}

void TestFind::highlightOnlyWhileVisible()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    TFrmFind *f = search(w, QStringLiteral("canon"));
    QVERIFY(w.isHighlighted(103));
    QVERIFY(w.isHighlighted(107));
    QVERIFY(!w.isHighlighted(104));
    f->hide();
    QVERIFY(!w.isHighlighted(103));
    w.FulltextFind->trigger();
    QVERIFY(w.isHighlighted(107));
    f->Edit1->clear();
    QVERIFY(!w.isHighlighted(107));
}

void TestFind::followsTheEditor()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    TFrmFind *f = search(w, QStringLiteral("hp"));
    QCOMPARE(f->ListItems->rowCount(), 3);
    f->hide();
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 106));
    dialogs.dialogs.enqueue(editor([](TFrmEdit &e) {
        e.EditName->selectAll();
        QTest::keyClicks(e.EditName, QStringLiteral("HP Xerox"));
    }));
    w.ActEdit->trigger();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(w.Qry->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("HP Xerox"));
    // A text that adds to the last one must still see the edited item.
    w.FulltextFind->trigger();
    f->Edit1->setText(QStringLiteral("hp x"));
    QCOMPARE(listed(f), (QStringList{"106 : Name"}));
    f->Edit1->setText(QStringLiteral("xerox"));
    QCOMPARE(listed(f), (QStringList{"106 : Name"}));
    f->Edit1->setText(QStringLiteral("5915"));
    QCOMPARE(listed(f), QStringList{});
}

void TestFind::followsADepartmentRenamed()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    TFrmFind *f = search(w, QStringLiteral("плановый"));
    QCOMPARE(listed(f), (QStringList{"107 : Отдел", "104 : Отдел", "101 : Отдел"}));
    // As the departments' directory changes it.
    TDataSet *otdel = dm->TblOtdel;
    QVERIFY(otdel->Locate(QStringLiteral("id"), 13));
    otdel->Edit();
    otdel->FieldByName(QStringLiteral("Name"))->setValue(QStringLiteral("Бухгалтерия"));
    otdel->Post();
    f->Edit1->setText(QStringLiteral("плановый "));
    QCOMPARE(listed(f), QStringList{});
    f->Edit1->setText(QStringLiteral("бухгалт"));
    QCOMPARE(listed(f), (QStringList{"107 : Отдел", "104 : Отдел", "101 : Отдел"}));
}

void TestFind::followsItemsAddedAndDeleted()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    TFrmFind *f = search(w, QStringLiteral("плоттер"));
    QCOMPARE(listed(f), QStringList{});
    w.Qry->Append();
    w.Qry->FieldByName(QStringLiteral("Name"))->setValue(QStringLiteral("Плоттер Зета"));
    w.Qry->Post();
    const int id = currentId(w.Qry);
    f->Edit1->setText(QStringLiteral("плоттер "));
    QCOMPARE(listed(f), QStringList{QStringLiteral("%1 : Name").arg(id)});
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), id));
    w.Qry->Delete();
    f->Edit1->setText(QStringLiteral("плоттер"));
    QCOMPARE(listed(f), QStringList{});
    f->Edit1->setText(QStringLiteral("Плоттер з"));
    QCOMPARE(listed(f), QStringList{});
}

void TestFind::indexEqualsTheWalk()
{
    // Many small searches, each after the one before (narrowing where it may), against the
    // walk over every field, while the list changes under them.
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    FindIndex *index = FindIndex::of(w.Qry);
    const QStringList texts{"h",   "hp", "hp j", "hp je", "hp jet 1", "a",       "a4",  "a4 hp",
                            "   ", "е",  "ел",   "еле",   "c",        "ca",      "can", "canon 3",
                            ".",   "..", "0",    "00",    "2003",     "2003 ск", "ф",   "X"};
    int narrowed = 0;
    auto check = [&](const QString &step) {
        for (const QString &t : texts) {
            const QStringList words = FindIndex::words(t);
            QStringList mine, walked;
            for (const FindResult &r : index->search(words))
                mine << index->resultText(r);
            narrowed += index->lastScan() == FindIndex::Scan::Narrowed;
            for (const FindResult &r : FindIndex::searchByWalking(*w.Qry, words))
                walked << index->resultText(r);
            QVERIFY2(mine == walked, qPrintable(step + ": " + t + ": " + mine.join('|') + " / " + walked.join('|')));
        }
    };
    check(QStringLiteral("as read"));
    QVERIFY(narrowed > 0);
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 104));
    w.Qry->Edit();
    w.Qry->FieldByName(QStringLiteral("Seria"))->setValue(QStringLiteral("HP-Can 2003"));
    w.Qry->Post();
    check(QStringLiteral("edited"));
    w.GridTitleClick(w.columnOfField(QStringLiteral("Seria")));
    check(QStringLiteral("sorted"));
}

// Notes written over again and again leave more than a megabyte of old text in the index,
// which then copies what is live into a fresh buffer (in the list's order, the rows stored
// in another order). Every search after that, and after the edits that follow it, finds
// what the walk finds, and nothing of the text written over.
void TestFind::compactedIndexEqualsTheWalk()
{
    TAVRELL_TEST_DB(db);
    // Eight items whose notes (some 100 KB of text each) carry a mark that each edit changes.
    const QString filler = QStringLiteral("заметка о ремонте ").repeated(2800);
    auto note = [&](int id, int version) {
        return filler.left(filler.size() / 2) + QStringLiteral(" метка%1в%2 ").arg(id).arg(version) +
               filler.mid(filler.size() / 2);
    };
    QList<int> ids;
    for (int id = 5001; id <= 5008; ++id) {
        db.query(QStringLiteral("insert into izdel (id, Name, Info) values (%1, 'Принтер %1', '%2')")
                     .arg(id)
                     .arg(note(id, 0)));
        ids << id;
    }
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    TDataSet *ds = w.Qry;
    FindIndex *index = FindIndex::of(ds);
    index->prepare();
    QMap<int, int> version;
    int compactions = 0;
    auto setNote = [&](int id, int v) {
        QVERIFY(ds->Locate(QStringLiteral("id"), id));
        const qsizetype before = index->buffer().size();
        ds->Edit();
        ds->FieldByName(QStringLiteral("Info"))->setValue(note(id, v));
        ds->Post();
        compactions += index->buffer().size() < before;
        version[id] = v;
    };
    auto check = [&](const QString &step) {
        QStringList texts{"ремонте", "заметка принтер", "метка", "принтер 5003", "hp", "ремонте xerox"};
        for (int id : ids)
            for (int v = 0; v <= version.value(id); ++v)
                texts << QStringLiteral("метка%1в%2").arg(id).arg(v);
        // Every item's short fields whole: each field's text must end where it ends.
        for (int pos = 0; pos < ds->RecordCount(); ++pos)
            for (const char *field : {"Name", "Seria", "Nomer"})
                texts << ds->FieldByName(QLatin1String(field))->valueAt(ds->rowIndexAt(pos)).toString();
        for (const QString &t : texts) {
            const QStringList words = FindIndex::words(t);
            index->forgetLastSearch();  // the whole text scanned, not the last results narrowed
            QStringList mine, walked;
            for (const FindResult &r : index->search(words))
                mine << index->resultText(r);
            for (const FindResult &r : FindIndex::searchByWalking(*ds, words))
                walked << index->resultText(r);
            QVERIFY2(mine == walked, qPrintable(step + ": " + t + ": " + mine.join('|') + " / " + walked.join('|')));
        }
    };
    check(QStringLiteral("as read"));
    for (int round = 1; round <= 3 && !QTest::currentTestFailed(); ++round) {
        for (int id : ids)
            setNote(id, round);
        if (round == 1) {
            // A new item among the others: stored last, listed before 5003.
            QVERIFY(ds->Locate(QStringLiteral("id"), 5003));
            ds->Insert();
            ds->FieldByName(QStringLiteral("Name"))->setValue(QStringLiteral("Принтер новый"));
            ds->FieldByName(QStringLiteral("Info"))->setValue(note(0, 0));
            ds->Post();
        } else if (round == 2) {
            QVERIFY(ds->Locate(QStringLiteral("id"), 5006));
            ds->Delete();
            ids.removeOne(5006);
        }
        check(QStringLiteral("round %1").arg(round));
    }
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY2(compactions > 0, "the edits never had the index compacted");
}

// Two rows a slice: the seeded list of seven takes four, the first one at the keystroke.
void TestFind::typedBeforeTheIndexIsComplete_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("current");
    struct Case {
        const char *name, *text;
        int current;
    };
    const Case cases[] = {
        {"found after the first slice", "jet", 101},       {"found in the first slice and later", "canon", 103},
        {"words in two fields", "hp плановый", 101},       {"blanks only: everything", "  ", 103},
        {"nothing: the last item at the end", "zzz", 106},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) { r << QString::fromUtf8(c.text) << c.current; });
}

void TestFind::typedBeforeTheIndexIsComplete()
{
    QFETCH(QString, text);
    QFETCH(int, current);
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));
    FindIndex::setSliceRows(2);
    TFrmFind *f = search(w, text);
    FindIndex *index = FindIndex::of(w.Qry);
    // The keystroke has searched a slice, not folded the whole list.
    QVERIFY(index->searching());
    QVERIFY(!index->isBuilt());
    const QStringList all = walked(w.Qry, text);
    QStringList before = listed(f);
    // Each slice from the event loop adds to the end; what is listed never changes place.
    while (index->searching()) {
        QVERIFY2(all.mid(0, before.size()) == before, qPrintable(before.join('|') + " / " + all.join('|')));
        QCOMPARE(f->btn->text(), QString::number(before.size()));
        QCoreApplication::processEvents();
        before = listed(f);
    }
    QCOMPARE(listed(f), all);
    QCOMPARE(f->btn->text(), QString::number(all.size()));
    QCOMPARE(f->btn->isEnabled(), !all.isEmpty());
    QCOMPARE(currentId(w.Qry), current);
    QVERIFY(index->isBuilt());
    // The same text once more, as one search at once over the whole text.
    index->forgetLastSearch();
    QStringList atOnce;
    for (const FindResult &r : index->search(FindIndex::words(text)))
        atOnce << index->resultText(r);
    QCOMPARE(atOnce, all);
    QVERIFY(dialogs.messages.isEmpty());
}

// A search in slices (two rows each) and a change of the list after its first slice: items
// 103 and 107 are searched, the rest not yet. The order: 103 Canon 5530 D, 107 Canon FC 336,
// 104 Epson Perfection 1270, 101 HP deskjet 1220, 102 HP LaserJet 5100, 105 HP ScanJet
// 3690C, 106 Xerox 5915.
void TestFind::listChangedWhileSearching_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("before");  // searched to the end first (the next one narrows it)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("ids");  // listed at the end; "new": the item added
    struct Case {
        const char *name, *before, *text, *change;
        QStringList ids;
    };
    const Case cases[] = {
        {"a searched item comes to match", "", "hp", "107 HP Canon", {"107", "101", "102", "105"}},
        {"a searched match no longer matches", "", "canon", "103 Xerox 1", {"107"}},
        {"a searched match matches in another field", "", "canon 336", "107 Lexmark 336", {}},
        {"an item not searched yet comes to match", "", "hp", "104 HP Epson", {"104", "101", "102", "105"}},
        {"an item not searched yet no longer matches", "", "hp", "102 Laser 5100", {"101", "105"}},
        {"narrowing: an item left out comes to match", "hp", "hp jet", "104 HP Jet", {"104", "101", "102", "105"}},
        {"narrowing: a searched item comes to match", "hp", "hp jet", "107 HP Jet", {"107", "101", "102", "105"}},
        {"narrowing: a match no longer matches", "hp", "hp jet", "105 HP Scan", {"101", "102"}},
        {"added among the searched", "", "hp", "insert before 107", {"new", "101", "102", "105"}},
        {"added at the end", "", "hp", "append", {"101", "102", "105", "new"}},
        {"narrowing: added among the searched", "hp", "hp x", "insert before 107", {"new"}},
        {"a searched match deleted", "", "canon", "delete 107", {"103"}},
        {"a searched item deleted", "", "1270", "delete 107", {"104"}},
        {"an item not searched yet deleted", "", "hp", "delete 102", {"101", "105"}},
        {"sorted by department", "", "hp", "sort", {"105", "102", "101"}},
        {"narrowing: sorted by department", "hp", "hp jet", "sort", {"105", "102", "101"}},
        {"read again", "", "hp", "requery", {"101", "102", "105"}},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) {
            r << QString::fromUtf8(c.before) << QString::fromUtf8(c.text) << QString::fromUtf8(c.change) << c.ids;
        });
}

namespace {

// Applies a change named in a table: "<id> <new name>", "insert before <id>", "append",
// "delete <id>", "sort" (by department), "requery". Returns the key of an item added.
int applyChange(TFrmmain &w, const QString &change)
{
    TDataSet *ds = w.Qry;
    const QString rest = change.section(' ', 1);
    int added = 0;
    if (change.startsWith(QLatin1String("insert before ")) || change == QLatin1String("append")) {
        if (change != QLatin1String("append"))
            ds->Locate(QStringLiteral("id"), change.section(' ', 2).toInt());
        change == QLatin1String("append") ? ds->Append() : ds->Insert();
        ds->FieldByName(QStringLiteral("Name"))->setValue(QStringLiteral("HP Xerox новый"));
        ds->Post();
        added = currentId(ds);
    } else if (change.startsWith(QLatin1String("delete "))) {
        ds->Locate(QStringLiteral("id"), rest.toInt());
        ds->Delete();
    } else if (change == QLatin1String("sort")) {
        w.GridTitleClick(w.columnOfField(QStringLiteral("Отдел")));
    } else if (change == QLatin1String("requery")) {
        ds->Requery();
    } else {
        setName(ds, change.section(' ', 0, 0).toInt(), rest);
    }
    return added;
}

}  // namespace

void TestFind::listChangedWhileSearching()
{
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(QString, change);
    QFETCH(QStringList, ids);
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    FindIndex::setSliceRows(2);
    TFrmFind *f = search(w, before);
    FindIndex *index = FindIndex::of(w.Qry);
    QTRY_VERIFY(!index->searching() && index->isBuilt());
    f->Edit1->setText(text);
    QVERIFY(index->searching());
    if (!before.isEmpty())
        QCOMPARE(index->lastScan(), FindIndex::Scan::Narrowed);
    const int added = applyChange(w, change);
    QVERIFY(dialogs.messages.isEmpty());
    QTRY_VERIFY(!index->searching());
    for (QString &id : ids)
        if (id == QLatin1String("new"))
            id = QString::number(added);
    QCOMPARE(::ids(listed(f)), ids);
    QCOMPARE(listed(f), walked(w.Qry, text));
    QCOMPARE(f->btn->text(), QString::number(ids.size()));
    // What the window highlights is what it lists.
    for (const QString &id : ids)
        QVERIFY(f->highlights(id.toInt()));
    // The next keystroke narrows what the search found, and finds the same.
    f->Edit1->setText(text + QLatin1Char(' '));
    QCOMPARE(index->lastScan(), FindIndex::Scan::Narrowed);
    QTRY_VERIFY(!index->searching());
    QCOMPARE(::ids(listed(f)), ids);
}

// The text is folded two rows a slice while the program waits; the list changes after the
// first slices, and the search comes after.
void TestFind::listChangedWhileFolding_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("ids");
    const struct {
        const char *change;
        QStringList ids;
    } cases[] = {
        {"103 HP Canon", {"103", "101", "102", "105"}},
        {"105 Scan 3690C", {"101", "102"}},
        {"insert before 107", {"new", "101", "102", "105"}},
        {"append", {"101", "102", "105", "new"}},
        {"delete 107", {"101", "102", "105"}},
        {"delete 102", {"101", "105"}},
        {"sort", {"105", "102", "101"}},
    };
    for (const auto &c : cases)
        addBackendCase(c.change, [&](QTestData &r) { r << QString::fromUtf8(c.change) << c.ids; });
}

void TestFind::listChangedWhileFolding()
{
    QFETCH(QString, change);
    QFETCH(QStringList, ids);
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    FindIndex::setSliceRows(2);
    TFrmFind *f = search(w, QString());
    FindIndex *index = FindIndex::of(w.Qry);
    // Two slices: four rows folded.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(!index->isBuilt());
    const int added = applyChange(w, change);
    QVERIFY(dialogs.messages.isEmpty());
    for (QString &id : ids)
        if (id == QLatin1String("new"))
            id = QString::number(added);
    f->Edit1->setText(QStringLiteral("hp"));
    QTRY_VERIFY(!index->searching());
    QCOMPARE(::ids(listed(f)), ids);
    QCOMPARE(listed(f), walked(w.Qry, QStringLiteral("hp")));
    // And the search at once over the whole text.
    index->forgetLastSearch();
    QStringList atOnce;
    for (const FindResult &r : index->search(FindIndex::words(QStringLiteral("hp"))))
        atOnce << index->resultText(r);
    QCOMPARE(::ids(atOnce), ids);
}

QTEST_MAIN(TestFind)
#include "tst_find.moc"
