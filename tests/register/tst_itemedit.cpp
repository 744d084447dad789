// The item editor and the main window's add, edit and delete on both backends.
#include "RegisterTest.h"
#include "core/DayTime.h"
#include "db/DBEditors.h"
#include "register/editu.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QtTest>

using namespace RegisterTest;

class TestItemEdit : public QObject {
    Q_OBJECT
private slots:
    // Dates are typed in the short date format of the users' locale.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void init() { session() = Session(); }

    void editorLayout();
    void addAndCancelConsumesAKey_data() { addBackendCases(); }
    void addAndCancelConsumesAKey();
    void addStoresWhatWasTyped_data() { addBackendCases(); }
    void addStoresWhatWasTyped();
    void refusedStoreKeepsTheEditor_data() { addBackendCases(); }
    void refusedStoreKeepsTheEditor();
    void editShowsTheTrimmedFormat_data();
    void editShowsTheTrimmedFormat();
    void editChangesAndCancels_data() { addBackendCases(); }
    void editChangesAndCancels();
    void editRefusedWhenChangedMeanwhile_data() { addBackendCases(); }
    void editRefusedWhenChangedMeanwhile();
    void badDateIsRefused();
    void tabLeavesTheNotes();
    void deleteAsksFirst();
    void deleteCascadesToRepairs_data() { addBackendCases(); }
    void deleteCascadesToRepairs();
    void deleteRefusedForAnItemWithRequests_data() { addBackendCases(); }
    void deleteRefusedForAnItemWithRequests();
};

namespace {

// A modal run of the item editor answered by `fn`, which gets the editor.
std::function<int(QDialog &)> editor(std::function<int(TFrmEdit &)> fn)
{
    return [fn](QDialog &d) {
        auto *e = qobject_cast<TFrmEdit *>(&d);
        return e ? fn(*e) : int(QDialog::Rejected);
    };
}

int pressOk(TFrmEdit &e)
{
    e.BtnOK->click();
    return e.result();
}

int pressCancel(TFrmEdit &e)
{
    e.BtnCancel->click();
    return e.result();
}

}  // namespace

void TestItemEdit::editorLayout()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QString caption;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        caption = e.windowTitle();
        [&] {
            QCOMPARE(e.size(), QSize(443, 354));
            QVERIFY(e.isSizeGripEnabled());
            QVERIFY(e.BtnOK->isDefault());
            QCOMPARE(e.EditName->maxLength(), 30);
            QCOMPARE(e.EditProizvod->maxLength(), 30);
            QCOMPARE(e.EditResurs->maxLength(), 10);
            QCOMPARE(e.EditSeria->maxLength(), 12);
            QCOMPARE(e.EditNomer->maxLength(), 15);
            QStringList formats;
            for (int i = 0; i < e.ComboForm->count(); ++i)
                formats << e.ComboForm->itemText(i);
            QCOMPARE(formats, QStringList({"A4", "A3", "A2", "A1", "A0", "др."}));
            QVERIFY(!e.ComboForm->isEditable());
            // A new item starts with no format chosen.
            QCOMPARE(e.ComboForm->currentIndex(), -1);
            QCOMPARE(e.ComboOtdel->count(), 5);
            QVERIFY(e.ComboState->count() > 0);
            // The focus goes round from OK through the memo and the fields.
            QStringList chain;
            QWidget *x = e.BtnOK;
            for (int i = 0; i < 12; ++i, x = x->nextInFocusChain()) {
                while (!(x->focusPolicy() & Qt::TabFocus))
                    x = x->nextInFocusChain();
                chain << x->objectName();
            }
            QCOMPARE(chain.join(QLatin1Char(' ')),
                     QStringLiteral("BtnOK BtnCancel MemoInfo EditName EditProizvod EditD_vup EditSeria EditNomer "
                                    "ComboState ComboOtdel ComboForm EditResurs"));
        }();
        return pressCancel(e);
    }));
    w.ActAdd->trigger();
    QCOMPARE(caption, QStringLiteral("Добавить позицию"));
    QVERIFY(dialogs.dialogs.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());

    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 104));
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        caption = e.windowTitle();
        return pressCancel(e);
    }));
    w.ActEdit->trigger();
    QCOMPARE(caption, QStringLiteral("Редактировать позицию"));
}

