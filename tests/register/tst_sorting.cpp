// Sorting by titles and sort lists, the server's text order on both backends, the quick
// find, the panels, the font dialog and the per-user view settings.
#include "RegisterTest.h"
#include "db/DBEditors.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace RegisterTest;

class TestSorting : public QObject {
    Q_OBJECT
private slots:
    void init() { session() = Session(); }

    void titleClick_data();
    void titleClick();
    void secondSortField_data() { addBackendCases(); }
    void secondSortField();
    void textOrderIgnoresCaseAndIsAlphabetical_data() { addBackendCases(); }
    void textOrderIgnoresCaseAndIsAlphabetical();
    void quickFind_data();
    void quickFind();
    void quickFindOnALookupColumn();
    void panels();
    void fontDialog();
    void defaultsOnFirstLogin();
    void roundTrip_data() { addBackendCases(); }
    void roundTrip();
    void keysInAnyLetterCase();
    void notANumberFallsBack_data();
    void notANumberFallsBack();
    void noSortFieldWithoutBoldTitle();
    void colourValues_data();
    void colourValues();
};

namespace {

// Every consecutive pair in order (numbers compared as numbers, null first).
bool nonDecreasing(const QStringList &values)
{
    for (int i = 1; i < values.size(); ++i) {
        if (values.at(i - 1).isEmpty())
            continue;
        if (values.at(i).isEmpty() || values.at(i - 1).toInt() > values.at(i).toInt())
            return false;
    }
    return true;
}

}  // namespace

void TestSorting::titleClick_data() { addBackendCases(); }

void TestSorting::titleClick()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.SortFields.isEmpty());
    QCOMPARE(w.boldColumn(), -1);

    struct Case {
        const char *column;
        const char *sortFields;
        int listEntry;
        const char *keyField;  // the field whose values come in order
    };
    const Case cases[] = {
        {"Отдел", "Otdel", 6, "otdel"},    {"Состояние", "CurState", 5, "CurState"},
        {"Resurs", "Resurs", -1, nullptr}, {"Seria", "Seria", 3, nullptr},
        {"Name", "Name", 0, nullptr},
    };
    for (const Case &c : cases) {
        const QString columnName = QString::fromUtf8(c.column);
        QVERIFY(w.Qry->Locate(QStringLiteral("id"), 104));
        const int col = w.columnOfField(columnName);
        QVERIFY(col >= 0);
        emit w.Grid->titleClick(col);  // as a click on the title
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
        QCOMPARE(w.SortFields, QString::fromUtf8(c.sortFields));
        // The statement may name the program's text order after the field.
        QVERIFY(w.Qry->SQL().split(QLatin1Char('\n')).value(1).startsWith(QStringLiteral("order by ") + w.SortFields));
        QCOMPARE(w.ComboSort1->currentIndex(), c.listEntry);
        QCOMPARE(w.boldColumn(), col);
        for (int i = 0; i < w.Grid->columnCount(); ++i)
            QCOMPARE(w.Grid->model()->headerData(i, Qt::Horizontal, Qt::FontRole).value<QFont>().bold(), i == col);
        QCOMPARE(currentId(w.Qry), 104);
        QCOMPARE(w.Qry->RecordCount(), 7);
        if (c.keyField)
            QVERIFY2(nonDecreasing(column(w.Qry, QString::fromLatin1(c.keyField))), c.column);
    }
    // Ordered by Seria, then by Name: the server's order.
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Name")));
    QCOMPARE(column(w.Qry, QStringLiteral("Name")).first(), QStringLiteral("Canon 5530 D"));
    QCOMPARE(column(w.Qry, QStringLiteral("Name")).last(), QStringLiteral("Xerox 5915"));
}

