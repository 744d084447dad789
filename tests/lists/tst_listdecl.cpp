// List windows made from declarations: a directory that is one declaration and no class,
// the navigator's buttons and hints, further buttons with their places, handlers and rules,
// read-only windows, declared columns, the dataset left open or closed, the modal opening,
// and a window with a handler of its own.
#include "ListWindowProbe.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/Errors.h"
#include "core/Guard.h"
#include "export/MSWord.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/RecordingSink.h"
#include "lists/klfrm.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QPointer>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QtTest>

namespace {

// The kinds of repair as a directory: one row of the directories' table.
ListWindowDecl kindsOfRepair()
{
    return {QStringLiteral("FrmKlvidrem"), QStringLiteral("Справочник видов ремонта"), dm->Tblvidu};
}

// The kinds of repair hold only what a test adds.
void emptyKinds(const TestDb &db) { db.query(QStringLiteral("delete from vidu")); }

void addKinds(const TestDb &db)
{
    emptyKinds(db);
    db.query(QStringLiteral("insert into vidu (id, Name) values (1, 'Заправка картриджа')"));
    db.query(QStringLiteral("insert into vidu (id, Name) values (2, 'Замена барабана')"));
    db.query(QStringLiteral("insert into vidu (id, Name) values (3, 'Чистка')"));
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    QString text = Cp1251::decode(f.readAll());
    text.chop(2);
    return text.split(QLatin1String("\r\n"));
}

bool editable(const TFrmKl &frm, int row, int column)
{
    return frm.grid->model()->flags(frm.grid->model()->index(row, column)) & Qt::ItemIsEditable;
}

// A window with a handler of its own: the declaration for its base, then its button.
class TFrmCard : public TFrmKl {
public:
    explicit TFrmCard(QWidget *parent = nullptr) : TFrmKl(declaration(), parent)
    {
        BtnCard = addToolButton(ListButton(QStringLiteral("BtnCard"), QStringLiteral("Печать карточки"),
                                           [this](TFrmKl &) { BtnCardClick(); })
                                    .at(ToolPlace::BeforeClose)
                                    .enabledWhen(ListButton::hasRows));
        DsLocDataChange(nullptr);
    }
    QToolButton *BtnCard;
    QStringList cards;

protected:
    void DsLocDataChange(TField *field) override
    {
        TFrmKl::DsLocDataChange(field);
        setWindowTitle(QStringLiteral("Заявки: ") + statusText());
    }

private:
    static ListWindowDecl declaration()
    {
        ListWindowDecl d = kindsOfRepair();
        d.Name = QStringLiteral("FrmZajaw");
        return d;
    }
    void BtnCardClick() { cards << DsLoc->DataSet()->FieldByName(QStringLiteral("Name"))->AsString(); }
};

}  // namespace

class TestListDecl : public QObject {
    Q_OBJECT
private slots:
    void directoryWindow_data() { addBackendCases(); }
    void directoryWindow();
    void navigatorButtons_data();
    void navigatorButtons();
    void furtherButtons();
    void readOnly_data();
    void readOnly();
    void declaredColumns();
    void declaredDateColumnFitsTheLocalesDate_data();
    void declaredDateColumnFitsTheLocalesDate();
    void closingAndStatusBar();
    void ownDataSet_data() { addBackendCases(); }
    void ownDataSet();
    void modalOpening();
    void ownHandlers();
};