void TestItemEdit::addAndCancelConsumesAKey()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    // The first item after creation gets 111.
    dialogs.dialogs.enqueue(editor(pressOk));
    w.ActAdd->trigger();
    QCOMPARE(currentId(w.Qry), 111);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel where id = 111")).toInt(), 1);

    dialogs.dialogs.enqueue(editor(pressCancel));
    w.ActAdd->trigger();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel")).toInt(), 8);
    QVERIFY(!w.Qry->isEditing());
    QCOMPARE(w.Qry->RecordCount(), 8);

    // Escape and the close box cancel as well.
    dialogs.dialogs.enqueue([](QDialog &d) {
        d.reject();
        return d.result();
    });
    w.ActAdd->trigger();

    dialogs.dialogs.enqueue(editor(pressOk));
    w.ActAdd->trigger();
    QCOMPARE(currentId(w.Qry), 114);
    QCOMPARE(db.scalar(QStringLiteral("select max(id) from izdel")).toInt(), 114);
    QVERIFY(dialogs.messages.isEmpty());
    // An added item stays at the end until the next sort.
    QCOMPARE(column(w.Qry, QStringLiteral("id")).last(), QStringLiteral("114"));
}

void TestItemEdit::addStoresWhatWasTyped()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    dialogs.dialogs.enqueue(editor([](TFrmEdit &e) {
        typeText(e.EditName, QStringLiteral("Ricoh Aficio 1515 с очень длинным названием"));
        typeText(e.EditProizvod, QStringLiteral("копир"));
        typeText(e.EditSeria, QStringLiteral("R-15"));
        typeText(e.EditNomer, QStringLiteral("0042"));
        typeText(e.EditResurs, QStringLiteral("12000"));
        typeText(e.MemoInfo, QStringLiteral("в бухгалтерии"));
        emit e.ComboForm->activated(e.ComboForm->findText(QStringLiteral("A3")));
        emit e.ComboOtdel->activated(e.ComboOtdel->findText(QStringLiteral("Плановый")));
        return pressOk(e);
    }));
    w.ActAdd->trigger();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QSqlQuery q = db.query(
        QStringLiteral("select Name, Proizvod, Seria, Nomer, Resurs, Info, form, otdel from izdel where id = 111"));
    QVERIFY(q.next());
    // The edit takes no more than the column holds.
    QCOMPARE(q.value(0).toString(), QStringLiteral("Ricoh Aficio 1515 с очень длин"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("копир"));
    QCOMPARE(q.value(2).toString(), QStringLiteral("R-15"));
    QCOMPARE(q.value(3).toString(), QStringLiteral("0042"));
    QCOMPARE(q.value(4).toString().trimmed(), QStringLiteral("12000"));
    QCOMPARE(q.value(5).toString(), QStringLiteral("в бухгалтерии"));
    QCOMPARE(q.value(6).toString().trimmed(), QStringLiteral("A3"));
    QCOMPARE(q.value(7).toInt(), 13);
    QCOMPARE(w.Qry->FieldByName(QStringLiteral("Отдел"))->DisplayText(), QStringLiteral("Плановый"));
}

void TestItemEdit::refusedStoreKeepsTheEditor()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    bool stayedOpen = false;
    QString typedAfterRefusal;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        typeText(e.EditName, QStringLiteral("Lexmark E120"));
        emit e.ComboOtdel->activated(e.ComboOtdel->findText(QStringLiteral("Издательский")));
        // Meanwhile somebody else removes that department: the server refuses the item.
        db.query(QStringLiteral("delete from otdel where id = 15"));
        e.BtnOK->click();
        stayedOpen = e.result() != QDialog::Accepted;
        typedAfterRefusal = e.EditName->text();
        // The department comes back; OK again stores the item.
        db.query(QStringLiteral("insert into otdel (id, Name) values (15, 'Издательский')"));
        return pressOk(e);
    }));
    w.ActAdd->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(typedAfterRefusal, QStringLiteral("Lexmark E120"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().icon, Dialogs::Icon::Critical);
    QVERIFY(!dialogs.messages.first().text.isEmpty());
    QCOMPARE(db.scalar(QStringLiteral("select Name from izdel where id = 111")).toString(),
             QStringLiteral("Lexmark E120"));
    QVERIFY(!w.Qry->isEditing());
}