void TestSorting::secondSortField()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 106));

    // Choosing "Тип" in the second list re-sorts at once by the first list's column.
    QCOMPARE(w.ComboSort1->currentText(), QStringLiteral("Название"));
    w.ComboSort2->setCurrentIndex(w.ComboSort2->findText(QStringLiteral("Тип")));
    QCOMPARE(w.SecondSortField, QStringLiteral("Proizvod"));
    QCOMPARE(w.SortFields, QStringLiteral("Name,Proizvod"));
    QCOMPARE(currentId(w.Qry), 106);

    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Seria")));
    QCOMPARE(w.SortFields, QStringLiteral("Seria,Proizvod"));
    // A title equal to the second field sorts by it alone.
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Proizvod")));
    QCOMPARE(w.SortFields, QStringLiteral("Proizvod"));
    QCOMPARE(w.ComboSort1->currentText(), QStringLiteral("Тип"));

    // Choosing in the first list sorts by its column and the second field.
    w.ComboSort1->setCurrentIndex(w.ComboSort1->findText(QStringLiteral("Дата выпуска")));
    QCOMPARE(w.SortFields, QStringLiteral("D_vup,Proizvod"));
    QCOMPARE(w.boldColumn(), w.columnOfField(QStringLiteral("D_vup")));
    QStringList dates = column(w.Qry, QStringLiteral("D_vup"));
    QStringList sorted = dates;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(dates, sorted);

    // "Нет" clears the second field.
    w.ComboSort2->setCurrentIndex(0);
    QVERIFY(w.SecondSortField.isEmpty());
    QCOMPARE(w.SortFields, QStringLiteral("D_vup"));
    QCOMPARE(currentId(w.Qry), 106);
}

void TestSorting::textOrderIgnoresCaseAndIsAlphabetical()
{
    TAVRELL_TEST_DB(db);
    const QStringList names = {QStringLiteral("вишня"),   QStringLiteral("Арбуз"),   QStringLiteral("банан"),
                               QStringLiteral("ель"),     QStringLiteral("Ёлка"),    QStringLiteral("Груша"),
                               QStringLiteral("абрикос"), QStringLiteral("epson b"), QStringLiteral("Canon b"),
                               QStringLiteral("hp b")};
    int id = 500;
    for (const QString &n : names)
        db.query(QStringLiteral("insert into izdel (id, Name) values (%1, '%2')").arg(id++).arg(n));
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Name")));
    QStringList cyrillic, latin;
    for (const QString &n : column(w.Qry, QStringLiteral("Name"))) {
        if (!names.contains(n))
            continue;
        (n.at(0).script() == QChar::Script_Cyrillic ? cyrillic : latin) << n;
    }
    QCOMPARE(cyrillic, QStringList({"абрикос", "Арбуз", "банан", "вишня", "Груша", "Ёлка", "ель"}));
    QCOMPARE(latin, QStringList({"Canon b", "epson b", "hp b"}));
    // So is the list before any sort.
    TFrmmain fresh;
    cyrillic.clear();
    for (const QString &n : column(fresh.Qry, QStringLiteral("Name")))
        if (names.contains(n) && n.at(0).script() == QChar::Script_Cyrillic)
            cyrillic << n;
    QCOMPARE(cyrillic, QStringList({"абрикос", "Арбуз", "банан", "вишня", "Груша", "Ёлка", "ель"}));
}

void TestSorting::quickFind_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found");  // -1: nothing
    QTest::newRow("prefix, other case") << "hp" << 101;
    QTest::newRow("longer prefix") << "hp s" << 105;
    QTest::newRow("exact case") << "Xerox" << 106;
    QTest::newRow("no match") << "zzz" << -1;
    QTest::newRow("not at the start") << "deskjet" << -1;
}

void TestSorting::quickFind()
{
    QFETCH(QString, text);
    QFETCH(int, found);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Name")));
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 104));
    w.FoundId = 103;  // an earlier highlight goes whatever comes

    w.ActFindExecute();
    QTest::keyClicks(w.Edit, text);
    QCOMPARE(w.FoundId, found);
    QCOMPARE(currentId(w.Qry), found == -1 ? 104 : found);
    QCOMPARE(w.isHighlighted(found), found != -1);

    // Clearing removes the highlight and leaves the row.
    const int current = currentId(w.Qry);
    w.Edit->clear();
    QCOMPARE(w.FoundId, -1);
    QCOMPARE(currentId(w.Qry), current);

    // Before any sort the list is in name order, and the quick find looks at names.
    TFrmmain fresh;
    fresh.Edit->setText(text);
    QCOMPARE(fresh.FoundId, found);
}