// One declaration, no class: components, columns, navigator, editing, report, mail, export.
void TestListDecl::directoryWindow()
{
    TAVRELL_TEST_DB(db);
    addKinds(db);
    ScriptedDialogs dialogs;
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    RecordingMailSender sender;
    MailSender::setCurrent(&sender);

    TFrmKl frm(kindsOfRepair());
    QCOMPARE(frm.objectName(), QStringLiteral("FrmKlvidrem"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("Справочник видов ремонта"));
    for (const char *name :
         {"Panel1", "DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnClose", "grid", "StatusBar", "DsLoc"})
        QVERIFY2(frm.findChild<QObject *>(QString::fromLatin1(name)), name);
    QCOMPARE(ListWindowProbe(frm).barOrder(),
             (QStringList{"DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnClose"}));
    QVERIFY(dm->Tblvidu->Active());
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 3 запись(сей)"));
    // The field's label and display width (100 characters), the key hidden.
    QCOMPARE(frm.grid->columnCount(), 1);
    QCOMPARE(frm.grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Название"));
    QCOMPARE(frm.grid->columnWidthPixels(0), frm.grid->widthForChars(100, QStringLiteral("Название")));
    QVERIFY(!frm.DBNavigator1->isButtonVisible(DBNavigator::Refresh));
    QCOMPARE(frm.DBNavigator1->button(DBNavigator::Insert)->toolTip(), QStringLiteral("Добавить запись"));

    // Insert takes a key from the allocator; the row typed into the grid reaches the table.
    frm.DBNavigator1->BtnClick(DBNavigator::Insert);
    QCOMPARE(dm->Tblvidu->FieldByName("id")->AsInteger(), 23);
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(0, 0), QStringLiteral("Ремонт платы")));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QCOMPARE(db.scalar("select Name from vidu where id = 23").toString(), QStringLiteral("Ремонт платы"));
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 4 запись(сей)"));
    QVERIFY(dialogs.messages.isEmpty());

    // Report, mail and export under the caption, numbered.
    frm.BtnRep->click();
    QVERIFY(!sink->commands.isEmpty());
    QCOMPARE(sink->commands.at(3), (RecordingSink::Command{"Insert", {QStringLiteral("Справочник видов ремонта\r")}}));
    QVERIFY(sink->commands.contains(RecordingSink::Command{"Insert", {QStringLiteral("Ремонт платы")}}));
    QCOMPARE(sink->commands.last().name, QStringLiteral("AppShow"));
    frm.BtnSendToMail->click();
    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(sender.messages.at(0).subject, QStringLiteral("Справочник видов ремонта"));
    QVERIFY(sender.messages.at(0).body.contains(QStringLiteral("Чистка")));
    const QString path = QDir(db.folder()).filePath(QStringLiteral("vidu.csv"));
    dialogs.saveNames << path;
    frm.BtnExport->click();
    const QStringList lines = fileLines(path);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.first(), QStringLiteral("№ п.п.;Название"));
    QVERIFY(lines.contains(QStringLiteral("1;Ремонт платы")));
    MailSender::setCurrent(nullptr);
    TMSWord::setSinkFactory({});

    // A directory's table stays open after its window.
    frm.show();
    frm.BtnClose->click();
    QVERIFY(!frm.isVisible());
    QVERIFY(dm->Tblvidu->Active());
}

void TestListDecl::navigatorButtons_data()
{
    QTest::addColumn<DBNavigator::Buttons>("buttons");
    QTest::addColumn<QStringList>("hints");
    QTest::newRow("list windows") << DBNavigator::ListButtons() << DBNavigator::russianHints();
    QTest::newRow("repairs: all ten, standard hints") << DBNavigator::AllButtons() << DBNavigator::standardHints();
    QTest::newRow("archive: moving only") << DBNavigator::MoveButtons() << DBNavigator::russianHints();
}

void TestListDecl::navigatorButtons()
{
    QFETCH(DBNavigator::Buttons, buttons);
    QFETCH(QStringList, hints);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ListWindowDecl d = kindsOfRepair();
    d.NavigatorButtons = buttons;
    d.NavigatorHints = hints;
    TFrmKl frm(d);
    for (int i = 0; i < DBNavigator::ButtonCount; ++i) {
        const auto b = DBNavigator::Button(i);
        QCOMPARE(frm.DBNavigator1->isButtonVisible(b), buttons.contains(b));
        QCOMPARE(frm.DBNavigator1->button(b)->toolTip(), hints.at(i));
    }
}

