#include "repairs/zajaw.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"
#include "export/MSWord.h"
#include "export/sg2word.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>

namespace {

// Positions of Combofilter and the filter each one sets (none for "Все").
const char *const FilterTexts[] = {nullptr, "State <> 0", "State = 0", "State = 2"};

}  // namespace

ListWindowDecl TFrmZajaw::declaration()
{
    ListWindowDecl d(QStringLiteral("FrmZajaw"), tr("Заявки"), dm->Tblzajav,
                     {ListColumn(QStringLiteral("Data")), ListColumn(QStringLiteral("Opis")),
                      ListColumn(QStringLiteral("Изделие")), ListColumn(QStringLiteral("Состояние"))});
    // The item lookup shows the items added since they were last read.
    d.Reread = {dm->TblIsdel};
    d.Size = QSize(900, 560);
    d.HistoryTable = QStringLiteral("zajav");
    d.HistoryRowName = [](const TDataSet &requests) {
        return tr("Заявка: %1").arg(requests.FieldByName(QStringLiteral("Opis"))->DisplayText());
    };
    // The report names the filter the list shows under its title.
    d.ReportHeadingOf = [](const TFrmKl &window) {
        const auto &self = static_cast<const TFrmZajaw &>(window);
        if (self.Combofilter->currentIndex() <= 0)
            return ReportHeading();
        return ReportHeading{tr("Фильтр: ") + self.Combofilter->currentText()};
    };
    return d;
}

TFrmZajaw::TFrmZajaw(QWidget *parent) : TFrmKl(declaration(), parent)
{
    BtnCard = addToolButton(
        ListButton(
            QStringLiteral("BtnCard"), tr("Печать карточки"), [this](TFrmKl &) { BtnCardClick(); },
            QIcon::fromTheme(QStringLiteral("document-print"), style()->standardIcon(QStyle::SP_FileIcon)))
            .at(ToolPlace::BeforeClose)
            .enabledWhen(ListButton::hasRows));

    auto *label = new QLabel(tr("Фильтр"));
    label->setObjectName(QStringLiteral("Label1"));
    addToolWidget(label, ToolPlace::AfterClose);
    Combofilter = new QComboBox;
    Combofilter->setObjectName(QStringLiteral("Combofilter"));
    Combofilter->addItems({tr("Все"), tr("Не закрытые"), tr("Закрытые"), tr("Приостановленные")});
    Combofilter->setCurrentIndex(0);
    label->setBuddy(Combofilter);
    addToolWidget(Combofilter, ToolPlace::AfterClose);
    Guard::connect(Combofilter, &QComboBox::currentIndexChanged, this, [this](int) { CheckFClick(); });

    buildTabs();
    grid->OnDrawColumnCell = [this](TDBGrid::DrawCell &cell) { gridDrawColumnCell(cell); };
    DsLocDataChange(nullptr);
    updateToolButtons();
}