void TestSorting::quickFindOnALookupColumn()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Отдел")));
    // Sorted by the department's key; found by the department's name.
    w.Edit->setText(QStringLiteral("техн"));
    QCOMPARE(w.FoundId, 103);
    QCOMPARE(currentId(w.Qry), 103);
    // A date column: the beginning of the date as shown.
    emit w.Grid->titleClick(w.columnOfField(QStringLiteral("D_vup")));
    const QString shown = DateText::format(QDateTime(QDate(2001, 9, 15), QTime()));
    w.Edit->setText(shown.left(4));
    QCOMPARE(w.FoundId, 104);
    w.Edit->setText(QStringLiteral("not a date"));
    QCOMPARE(w.FoundId, -1);
}

void TestSorting::panels()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::nobody());
    QVERIFY(w.PanelSort->isHidden());
    w.ViewSortPanel->trigger();
    QVERIFY(!w.PanelSort->isHidden());
    QVERIFY(w.ViewSortPanel->isChecked());
    w.BitBtn2->click();
    QVERIFY(w.PanelSort->isHidden());
    QVERIFY(!w.ViewSortPanel->isChecked());

    w.ActFind->trigger();
    QVERIFY(!w.PanelFind->isHidden());
    QVERIFY(w.ActFind->isChecked());
    w.Edit->setText(QStringLiteral("hp"));
    QCOMPARE(w.FoundId, 101);
    w.BitBtn1->click();
    QVERIFY(w.PanelFind->isHidden());
    QVERIFY(!w.ActFind->isChecked());
    // The highlight stays after the panel is hidden.
    QCOMPARE(w.FoundId, 101);
    w.ActFindExecute();
    QVERIFY(!w.PanelFind->isHidden());

    QCOMPARE(w.ComboSort1->count(), 8);
    QCOMPARE(w.ComboSort2->count(), 9);
    QCOMPARE(w.ComboSort2->itemText(0), QStringLiteral("Нет"));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w.ComboSort2->itemText(i + 1), w.ComboSort1->itemText(i));
    QCOMPARE(TFrmmain::SortFieldByIndex(-1), QString());
    QCOMPARE(TFrmmain::SortFieldByIndex(8), QString());
    QCOMPARE(TFrmmain::SortFieldByIndex(6), QStringLiteral("otdel"));
}

void TestSorting::fontDialog()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    const QFont before = w.Grid->font();
    const int widthBefore = w.Grid->columnWidthPixels(0);
    dialogs.fontColors.enqueue(QColor(Qt::blue));  // not taken: the dialog is cancelled
    w.ActFont->trigger();
    QCOMPARE(w.Grid->font(), before);
    QCOMPARE(w.Grid->palette().color(QPalette::Text), QColor(Qt::black));
    dialogs.fontColors.clear();

    QFont chosen(QStringLiteral("DejaVu Serif"), 16);
    chosen.setItalic(true);
    dialogs.fonts.enqueue(chosen);
    dialogs.fontColors.enqueue(QColor(128, 0, 0));
    w.ActFont->trigger();
    QCOMPARE(w.Grid->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(w.Grid->font().pointSize(), 16);
    QVERIFY(w.Grid->font().italic());
    QCOMPARE(w.DBMemo1->font(), w.Grid->font());
    // The colour is chosen in the same dialog, which opens on the grid's own.
    QCOMPARE(dialogs.offeredFontColors, QList<QColor>({QColor(Qt::black), QColor(Qt::black)}));
    QCOMPARE(w.Grid->palette().color(QPalette::Text), QColor(128, 0, 0));
    QCOMPARE(w.DBMemo1->palette().color(QPalette::Text), QColor(128, 0, 0));
    // The columns grow with the font.
    QVERIFY(w.Grid->columnWidthPixels(0) > widthBefore);
    // The list windows copy it.
    QCOMPARE(TDBGrid::mainGridFont(), w.Grid->font());

    // A font chosen without touching the colour keeps it; the next dialog offers it.
    dialogs.fonts.enqueue(before);
    w.ActFont->trigger();
    QCOMPARE(dialogs.offeredFontColors.last(), QColor(128, 0, 0));
    QCOMPARE(w.Grid->palette().color(QPalette::Text), QColor(128, 0, 0));
    // It is stored as the colour value.
    w.SaveUserSettings();
    QCOMPARE(IniFile(iniPath(db)).readInteger(QStringLiteral("1"), QStringLiteral("fontcolor"), -1), 128);
}