void TestItemEdit::editShowsTheTrimmedFormat_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("shown");
    QTest::newRow("A4 and a blank") << 101 << "A4";
    QTest::newRow("three letters") << 104 << "др.";
    QTest::newRow("empty") << 102 << "";
}

void TestItemEdit::editShowsTheTrimmedFormat()
{
    QFETCH(int, id);
    QFETCH(QString, shown);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    db.query(QStringLiteral("update izdel set form = NULL where id = 102"));
    const QVariant before = db.scalar(QStringLiteral("select form from izdel where id = %1").arg(id));
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), id));
    QString text;
    int index = -2;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        text = e.ComboForm->currentText();
        index = e.ComboForm->currentIndex();
        return pressOk(e);
    }));
    w.ActEdit->trigger();
    QCOMPARE(text, shown);
    QCOMPARE(index == -1, shown.isEmpty());
    // OK without touching it keeps the stored value.
    QCOMPARE(db.scalar(QStringLiteral("select form from izdel where id = %1").arg(id)), before);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestItemEdit::editChangesAndCancels()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 106));
    dialogs.dialogs.enqueue(editor([](TFrmEdit &e) {
        e.EditSeria->selectAll();
        typeText(e.EditSeria, QStringLiteral("G-1"));
        emit e.ComboForm->activated(e.ComboForm->findText(QStringLiteral("A4")));
        return pressCancel(e);
    }));
    w.ActEdit->trigger();
    QCOMPARE(db.scalar(QStringLiteral("select Seria from izdel where id = 106")).toString(),
             QStringLiteral("G - 685432"));
    QCOMPARE(w.Qry->FieldByName(QStringLiteral("Seria"))->AsString(), QStringLiteral("G - 685432"));

    dialogs.dialogs.enqueue(editor([](TFrmEdit &e) {
        e.EditSeria->selectAll();
        typeText(e.EditSeria, QStringLiteral("G-1"));
        emit e.ComboState->activated(0);
        return pressOk(e);
    }));
    w.ActEdit->trigger();
    QCOMPARE(db.scalar(QStringLiteral("select Seria from izdel where id = 106")).toString(), QStringLiteral("G-1"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel")).toInt(), 7);
    QCOMPARE(currentId(w.Qry), 106);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestItemEdit::editRefusedWhenChangedMeanwhile()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("R"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 106));
    bool stayedOpen = false;
    QString typedAfterRefusal;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        e.EditSeria->selectAll();
        typeText(e.EditSeria, QStringLiteral("G-1"));
        // Meanwhile somebody else changes the same field.
        db.query(QStringLiteral("update izdel set Seria = 'Чужая' where id = 106"));
        e.BtnOK->click();
        stayedOpen = e.result() != QDialog::Accepted;
        typedAfterRefusal = e.EditSeria->text();
        return pressCancel(e);
    }));
    w.ActEdit->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(typedAfterRefusal, QStringLiteral("G-1"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().caption, QStringLiteral("Ошибка"));
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("Другой пользователь изменил или удалил эту запись после того, как она была прочитана. "
                            "Обновите данные, чтобы увидеть её текущий вид."));
    QCOMPARE(db.scalar(QStringLiteral("select Seria from izdel where id = 106")).toString(), QStringLiteral("Чужая"));
    QVERIFY(!w.Qry->isEditing());
    w.Qry->Refresh();
    QCOMPARE(currentId(w.Qry), 106);
    QCOMPARE(w.Qry->FieldByName(QStringLiteral("Seria"))->AsString(), QStringLiteral("Чужая"));
}

