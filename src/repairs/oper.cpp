#include "repairs/oper.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "repairs/SelTech.h"
#include "repairs/operAct.h"
#include "repairs/operitem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>

namespace {

QString name(const char *text) { return QString::fromUtf8(text); }

}  // namespace

TFrmOper::TFrmOper(QWidget *parent) : TFrmKl(declaration(), parent)
{
    TblRem = DsLoc->DataSet();
    TblRem->OnNewRecord = [this](TDataSet &ds) { TblRemNewRecord(ds); };

    BtnItems = addToolButton(ListButton(QStringLiteral("BtnItems"), tr("Комплектующие"), [this](TFrmKl &) {
                                 BtnItemsClick();
                             }).enabledWhen(ListButton::hasRows));
    BtnOper = addToolButton(ListButton(QStringLiteral("BtnOper"), tr("Работы"), [this](TFrmKl &) {
                                BtnOperClick();
                            }).enabledWhen(ListButton::hasRows));
    CheckBox1 = new QCheckBox(tr("Панель поиска"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    addToolWidget(CheckBox1, ToolPlace::AfterClose);

    PanelFind = createFindPanel();
    windowLayout()->insertWidget(windowLayout()->indexOf(Panel1) + 1, PanelFind);
    PanelFind->hide();
    connect(CheckBox1, &QCheckBox::toggled, PanelFind, &QWidget::setVisible);

    Guard::connect(grid, &TDBGrid::editButtonClick, this, [this] { GridEditButtonClick(); });
}

QStringList TFrmOper::findChoices()
{
    return {tr("Вид ремонта"), tr("Название изделия"), tr("Серия"),          tr("Номер"),
            tr("Отдел"),       tr("Причина"),          tr("Начало ремонта"), tr("Окончание ремонта")};
}

ListWindowDecl TFrmOper::declaration()
{
    ListWindowDecl d = repairListWindow(QStringLiteral("FrmOper"), tr("История работ"));
    d.OwnDataSet = &TFrmOper::declareTblRem;
    // The lookups see departments and items added since they were last read.
    d.Reread = {dm->TblOtdel, dm->TblIsdel};
    d.DataSourceName = QStringLiteral("dsLoc");
    d.GridName = QStringLiteral("Grid");
    d.Columns = {ListColumn(QStringLiteral("Nach_rem")), ListColumn(name("Вид ремонта")),
                 // The item is chosen in the picker: its names are many and not unique.
                 ListColumn(name("Изделие")).readOnly().ellipsis(), ListColumn(QStringLiteral("Ser")).readOnly(),
                 ListColumn(name("Отдел")).readOnly(), ListColumn(QStringLiteral("Prichina")),
                 ListColumn(QStringLiteral("Specialist")), ListColumn(QStringLiteral("Okonh_rem"))};
    d.CloseName = QStringLiteral("SpeedButton1");
    d.Size = QSize(950, 480);
    d.HistoryTable = QStringLiteral("remont");
    // The repair by its item and its start.
    d.HistoryRowName = [](const TDataSet &rem) {
        const QString item = rem.FieldByName(name("Изделие"))->DisplayText();
        const QString started = rem.FieldByName(QStringLiteral("Nach_rem"))->DisplayText();
        return tr("Ремонт: %1, %2").arg(item, started);
    };
    return d;
}

void TFrmOper::declareTblRem(TDataSet &rem)
{
    rem.setObjectName(QStringLiteral("TblRem"));
    rem.setTableName(QStringLiteral("remont"));
    TDataSet *items = dm->TblIsdel;
    const QString key = QStringLiteral("Kod_izd");
    const QString id = QStringLiteral("id");
    rem.addField(QStringLiteral("Nach_rem"), FieldType::DateTime).setDisplayLabel(tr("Начало")).setDisplayWidth(10);
    rem.addLookupField(name("Вид ремонта"), QStringLiteral("Kod_vida"), dm->Tblvidu, id, QStringLiteral("Name"), 30)
        .setDisplayLabel(tr("Вид работ"))
        .setDisplayWidth(10);
    rem.addLookupField(name("Изделие"), key, items, id, QStringLiteral("Name"), 30)
        .setDisplayLabel(tr("Изделие"))
        .setDisplayWidth(15);
    rem.addLookupField(QStringLiteral("Ser"), key, items, id, QStringLiteral("Seria"), 12)
        .setDisplayLabel(tr("Серия(номер)"))
        .setDisplayWidth(20)
        .setReadOnly(true)
        .setOnGetText(&TFrmOper::TblRemSerGetText);
    rem.addLookupField(QStringLiteral("NomerIzd"), key, items, id, QStringLiteral("Nomer"), 15).setVisible(false);
    // Always the item's current department: it is not stored with the repair.
    rem.addLookupField(name("Отдел"), key, items, id, name("Отдел"), 65)
        .setDisplayLabel(tr("Отдел"))
        .setDisplayWidth(15)
        .setReadOnly(true);
    rem.addField(QStringLiteral("Prichina"), FieldType::String, 30).setDisplayLabel(tr("Причина")).setDisplayWidth(25);
    rem.addField(id, FieldType::Integer).setVisible(false);
    rem.addField(QStringLiteral("Kod_vida"), FieldType::Integer).setVisible(false);
    rem.addField(key, FieldType::Integer).setVisible(false);
    rem.addField(QStringLiteral("Okonh_rem"), FieldType::DateTime).setDisplayLabel(tr("Окончание")).setDisplayWidth(10);
    rem.addField(QStringLiteral("Specialist"), FieldType::String, 20)
        .setDisplayLabel(tr("Специалист"))
        .setDisplayWidth(15);
}

namespace {

// What each search choice reads: the column, the joins it needs, its type and size.
struct FindColumn {
    const char *expr;
    const char *joins;
    FieldType type;
    int size;
};

// Outer joins: a repair without a kind or an item, or whose item has no department, is
// still found by what it has.
const char *const JoinKind = "LEFT OUTER JOIN\nvidu ON remont.Kod_vida = vidu.id";
const char *const JoinItem = "LEFT OUTER JOIN\nizdel ON remont.Kod_izd = izdel.id";
const char *const JoinDepartment = "LEFT OUTER JOIN\nizdel ON remont.Kod_izd = izdel.id LEFT OUTER JOIN\n"
                                   "otdel ON izdel.otdel = otdel.id";

const FindColumn FindColumns[] = {
    {"vidu.Name", JoinKind, FieldType::String, 30},        {"izdel.Name", JoinItem, FieldType::String, 30},
    {"izdel.Seria", JoinItem, FieldType::String, 12},      {"izdel.Nomer", JoinItem, FieldType::String, 15},
    {"otdel.Name", JoinDepartment, FieldType::String, 65}, {"remont.Prichina", "", FieldType::String, 30},
    {"remont.Nach_rem", "", FieldType::DateTime, 0},       {"remont.Okonh_rem", "", FieldType::DateTime, 0},
};

}  // namespace

void TFrmOper::declareQryFind(int choice, const QString &text)
{
    delete QryFind;
    QryFind = new TDataSet(this);
    QryFind->setObjectName(QStringLiteral("QryFind"));
    const FindColumn &c = FindColumns[choice];
    const QString column = QStringLiteral("a%1").arg(choice + 1);
    // The repairs with the one column searched. A text is matched by the server too, so
    // that only the repairs that begin with it are read: by equality of the value's first
    // characters, in the columns' own letter-case-blind comparison (a pattern would be
    // refused by the shared server's collation). The rule itself is applied below, here.
    QString sql = QStringLiteral("SELECT     remont.id AS id, %1 AS %2\nFROM         remont %3")
                      .arg(QLatin1String(c.expr), column, QLatin1String(c.joins));
    if (c.type == FieldType::String) {
        const QString expr = QLatin1String(c.expr);
        sql +=
            text.isEmpty()
                ? QStringLiteral("\nWHERE %1 = :text").arg(QryFind->russianCi(expr))
                : QStringLiteral("\nWHERE %1 = :text")
                      .arg(QryFind->russianCi(QStringLiteral("substr(%1, 1, %2)")
                                                  .arg(expr)
                                                  .arg(text.toUcs4().size())));  // in characters, as the servers count
        QryFind->setParam(QStringLiteral(":text"), text);
    }
    QryFind->setSQL(sql);
    QryFind->addField(QStringLiteral("id"), FieldType::Integer);
    QryFind->addField(column, c.type, c.size);
}

QWidget *TFrmOper::createFindPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelFind"));
    auto *h = new QHBoxLayout(panel);
    h->setContentsMargins(4, 2, 4, 2);
    auto *label1 = new QLabel(tr("Поиск по"), panel);
    label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(panel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(findChoices());
    ComboBox1->setCurrentIndex(0);
    auto *label2 = new QLabel(tr("Строка поиска"), panel);
    label2->setObjectName(QStringLiteral("Label2"));
    EditFind = new QLineEdit(panel);
    EditFind->setObjectName(QStringLiteral("EditFind"));
    EditFind->setMinimumWidth(200);
    SpeedButton2 = new QToolButton(panel);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(tr("Найти"));
    label1->setBuddy(ComboBox1);
    label2->setBuddy(EditFind);
    for (QWidget *w :
         {static_cast<QWidget *>(label1), static_cast<QWidget *>(ComboBox1), static_cast<QWidget *>(label2),
          static_cast<QWidget *>(EditFind), static_cast<QWidget *>(SpeedButton2)})
        h->addWidget(w);
    h->addStretch();
    Guard::connect(SpeedButton2, &QToolButton::clicked, this, [this](bool) { SpeedButton2Click(); });
    connect(EditFind, &QLineEdit::returnPressed, SpeedButton2, &QToolButton::click);
    return panel;
}

void TFrmOper::TblRemNewRecord(TDataSet &dataSet)
{
    dataSet.FieldByName(QStringLiteral("id"))->setValue(dm->GetNewId(QStringLiteral("remont")));
    dataSet.FieldByName(QStringLiteral("Nach_rem"))->setValue(Seams::today());
}

QString TFrmOper::TblRemSerGetText(const TField &field)
{
    const QString series = field.AsString();
    if (series.isEmpty())
        return QString();
    const QString number = field.DataSet()->FieldByName(QStringLiteral("NomerIzd"))->AsString();
    return QStringLiteral("%1(%2)").arg(series, number);
}

void TFrmOper::GridEditButtonClick()
{
    TFrmSelTech picker(this);
    TField *item = TblRem->FieldByName(QStringLiteral("Kod_izd"));
    if (!item->isNull())
        picker.ADOQuery1->Locate(QStringLiteral("id"), item->value());
    if (Seams::dialogs().exec(picker) != QDialog::Accepted)
        return;
    // OK on an empty list chooses nothing, and nothing changes.
    const QVariant chosen = picker.chosenId();
    if (!chosen.isValid())
        return;
    if (!TblRem->isEditing())
        TblRem->Edit();
    item->setValue(chosen);
}

void TFrmOper::postCurrent()
{
    if (TblRem->isEditing())
        TblRem->Post();
}

void TFrmOper::BtnItemsClick()
{
    postCurrent();
    showModal<TFrmOperItem>(DsLoc, TblRem->FieldByName(QStringLiteral("id"))->AsInteger(), this);
}

void TFrmOper::BtnOperClick()
{
    postCurrent();
    showModal<TFrmOperAct>(DsLoc, TblRem->FieldByName(QStringLiteral("id"))->AsInteger(), this);
}

void TFrmOper::SpeedButton2Click()
{
    const int choice = qBound(0, ComboBox1->currentIndex(), int(std::size(FindColumns)) - 1);
    const QString column = QStringLiteral("a%1").arg(choice + 1);
    const QString text = EditFind->text();
    // Read afresh for each search, and let go of after it.
    declareQryFind(choice, text);
    QryFind->Open();
    const auto close = qScopeGuard([this] { QryFind->Close(); });
    bool found = false;
    if (QryFind->FieldByName(column)->DataType() == FieldType::DateTime) {
        // The day typed, as the dates are shown; a text that is no date equals none.
        const QDateTime day = DateText::parse(text.trimmed());
        found = day.isValid() && locateFound(column, day, NoLocateOptions);
    } else {
        // The beginning of the value, whatever the letter case; an empty text finds an
        // empty value only.
        found = locateFound(column, text, text.isEmpty() ? CaseInsensitive : CaseInsensitive | PartialKey);
    }
    if (!found)
        ErrorBox(tr("Не найдено"));
}

bool TFrmOper::locateFound(const QString &column, const QVariant &value, int options)
{
    QStringList passed;
    for (;;) {
        const int p = QryFind->findRow(column, value, options);
        if (p < 0)
            return false;
        const QVariant id = QryFind->FieldByName(QStringLiteral("id"))->valueAt(QryFind->rowIndexAt(p));
        if (TblRem->Locate(QStringLiteral("id"), id))
            return true;
        // Entered by a colleague after this list was read: look on past it.
        passed << QStringLiteral("id<>%1").arg(id.toInt());
        QryFind->setFilter(passed.join(QStringLiteral(" AND ")));
        QryFind->setFiltered(true);
    }
}