void TFrmZajaw::buildTabs()
{
    // The grid and the tabs share the window's height through the splitter.
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    delete windowLayout()->replaceWidget(grid, Splitter1);
    Splitter1->addWidget(grid);

    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    Splitter1->addWidget(PageControl1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({380, 140});

    auto bind = [this](auto *editor, const char *name, const char *field) {
        editor->setObjectName(QString::fromLatin1(name));
        editor->setDataSource(DsLoc);
        editor->setDataField(QString::fromUtf8(field));
        return editor;
    };

    auto *tab1 = new QWidget;
    tab1->setObjectName(QStringLiteral("TabSheet1"));
    EditFio = bind(new DBEdit(tab1), "EditFio", "fio");
    EditPhone = bind(new DBEdit(tab1), "EditPhone", "Phone");
    ComboOtdel = bind(new DBLookupComboBox(tab1), "ComboOtdel", "Отдел");
    EditMayBy = bind(new DBEdit(tab1), "EditMayBy", "MayBy");
    auto *g = new QGridLayout(tab1);
    g->setContentsMargins(6, 6, 6, 6);
    auto addLabelled = [&](const QString &text, QWidget *editor, int row, int column, int span) {
        auto *l = new QLabel(text, tab1);
        l->setBuddy(editor);
        g->addWidget(l, row, column);
        g->addWidget(editor, row + 1, column, 1, span);
    };
    addLabelled(tr("ФИО заявившего"), EditFio, 0, 0, 1);
    addLabelled(tr("Телефон"), EditPhone, 0, 1, 1);
    addLabelled(tr("Отдел"), ComboOtdel, 0, 2, 1);
    addLabelled(tr("Возможная причина"), EditMayBy, 2, 0, 3);
    g->setColumnStretch(0, 3);
    g->setColumnStretch(1, 2);
    g->setColumnStretch(2, 3);
    g->setRowStretch(4, 1);
    PageControl1->addTab(tab1, tr("Дополнительные данные"));

    auto *tab2 = new QWidget;
    tab2->setObjectName(QStringLiteral("TabSheet2"));
    MemoPrim = bind(new DBMemo(tab2), "MemoPrim", "Prim");
    auto *v = new QVBoxLayout(tab2);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(MemoPrim);
    PageControl1->addTab(tab2, tr("Дополнительная текстовая информация"));
}

QColor TFrmZajaw::stateColor(const QVariant &state)
{
    if (!state.isValid())
        return QColor();
    switch (state.toInt()) {
    case 0: return QColor(0, 128, 0);    // "Закрыта"
    case 1: return QColor(255, 0, 0);    // "Открыта"
    case 2: return QColor(255, 255, 0);  // "Приостановлена"
    default: return QColor();
    }
}

void TFrmZajaw::DsLocDataChange(TField *field)
{
    TFrmKl::DsLocDataChange(field);
    // The closing stamp: each setting of the state to "Закрыта" adds one, into the request
    // being edited, so that it is saved or cancelled with the edit.
    if (!field || field->FieldName() != QLatin1String("State") || field->isNull() || field->AsInteger() != 0)
        return;
    TField *prim = field->DataSet()->FieldByName(QStringLiteral("Prim"));
    prim->setValue(prim->AsString() + QStringLiteral("\r\n") + tr("Закрыто :") + DateText::format(Seams::now()));
}

void TFrmZajaw::CheckFClick()
{
    TDataSet *ds = DsLoc->DataSet();
    const int position = Combofilter->currentIndex();
    // A changed request is saved before the list changes; one the database refuses stays in
    // editing, and the choice goes back to the filter the list still has.
    try {
        ds->CheckBrowseMode();
    } catch (...) {
        const QSignalBlocker blocker(Combofilter);
        Combofilter->setCurrentIndex(m_filterPosition);
        throw;
    }
    m_filterPosition = position;
    if (position > 0 && position < int(std::size(FilterTexts)))
        ds->setFilter(QString::fromLatin1(FilterTexts[position]));
    ds->setFiltered(position > 0);
    ds->First();
}

void TFrmZajaw::gridDrawColumnCell(TDBGrid::DrawCell &cell)
{
    // The selected and the focused cell keep the grid's own drawing.
    if (cell.selected)
        return;
    const TField *state = DsLoc->DataSet()->FindField(QStringLiteral("State"));
    const QColor colour = state ? stateColor(state->value()) : QColor();
    if (colour.isValid())
        cell.option.backgroundBrush = colour;
}

void TFrmZajaw::BtnCardClick()
{
    TMSWord word;
    if (!word.Open()) {
        ErrorBox(tr("Не могу открыть msWord"));
        return;
    }
    const TDataSet *ds = DsLoc->DataSet();
    auto text = [ds](const char *field) { return ds->FieldByName(QString::fromUtf8(field))->DisplayText(); };
    const QString cr = QStringLiteral("\r");
    word.NewDocument();
    word.InsertTitle(tr("Заявка") + cr);
    word.Insert(tr("Дата :") + text("Data") + cr);
    word.Insert(tr("Отдел :") + text("Отдел") + cr);
    word.Insert(tr("Описание :") + text("Opis") + cr);
    word.Insert(tr("Текущее состояние :") + text("Состояние") + cr);
    word.Insert(tr("ФИО Заявившего :") + text("fio") + cr);
    word.Insert(tr("Телефон :") + text("Phone") + cr + cr);
    word.Insert(tr("Возможная причина :") + text("MayBy") + cr + cr);
    word.Insert(tr("Дополнительная информация :") + cr + cr);
    word.Insert(text("Prim"));
    word.Show();
}

void TFrmZajaw::FormClose()
{
    // The next opening starts at "Все" with the whole list.
    if (TDataSet *ds = DsLoc->DataSet())
        ds->setFiltered(false);
}

bool TFrmZajaw::closeQuery()
{
    // A request the database refuses stays in editing, and the window open.
    if (TDataSet *ds = DsLoc->DataSet(); ds && ds->Active())
        ds->CheckBrowseMode();
    Guard::run([this] { FormClose(); });
    return true;
}