void TestSorting::defaultsOnFirstLogin()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    const QFont f = w.Grid->font();
    QCOMPARE(f.family(), QStringLiteral("Arial Cyr"));
    QCOMPARE(f.pointSize(), 8);
    QVERIFY(!f.bold() && !f.italic() && !f.underline());
    QCOMPARE(w.Grid->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(w.DBMemo1->font(), f);
    QCOMPARE(w.boldColumn(), -1);
    QVERIFY(w.SortFields.isEmpty());
    QCOMPARE(column(w.Qry, QStringLiteral("Name")).first(), QStringLiteral("Canon 5530 D"));
    QCOMPARE(w.size(), QSize(800, 400));
    // Reading writes nothing.
    QVERIFY(!IniFile(iniPath(db)).valueExists(QStringLiteral("1"), QStringLiteral("fontname")));
}

void TestSorting::roundTrip()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_PROGRAM(dialogs, db);
    LoggedIn::as("A").logIn();
    QFont chosen(QStringLiteral("DejaVu Sans Mono"), 11);
    chosen.setBold(true);
    chosen.setUnderline(true);
    {
        TFrmmain w;
        w.SetupForUser();
        dialogs.fonts.enqueue(chosen);
        w.BtnFontClick();
        emit w.Grid->titleClick(w.columnOfField(QStringLiteral("Состояние")));
        w.resize(930, 510);
        w.SaveUserSettings();
    }
    const IniFile ini(iniPath(db));
    QCOMPARE(ini.readString(QStringLiteral("1"), QStringLiteral("SortField"), QString()), QStringLiteral("Состояние"));
    QCOMPARE(ini.readString(QStringLiteral("1"), QStringLiteral("fontname"), QString()),
             QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(ini.readString(QStringLiteral("1"), QStringLiteral("fontbold"), QString()), QStringLiteral("1"));
    QCOMPARE(ini.readString(QStringLiteral("1"), QStringLiteral("fontitalic"), QString()), QStringLiteral("0"));
    QCOMPARE(ini.readString(QStringLiteral("1"), QStringLiteral("fontcolor"), QString()), QStringLiteral("0"));
    // The keys are written in the order and spelling the file has always had.
    QFile file(iniPath(db));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList keys;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.contains('='))
            keys << QString::fromUtf8(line.left(line.indexOf('=')).trimmed());
    keys.removeAll(QStringLiteral("server"));
    QCOMPARE(keys.join(QLatin1Char(' ')), QStringLiteral("fontname fontsize fontbold fontitalic fontunderline "
                                                         "fontcolor SortField width height left top"));

    TFrmmain again;
    again.SetupForUser();
    QCOMPARE(again.Grid->font().family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(again.Grid->font().pointSize(), 11);
    QVERIFY(again.Grid->font().bold());
    QVERIFY(again.Grid->font().underline());
    QVERIFY(!again.Grid->font().italic());
    QCOMPARE(again.boldColumn(), again.columnOfField(QStringLiteral("Состояние")));
    QCOMPARE(again.SortFields, QStringLiteral("CurState"));
    QVERIFY(nonDecreasing(column(again.Qry, QStringLiteral("CurState"))));
    QCOMPARE(again.ComboSort1->currentText(), QStringLiteral("Состояние"));
    QCOMPARE(again.size(), QSize(930, 510));

    // Another user has his own section.
    LoggedIn::as("R", 2).logIn();
    TFrmmain other;
    other.SetupForUser();
    QCOMPARE(other.Grid->font().family(), QStringLiteral("Arial Cyr"));
    QCOMPARE(other.boldColumn(), -1);
}

