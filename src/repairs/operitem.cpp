#include "repairs/operitem.h"

#include "core/Session.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The header shows the repair and is never typed into (a bound edit offers editing
// whenever its dataset could be changed).
class HeaderEdit : public DBEdit {
public:
    HeaderEdit(QWidget *parent, TDataSource *source, const QString &field, const QString &name) : DBEdit(parent)
    {
        setObjectName(name);
        setDataSource(source);
        setDataField(field);
        showField();
    }

protected:
    void showField() override
    {
        DBEdit::showField();
        setReadOnly(true);
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// The part of a repair

TFrmRepairPart::TFrmRepairPart(const ListWindowDecl &decl, TDataSource *repair, int remId, QWidget *parent)
    : TFrmKl(decl, parent), RemId(remId)
{
    PanelHead = new QWidget(this);
    PanelHead->setObjectName(QStringLiteral("PanelHead"));
    auto *g = new QGridLayout(PanelHead);
    g->setContentsMargins(6, 6, 6, 4);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(2);
    auto field = [&](int row, int col, const QString &label, const QString &fieldName, const char *name) {
        auto *l = new QLabel(label, PanelHead);
        auto *e = new HeaderEdit(PanelHead, repair, fieldName, QString::fromLatin1(name));
        l->setBuddy(e);
        g->addWidget(l, row, col);
        g->addWidget(e, row, col + 1);
        return e;
    };
    EditNach = field(0, 0, tr("Начало"), QStringLiteral("Nach_rem"), "EditNach");
    EditVid = field(0, 2, tr("Вид ремонта"), QStringLiteral("Вид ремонта"), "EditVid");
    EditOtdel = field(1, 0, tr("Отдел"), QStringLiteral("Отдел"), "EditOtdel");
    EditIzd = field(1, 2, tr("Изделие"), QStringLiteral("Изделие"), "EditIzd");
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 2);
    windowLayout()->insertWidget(0, PanelHead);
}

ListWindowDecl repairListWindow(const QString &name, const QString &caption)
{
    ListWindowDecl d(name, caption, nullptr);
    d.NavigatorButtons = DBNavigator::AllButtons();
    d.NavigatorHints = DBNavigator::standardHints();
    d.CloseHint.clear();
    d.HasStatusBar = false;
    d.ReadOnly = session().typeIn(Rights::ReadOnlyRepairs);
    d.Size = QSize(560, 400);
    return d;
}

void TFrmRepairPart::readRowsOf(TDataSet &dataSet, const QString &table, int remId, const QStringList &orderBy)
{
    QStringList terms;
    for (const QString &column : orderBy)
        terms << TDataSet::orderTerm(column);
    QString sql = QStringLiteral("select * from %1 where rem_id = :rem_id").arg(table);
    if (!terms.isEmpty())
        sql += QStringLiteral(" order by ") + terms.join(QStringLiteral(", "));
    dataSet.setSQL(sql);
    dataSet.setUpdateTable(table);
    dataSet.setParam(QStringLiteral(":rem_id"), remId);
    dataSet.setFilter(QStringLiteral("rem_id=%1").arg(remId));
    dataSet.setFiltered(true);
}

// ---------------------------------------------------------------------------------------
// Resources of a repair

TFrmOperItem::TFrmOperItem(TDataSource *repair, int remId, QWidget *parent)
    : TFrmRepairPart(declaration(remId), repair, remId, parent)
{
    Tbl = DsLoc->DataSet();
    Tbl->OnNewRecord = [this](TDataSet &ds) { Table1NewRecord(ds); };
}

ListWindowDecl TFrmOperItem::declaration(int remId)
{
    ListWindowDecl d = repairListWindow(QStringLiteral("FrmOperItem"), tr("Комплектующие операции"));
    d.OwnDataSet = [remId](TDataSet &tbl) { declareTbl(tbl, remId); };
    return d;
}

void TFrmOperItem::declareTbl(TDataSet &tbl, int remId)
{
    tbl.setObjectName(QStringLiteral("Tbl"));
    // The key: one order on every backend, whatever the server's own.
    readRowsOf(tbl, QStringLiteral("rem_res"), remId, {QStringLiteral("res_id")});
    tbl.addField(QStringLiteral("rem_id"), FieldType::Integer).setVisible(false);
    tbl.addField(QStringLiteral("res_id"), FieldType::Integer).setVisible(false);
    tbl.addLookupField(QStringLiteral("Ресурс"), QStringLiteral("res_id"), dm->Tblresurs, QStringLiteral("id"),
                       QStringLiteral("Name"), 30)
        .setDisplayLabel(tr("Ресурс"))
        .setLookupDetail({QStringLiteral("Ed_izmer")});
    tbl.addField(QStringLiteral("cnt"), FieldType::Float).setDisplayLabel(tr("Количество"));
    // The unit follows from the resource: choosing a unit would choose a resource.
    tbl.addLookupField(QStringLiteral("Ед. Изм"), QStringLiteral("res_id"), dm->Tblresurs, QStringLiteral("id"),
                       QStringLiteral("Ed_izmer"), 12)
        .setDisplayLabel(tr("Ед. Изм"))
        .setReadOnly(true);
}

void TFrmOperItem::Table1NewRecord(TDataSet &dataSet)
{
    // The key of a resource line is the pair (repair, resource): nothing to allocate.
    dataSet.FieldByName(QStringLiteral("rem_id"))->setValue(RemId);
}