// Further buttons: their places on the bar, caption or icon, handler through the general
// error display, enabled state by their rule.
void TestListDecl::furtherButtons()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    emptyKinds(db);
    ScriptedDialogs dialogs;
    QList<TFrmKl *> pressedIn;
    bool fail = false;
    ListWindowDecl d = kindsOfRepair();
    d.Buttons << ListButton(QStringLiteral("BtnItems"), QStringLiteral("Комплектующие"),
                            [&](TFrmKl &w) {
                                pressedIn << &w;
                                if (fail)
                                    throw DbError(QStringLiteral("Нет связи с сервером"));
                            })
                     .enabledWhen(ListButton::hasRows)
              << ListButton(QStringLiteral("SpeedButton1"), QStringLiteral("Удалить запись"), {},
                            QApplication::style()->standardIcon(QStyle::SP_TrashIcon))
                     .at(ToolPlace::AfterNavigator)
              << ListButton(QStringLiteral("BtnCard"), QStringLiteral("Печать карточки"), {},
                            QApplication::style()->standardIcon(QStyle::SP_FileIcon))
                     .at(ToolPlace::BeforeClose);
    TFrmKl frm(d);
    auto *combo = new QComboBox;
    combo->setObjectName(QStringLiteral("ComboBox1"));
    frm.addToolWidget(combo, ToolPlace::AfterNavigator);

    QCOMPARE(ListWindowProbe(frm).barOrder(),
             (QStringList{"DBNavigator1", "SpeedButton1", "ComboBox1", "BtnRep", "BtnSendToMail", "BtnExport",
                          "BtnCard", "BtnClose", "BtnItems"}));
    auto *items = frm.findChild<QToolButton *>(QStringLiteral("BtnItems"));
    auto *card = frm.findChild<QToolButton *>(QStringLiteral("BtnCard"));
    QVERIFY(items && card);
    // Without an icon the text is the caption too; with one it is the hint alone.
    QCOMPARE(items->text(), QStringLiteral("Комплектующие"));
    QCOMPARE(items->toolTip(), QStringLiteral("Комплектующие"));
    QVERIFY(card->text().isEmpty() || card->toolButtonStyle() == Qt::ToolButtonIconOnly);
    QCOMPARE(card->toolTip(), QStringLiteral("Печать карточки"));
    QVERIFY(card->isEnabled());

    // The empty list: the rule keeps the button off until a row is there.
    QVERIFY(!items->isEnabled());
    frm.DBNavigator1->BtnClick(DBNavigator::Insert);
    QVERIFY(items->isEnabled());
    frm.DBNavigator1->BtnClick(DBNavigator::Cancel);
    QVERIFY(!items->isEnabled());
    addKinds(db);
    dm->Tblvidu->Requery();
    QVERIFY(items->isEnabled());

    frm.show();
    items->click();
    QCOMPARE(pressedIn, QList<TFrmKl *>{&frm});
    QVERIFY(dialogs.messages.isEmpty());
    // A failing handler: the error box with the error's text, and the window stays.
    fail = true;
    items->click();
    QCOMPARE(pressedIn.size(), 2);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Нет связи с сервером")});
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY(frm.isVisible());
    // A button without a handler does nothing.
    card->click();
    QCOMPARE(pressedIn.size(), 2);
}

void TestListDecl::readOnly_data() { addBackendCases(); }

