#include "repairs/SelTech.h"

#include "core/DialogButtons.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"

#include <QPushButton>
#include <QVBoxLayout>

TFrmSelTech::TFrmSelTech(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmSelTech"));
    setWindowTitle(tr("Выбор техники"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    ADOQuery1 = new TDataSet(this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    // Names, series and numbers in the program's Russian order, whatever their letter case.
    ADOQuery1->setSQL(QStringLiteral("select id,Name,Seria,Nomer \nfrom izdel\norder by %1,%2,%3,id")
                          .arg(TDataSet::orderTerm(ADOQuery1->russianCi(QStringLiteral("name"))),
                               TDataSet::orderTerm(ADOQuery1->russianCi(QStringLiteral("seria"))),
                               TDataSet::orderTerm(ADOQuery1->russianCi(QStringLiteral("nomer")))));
    ADOQuery1->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    ADOQuery1->addField(QStringLiteral("Name"), FieldType::String, 30);
    ADOQuery1->addField(QStringLiteral("Seria"), FieldType::String, 12);
    ADOQuery1->addField(QStringLiteral("Nomer"), FieldType::String, 15);
    DataSource1 = new TDataSource(this, ADOQuery1);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setReadOnly(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    const OkCancelRow row = addOkCancelRow(this, layout);
    BitBtn1 = row.ok;
    BitBtn2 = row.cancel;
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
    setFixedSize(460, 380);
}

void TFrmSelTech::FormCreate() { ADOQuery1->Open(); }

QVariant TFrmSelTech::chosenId() const
{
    if (!ADOQuery1->Active() || ADOQuery1->IsEmpty())
        return QVariant();
    return ADOQuery1->FieldByName(QStringLiteral("id"))->value();
}