void TestSorting::keysInAnyLetterCase()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db,
                        LoggedIn::as("P", 3)
                            .with("fontitalic", "1")
                            .with("FONTUNDERLINE", "2")
                            .with("sortfield", "Seria")
                            .with("fontcolor", "255"));
    QVERIFY(w.Grid->font().italic());
    QVERIFY(w.Grid->font().underline());
    QVERIFY(!w.Grid->font().bold());
    QCOMPARE(w.Grid->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(w.SortFields, QStringLiteral("Seria"));
    // The sort field's value itself is compared exactly.
    dm->SettingsFile()->writeString(QStringLiteral("3"), QStringLiteral("SortField"), QStringLiteral("seria"));
    TFrmmain w2;
    w2.SetupForUser();
    QCOMPARE(w2.boldColumn(), -1);
}

void TestSorting::notANumberFallsBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QSize>("size");
    const QColor black(Qt::black);
    const QSize size(800, 400);
    QTest::newRow("fontsize") << "fontsize"
                              << "big" << 8 << black << false << size;
    QTest::newRow("fontsize empty") << "fontsize"
                                    << "" << 8 << black << false << size;
    QTest::newRow("fontsize zero") << "fontsize"
                                   << "0" << 8 << black << false << size;
    QTest::newRow("fontsize read") << "fontsize"
                                   << "14" << 14 << black << false << size;
    QTest::newRow("fontcolor") << "fontcolor"
                               << "red" << 8 << black << false << size;
    QTest::newRow("fontcolor read") << "fontcolor"
                                    << "65280" << 8 << QColor(0, 255, 0) << false << size;
    QTest::newRow("fontbold") << "fontbold"
                              << "yes" << 8 << black << false << size;
    QTest::newRow("fontbold any non-zero") << "fontbold"
                                           << "-1" << 8 << black << true << size;
    QTest::newRow("width") << "width"
                           << "12px" << 8 << black << false << size;
    QTest::newRow("width read") << "width"
                                << "900" << 8 << black << false << QSize(900, 400);
    QTest::newRow("height") << "height"
                            << "tall" << 8 << black << false << size;
}

void TestSorting::notANumberFallsBack()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, fontSize);
    QFETCH(QColor, colour);
    QFETCH(bool, bold);
    QFETCH(QSize, size);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A").with(key, value));
    QCOMPARE(w.Grid->font().pointSize(), fontSize);
    QCOMPARE(w.Grid->palette().color(QPalette::Text), colour);
    QCOMPARE(w.Grid->font().bold(), bold);
    QCOMPARE(w.size(), size);
}

void TestSorting::noSortFieldWithoutBoldTitle()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_PROGRAM(dialogs, db);
    LoggedIn::as("A").logIn();
    {
        TFrmmain w;
        w.SetupForUser();
        w.SaveUserSettings();
    }
    IniFile &ini = *dm->SettingsFile();
    QVERIFY(IniFile(iniPath(db)).valueExists(QStringLiteral("1"), QStringLiteral("fontname")));
    QVERIFY(!IniFile(iniPath(db)).valueExists(QStringLiteral("1"), QStringLiteral("SortField")));

    // An older value that names no column stays as it was.
    ini.writeString(QStringLiteral("1"), QStringLiteral("SortField"), QStringLiteral("fio"));
    {
        TFrmmain w;
        w.SetupForUser();
        QCOMPARE(w.boldColumn(), -1);
        w.SaveUserSettings();
    }
    QCOMPARE(IniFile(iniPath(db)).readString(QStringLiteral("1"), QStringLiteral("SortField"), QString()),
             QStringLiteral("fio"));
}

void TestSorting::colourValues_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("black") << 0 << QColor(0, 0, 0);
    QTest::newRow("red is the low byte") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("blue is the third byte") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    QTest::newRow("system window text") << int(0xFF000008) << QApplication::palette().color(QPalette::Text);
}

void TestSorting::colourValues()
{
    QFETCH(int, value);
    QFETCH(QColor, colour);
    QCOMPARE(TFrmmain::colorFromValue(value), colour);
    if (value >= 0)
        QCOMPARE(TFrmmain::colorToValue(colour), value);
}

QTEST_MAIN(TestSorting)
#include "tst_sorting.moc"