// A read-only window changes nothing, and the shared table is writable again after it.
void TestListDecl::readOnly()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    {
        ListWindowDecl d(QStringLiteral("FrmKlOtdels"), QStringLiteral("Отделы предприятия"), dm->TblOtdel);
        d.ReadOnly = true;
        TFrmKl frm(d);
        QCOMPARE(frm.statusText(), QStringLiteral("Всего 5 запись(сей)"));
        for (DBNavigator::Button b :
             {DBNavigator::Insert, DBNavigator::Delete, DBNavigator::Edit, DBNavigator::Post, DBNavigator::Cancel})
            QVERIFY2(!frm.DBNavigator1->button(b)->isEnabled(), qPrintable(QString::number(b)));
        QVERIFY(frm.DBNavigator1->button(DBNavigator::Next)->isEnabled());
        QVERIFY(!editable(frm, 0, 0));
        QVERIFY(!frm.grid->model()->setData(frm.grid->model()->index(0, 0), QStringLiteral("Новое имя")));
        frm.DBNavigator1->BtnClick(DBNavigator::Delete);
        // The grid's Insert key meets the read-only dataset (an error box, nothing changed).
        QTest::keyClick(frm.grid, Qt::Key_Insert);
        QVERIFY(!Guard::run([] { dm->TblOtdel->Insert(); }));
        QCOMPARE(db.scalar("select count(*) from otdel").toInt(), 5);
        QCOMPARE(db.scalar("select Name from otdel where id = 11").toString(), QStringLiteral("Административный"));
    }
    QVERIFY(dm->TblOtdel->CanModify());

    // A grid that is not typed into, over a dataset that the window's own buttons change.
    ListWindowDecl d(QStringLiteral("FrmArchive"), QStringLiteral("Архивация"), dm->TblOtdel);
    d.GridEditable = false;
    TFrmKl frm(d);
    QVERIFY(!editable(frm, 0, 0));
    QVERIFY(frm.DBNavigator1->button(DBNavigator::Insert)->isEnabled());

    // A dataset already read-only stays so after a read-only window.
    dm->TblOtdel->setReadOnly(true);
    {
        ListWindowDecl ro(QStringLiteral("FrmKlOtdels"), QStringLiteral("Отделы предприятия"), dm->TblOtdel);
        ro.ReadOnly = true;
        TFrmKl w(ro);
    }
    QVERIFY(dm->TblOtdel->ReadOnly());
    dm->TblOtdel->setReadOnly(false);
}

// A date column declared in characters shows the running locale's date whole, in the
// main grid's font (a serif font: letters of a month's name wider than digits).
void TestListDecl::declaredDateColumnFitsTheLocalesDate_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("chars");
    QTest::addColumn<QString>("text");
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    QTest::newRow("Russian date") << ru << 10 << QStringLiteral("21.09.2003");
    QTest::newRow("Russian date and time") << ru << 19 << QStringLiteral("28.12.2022 23:59:59");
    QTest::newRow("C date") << QLocale::c() << 10 << QStringLiteral("21 Sep 2003");
    QTest::newRow("C date and time") << QLocale::c() << 19 << QStringLiteral("28 Dec 2022 23:59:59");
}

void TestListDecl::declaredDateColumnFitsTheLocalesDate()
{
    QFETCH(QLocale, locale);
    QFETCH(int, chars);
    QFETCH(QString, text);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QLocale before;
    const QFont appFont = QApplication::font();
    auto restore = qScopeGuard([&] {
        QLocale::setDefault(before);
        QApplication::setFont(appFont);
    });
    QLocale::setDefault(locale);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 12));
    const QDateTime when =
        chars > 10 ? QDateTime(QDate(2022, 12, 28), QTime(23, 59, 59)) : QDateTime(QDate(2003, 9, 21), QTime(0, 0));
    QCOMPARE(DateText::format(when), text);
    ListWindowDecl d(QStringLiteral("FrmUsers"), QStringLiteral("Пользователи системы"), dm->TblUsers,
                     {ListColumn(QStringLiteral("LastEnter"), QString(), chars)});
    TFrmKl frm(d);
    QCOMPARE(frm.grid->columnCount(), 1);
    const int margin = frm.grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, frm.grid) + 1;
    const int room = frm.grid->columnWidthPixels(0) - 2 * margin;
    const int needed = QFontMetrics(frm.grid->font()).horizontalAdvance(text);
    QVERIFY2(room >= needed, qPrintable(QStringLiteral("%1 px for %2 px").arg(room).arg(needed)));
}

