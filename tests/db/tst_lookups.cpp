// Lookups over the data module's shared directories: a list opened after a directory
// changed shows the directory as it is now, however the change came in, although an
// earlier list already looked every row up.
#include "TestSupport.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"

#include <QtTest>
#include <memory>

namespace {

// The item list as the main window declares it: the department through the shared
// directory of departments.
std::unique_ptr<TDataSet> itemList()
{
    auto ds = std::make_unique<TDataSet>();
    ds->setSQL(QStringLiteral("select * from izdel order by id"));
    ds->setUpdateTable(QStringLiteral("izdel"));
    ds->setKeyFields({QStringLiteral("id")});
    ds->addField(QStringLiteral("id"), FieldType::Integer);
    ds->addField(QStringLiteral("Name"), FieldType::String, 30);
    ds->addLookupField(QStringLiteral("Отдел"), QStringLiteral("otdel"), dm->TblOtdel, QStringLiteral("id"),
                       QStringLiteral("Name"), 65);
    ds->addField(QStringLiteral("otdel"), FieldType::Integer);
    return ds;
}

// What the list shows in every row's department, as a grid draws it.
QStringList departments(const TDataSet &list)
{
    QStringList shown;
    const TField *f = list.FieldByName(QStringLiteral("Отдел"));
    for (int p = 0; p < list.RecordCount(); ++p)
        shown.append(f->valueAt(list.rowIndexAt(p)).toString());
    return shown;
}

const QString NewDepartment = QStringLiteral("Отдел кадров");

}  // namespace

class TestLookups : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void departmentAddedShowsInListOpenedAfter_data();
    void departmentAddedShowsInListOpenedAfter();
};

void TestLookups::departmentAddedShowsInListOpenedAfter_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("how");  // how the directory learns of the new department
    for (const char *how :
         {"another copy, directory reopened", "another copy, directory refreshed", "added in the directory"})
        addBackendCase(how, [&](QTestData &r) { r << QString::fromLatin1(how); });
}

void TestLookups::departmentAddedShowsInListOpenedAfter()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, how);
    TDataSet *otdel = dm->TblOtdel;

    // The list is read and every department looked up before the new one exists.
    auto before = itemList();
    before->Open();
    QVERIFY(otdel->Active());
    const QStringList shownBefore = departments(*before);
    QVERIFY(!shownBefore.contains(NewDepartment));
    QVERIFY(before->Locate("id", 104));
    QVERIFY(!before->FieldByName("Отдел")->AsString().isEmpty());

    int id = 0;
    if (how.startsWith(QLatin1String("another copy"))) {
        id = 90;
        db.query(QStringLiteral("insert into otdel (id, Name) values (90, '%1')").arg(NewDepartment));
        if (how.endsWith(QLatin1String("reopened"))) {
            otdel->Close();
            otdel->Open();
        } else {
            otdel->Refresh();
        }
    } else {
        otdel->Append();
        otdel->FieldByName("Name")->setText(NewDepartment);
        otdel->Post();
        id = otdel->FieldByName("id")->AsInteger();
        QVERIFY(id > 0);
    }
    QCOMPARE(db.scalar(QStringLiteral("select Name from otdel where id = %1").arg(id)).toString(), NewDepartment);
    // The item goes to the new department, and a list is opened afterwards.
    db.query(QStringLiteral("update izdel set otdel = %1 where id = 104").arg(id));

    auto after = itemList();
    after->Open();
    QVERIFY(after->Locate("id", 104));
    QCOMPARE(after->FieldByName("Отдел")->AsString(), NewDepartment);
    QCOMPARE(departments(*after).count(NewDepartment), 1);
    // The other items keep their departments.
    QStringList others = departments(*after);
    others.removeAt(after->RecNo() - 1);
    QStringList othersBefore = shownBefore;
    othersBefore.removeAt(after->RecNo() - 1);
    QCOMPARE(others, othersBefore);
}

QTEST_MAIN(TestLookups)
#include "tst_lookups.moc"