void TestItemEdit::badDateIsRefused()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 105));
    bool stayedOpen = false;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        e.EditD_vup->selectAll();
        typeText(e.EditD_vup, QStringLiteral("31.02.20x"));
        e.BtnOK->click();
        stayedOpen = e.result() != QDialog::Accepted;
        e.EditD_vup->selectAll();
        typeText(e.EditD_vup, DateText::format(DayTime::of(QDate(2004, 2, 29), QTime())));
        return pressOk(e);
    }));
    w.ActEdit->trigger();
    QVERIFY(stayedOpen);
    QVERIFY2(dialogs.messages.size() == 1, qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.module()->backend().dateTimeFromDb(db.scalar(QStringLiteral("select D_vup from izdel where id = 105"))),
             DayTime::of(QDate(2004, 2, 29), QTime()));
}

void TestItemEdit::tabLeavesTheNotes()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 103));
    const QString notes = QStringLiteral("еле дышит пора сдавать в утиль");
    QString afterTab, afterBacktab, memoText;
    dialogs.dialogs.enqueue(editor([&](TFrmEdit &e) {
        e.show();
        QApplication::setActiveWindow(&e);
        e.MemoInfo->setFocus();
        QTest::keyClick(e.MemoInfo, Qt::Key_Tab);
        afterTab = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        afterBacktab = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        memoText = e.MemoInfo->toPlainText();
        return pressOk(e);
    }));
    w.ActEdit->trigger();
    // Tab moves on through the editor's order and back; the notes get no tab character.
    QCOMPARE(afterTab, QStringLiteral("EditName"));
    QCOMPARE(afterBacktab, QStringLiteral("MemoInfo"));
    QCOMPARE(memoText, notes);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select Info from izdel where id = 103")).toString(), notes);
}

void TestItemEdit::deleteAsksFirst()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 104));
    dialogs.answers.enqueue(Dialogs::No);
    w.ActDel->trigger();
    QCOMPARE(dialogs.messages.size(), 1);
    const auto &m = dialogs.messages.first();
    QCOMPARE(m.text, QStringLiteral("Вы действительно хотите удалить эту позицию"));
    QCOMPARE(m.caption, QStringLiteral("Подтвердите"));
    QCOMPARE(m.icon, Dialogs::Icon::Warning);
    QCOMPARE(m.buttons, int(Dialogs::Yes | Dialogs::No));
    QCOMPARE(currentId(w.Qry), 104);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel where id = 104")).toInt(), 1);

    dialogs.answers.enqueue(Dialogs::Yes);
    w.ActDel->trigger();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel where id = 104")).toInt(), 0);
    QCOMPARE(w.Qry->RecordCount(), 6);
}

void TestItemEdit::deleteCascadesToRepairs()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from remont where Kod_izd = 102")).toInt(), 1);
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 102));
    dialogs.answers.enqueue(Dialogs::Yes);
    w.ActDel->trigger();
    QCOMPARE(dialogs.messages.size(), 1);  // the question only
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel where id = 102")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from remont where id = 200")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from rem_op where rem_id = 200")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from rem_res where rem_id = 200")).toInt(), 0);
}

void TestItemEdit::deleteRefusedForAnItemWithRequests()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 103));
    dialogs.answers.enqueue(Dialogs::Yes);
    w.ActDel->trigger();
    QCOMPARE(dialogs.messages.size(), 2);
    const auto &m = dialogs.messages.at(1);
    QCOMPARE(m.icon, Dialogs::Icon::Critical);
    QVERIFY2(m.text.contains(QStringLiteral("foreign key"), Qt::CaseInsensitive) ||
                 m.text.contains(QStringLiteral("zajav"), Qt::CaseInsensitive),
             qPrintable(m.text));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel where id = 103")).toInt(), 1);
    QCOMPARE(w.Qry->RecordCount(), 7);
    QCOMPARE(currentId(w.Qry), 103);
    QVERIFY(!w.Qry->isEditing());
}

QTEST_MAIN(TestItemEdit)
#include "tst_itemedit.moc"