// Declared columns: field, title, width in characters, read-only, pick list, ellipsis.
void TestListDecl::declaredColumns()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QStringList types{QStringLiteral("A - Админитратор"), QStringLiteral("D - Диспетчер"),
                            QStringLiteral("P - Ведущ. инж."), QStringLiteral("R - Инженер")};
    ListWindowDecl d(QStringLiteral("FrmUsers"), QStringLiteral("Пользователи системы"), dm->TblUsers,
                     {ListColumn(QStringLiteral("login"), QStringLiteral("Имя"), 25),
                      ListColumn(QStringLiteral("passw")).readOnly(), ListColumn(QStringLiteral("tp")).pickList(types),
                      ListColumn(QStringLiteral("LastEnter")).ellipsis()});
    TFrmKl frm(d);
    QCOMPARE(frm.grid->columnCount(), 4);
    QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Имя", "Пароль", "Тип", "Посл. вход"}));
    QCOMPARE(frm.grid->columnWidthPixels(0), frm.grid->widthForChars(25, QStringLiteral("Имя")));
    QVERIFY(editable(frm, 0, 0));
    QVERIFY(!editable(frm, 0, 1));
    QCOMPARE(frm.grid->column(2).PickList, types);
    QCOMPARE(frm.grid->column(3).ButtonStyle, TColumn::Ellipsis);
    QCOMPARE(frm.grid->column(0).ButtonStyle, TColumn::Auto);
    // A pick-list entry stores the type letter (the field's own set-text rule).
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(0, 2), types.at(1)));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    const int id = dm->TblUsers->FieldByName("ID")->AsInteger();
    QCOMPARE(db.scalar(QStringLiteral("select tp from users where ID = %1").arg(id)).toString().trimmed(),
             QStringLiteral("D"));
}

// A window that closes its dataset when it closes, without a status bar, with a close
// button of another name and no hint.
void TestListDecl::closingAndStatusBar()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDataSet rem;
    rem.setSQL(QStringLiteral("select id, Prichina from remont"));
    ListWindowDecl d(QStringLiteral("FrmOperItem"), QStringLiteral("Комплектующие операции"), &rem);
    d.KeepOpen = false;
    d.HasStatusBar = false;
    d.CloseName = QStringLiteral("SpeedButton1");
    d.CloseHint.clear();
    d.Size = QSize(640, 480);
    TFrmKl frm(d);
    QVERIFY(rem.Active());
    QVERIFY(!frm.StatusBar);
    QVERIFY(!frm.findChild<QStatusBar *>());
    QVERIFY(frm.statusText().isEmpty());
    QCOMPARE(frm.BtnClose->objectName(), QStringLiteral("SpeedButton1"));
    QVERIFY(frm.BtnClose->toolTip().isEmpty());
    QCOMPARE(frm.size(), QSize(640, 480));
    rem.Last();  // data changes reach no status bar
    frm.show();
    frm.BtnClose->click();
    QVERIFY(!frm.isVisible());
    QVERIFY(!rem.Active());
}

// A dataset of the window's own: the shared tables its lookups read are read again first;
// it is made as the window's child, declared, opened and shown under the declared names;
// it closes with the window and goes with it. The report writes the declared heading
// between its title and the table.
void TestListDecl::ownDataSet()
{
    TAVRELL_TEST_DB(db);
    addKinds(db);
    dm->Tblvidu->Open();
    // Added after the shared table was read, as another copy of the program would.
    db.query(QStringLiteral("insert into vidu (id, Name) values (4, 'Добавлен позже')"));
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    auto restoreSink = qScopeGuard([] { TMSWord::setSinkFactory({}); });

    QPointer<TDataSet> own;
    bool rereadFirst = false;
    ListWindowDecl d(QStringLiteral("FrmOper"), QStringLiteral("История работ"), nullptr);
    d.Reread = {dm->Tblvidu};
    d.OwnDataSet = [&](TDataSet &ds) {
        rereadFirst = dm->Tblvidu->Locate(QStringLiteral("id"), 4);
        ds.setObjectName(QStringLiteral("TblKinds"));
        ds.setSQL(QStringLiteral("select id, Name from vidu order by id"));
        own = &ds;
    };
    d.DataSourceName = QStringLiteral("dsLoc");
    d.GridName = QStringLiteral("Grid");
    d.ReportHeadingOf = [](const TFrmKl &w) {
        return ReportHeading{QStringLiteral("Видов: %1\r").arg(w.DsLoc->DataSet()->RecordCount()), true};
    };
    {
        TFrmKl frm(d);
        QVERIFY(rereadFirst);
        QVERIFY(own);
        QCOMPARE(own->parent(), &frm);
        QCOMPARE(frm.DsLoc->DataSet(), own.data());
        QVERIFY(own->Active());
        QCOMPARE(frm.findChild<TDataSet *>(QStringLiteral("TblKinds")), own.data());
        QCOMPARE(frm.DsLoc->objectName(), QStringLiteral("dsLoc"));
        QCOMPARE(frm.grid->objectName(), QStringLiteral("Grid"));
        QCOMPARE(frm.grid->model()->rowCount(), 4);

        frm.BtnRep->click();
        const auto title = RecordingSink::Command{"Insert", {QStringLiteral("История работ\r")}};
        const auto heading = RecordingSink::Command{"Insert", {QStringLiteral("Видов: 4\r")}};
        const int at = sink->commands.indexOf(title);
        QVERIFY(at > 0);
        QCOMPARE(sink->commands.mid(at + 1, 4),
                 (QList<RecordingSink::Command>{{"LeftPara", {}}, {"CenterPara", {}}, heading, {"LeftPara", {}}}));

        frm.show();
        frm.BtnClose->click();
        QVERIFY(own);
        QVERIFY(!own->Active());
    }
    QVERIFY(own.isNull());
}

// Opened modally through the dialogs seam and destroyed after; an error while opening
// reaches the caller and no window is shown.
void TestListDecl::modalOpening()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    addKinds(db);
    ScriptedDialogs dialogs;
    QPointer<QDialog> shown;
    QString title;
    dialogs.dialogs.enqueue([&](QDialog &w) {
        shown = &w;
        title = w.windowTitle();
        return int(QDialog::Accepted);
    });
    QCOMPARE(showListWindow(kindsOfRepair()), int(QDialog::Accepted));
    QCOMPARE(dialogs.execLog, QStringList{"FrmKlvidrem"});
    QCOMPARE(title, QStringLiteral("Справочник видов ремонта"));
    QVERIFY(shown.isNull());

    TDataSet missing;
    missing.setSQL(QStringLiteral("select id from no_such_table"));
    QVERIFY(!Guard::run([&] { showListWindow({QStringLiteral("FrmKl"), QStringLiteral("Список"), &missing}); }));
    QCOMPARE(dialogs.execLog.size(), 1);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
}

// A window = its declaration and a few handlers: a button and a data-change handler of its own.
void TestListDecl::ownHandlers()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    emptyKinds(db);
    ScriptedDialogs dialogs;
    {
        TFrmCard frm;
        QCOMPARE(ListWindowProbe(frm).barOrder(),
                 (QStringList{"DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnCard", "BtnClose"}));
        QCOMPARE(frm.windowTitle(), QStringLiteral("Заявки: Всего 0 запись(сей)"));
        QVERIFY(!frm.BtnCard->isEnabled());
    }
    addKinds(db);
    dm->Tblvidu->Requery();
    dialogs.dialogs.enqueue([](QDialog &w) {
        auto &frm = static_cast<TFrmCard &>(w);
        frm.DBNavigator1->BtnClick(DBNavigator::Last);
        frm.BtnCard->click();
        return frm.cards == QStringList{QStringLiteral("Чистка")} &&
                       frm.windowTitle().endsWith(QStringLiteral("3 запись(сей)"))
                   ? int(QDialog::Accepted)
                   : int(QDialog::Rejected);
    });
    QCOMPARE(showModal<TFrmCard>(nullptr), int(QDialog::Accepted));
    QCOMPARE(dialogs.execLog, QStringList{"FrmZajaw"});
}

QTEST_MAIN(TestListDecl)
#include "tst_listdecl.moc"
