#include "register/editu.h"

#include "core/Guard.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"
#include "lists/HistoryWindow.h"
#include "register/main.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------------------
// TFrmEdit

TFrmEdit::TFrmEdit(TDataSource *source, QWidget *parent) : QDialog(parent), m_source(source)
{
    setObjectName(QStringLiteral("FrmEdit"));
    setSizeGripEnabled(true);
    resize(443, 354);

    // Each edit accepts as many characters as its field holds: the bound edit takes the
    // size from the field's declaration.
    auto bindEdit = [&](DBEdit *e, const char *name, const char *field) {
        e->setObjectName(QString::fromLatin1(name));
        e->setDataSource(source);
        e->setDataField(QString::fromLatin1(field));
        return e;
    };
    EditName = bindEdit(new DBEdit(this), "EditName", "Name");
    EditProizvod = bindEdit(new DBEdit(this), "EditProizvod", "Proizvod");
    EditResurs = bindEdit(new DBEdit(this), "EditResurs", "Resurs");
    EditD_vup = new DBDateEdit(this);
    bindEdit(EditD_vup, "EditD_vup", "D_vup");
    EditSeria = bindEdit(new DBEdit(this), "EditSeria", "Seria");
    EditNomer = bindEdit(new DBEdit(this), "EditNomer", "Nomer");

    ComboForm = new DBComboBox(this);
    ComboForm->setObjectName(QStringLiteral("ComboForm"));
    ComboForm->addItems({QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("A2"), QStringLiteral("A1"),
                         QStringLiteral("A0"), tr("др.")});
    ComboForm->setDataSource(source);
    ComboForm->setDataField(QStringLiteral("form"));

    ComboState = new DBLookupComboBox(this);
    ComboState->setObjectName(QStringLiteral("ComboState"));
    ComboState->setDataSource(source);
    ComboState->setDataField(QStringLiteral("Состояние"));
    ComboOtdel = new DBLookupComboBox(this);
    ComboOtdel->setObjectName(QStringLiteral("ComboOtdel"));
    ComboOtdel->setDataSource(source);
    ComboOtdel->setDataField(QStringLiteral("Отдел"));

    MemoInfo = new DBMemo(this);
    MemoInfo->setObjectName(QStringLiteral("MemoInfo"));
    MemoInfo->setDataSource(source);
    MemoInfo->setDataField(QStringLiteral("Info"));

    BtnHistory = new QPushButton(tr("История изменений"), this);
    BtnHistory->setObjectName(QStringLiteral("BtnHistory"));
    BtnHistory->setAutoDefault(false);
    Guard::connect(BtnHistory, &QPushButton::clicked, this, [this](bool) { BtnHistoryClick(); });
    const auto historyState = [this] {
        const TDataSet *ds = m_source->DataSet();
        BtnHistory->setEnabled(ds && ds->Active() && !ds->IsEmpty() && ds->State() != DataSetState::Insert &&
                               RowHistory::mayView(QStringLiteral("izdel")));
    };
    connect(source, &TDataSource::stateChange, this, historyState);
    historyState();

    BtnOK = new QPushButton(tr("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnCancel = new QPushButton(tr("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    connect(BtnOK, &QPushButton::clicked, this, &TFrmEdit::accept);
    connect(BtnCancel, &QPushButton::clicked, this, &TFrmEdit::reject);

    // Labels stand above their controls, three controls to a row.
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(8);
    auto place = [&](const QString &caption, QWidget *control, int row, int column, int span = 1) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(control);
        grid->addWidget(label, row * 2, column, 1, span);
        grid->addWidget(control, row * 2 + 1, column, 1, span);
    };
    place(tr("Название"), EditName, 0, 0, 3);
    place(tr("Тип"), EditProizvod, 1, 0);
    place(tr("Ресурс"), EditResurs, 1, 1);
    place(tr("Формат"), ComboForm, 1, 2);
    place(tr("Дата вып"), EditD_vup, 2, 0);
    place(tr("Серия"), EditSeria, 2, 1);
    place(tr("Номер"), EditNomer, 2, 2);
    place(tr("Состояние"), ComboState, 3, 0);
    place(tr("Отдел"), ComboOtdel, 3, 1, 2);
    place(tr("Дополнительная информация"), MemoInfo, 4, 0, 3);
    grid->setRowStretch(9, 1);
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BtnHistory);
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnCancel);

    auto *v = new QVBoxLayout(this);
    v->addLayout(grid, 1);
    v->addLayout(buttons);

    // The focus starts on OK and goes round through the memo and the fields.
    QWidget *order[] = {BtnOK,     BtnCancel, MemoInfo,   EditName,   EditProizvod, EditD_vup,
                        EditSeria, EditNomer, ComboState, ComboOtdel, ComboForm,    EditResurs};
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFrmEdit::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *sc = screen()) {
        const QRect area = sc->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    BtnOK->setFocus();
}

bool TFrmEdit::commitEditors()
{
    for (DBEdit *e :
         std::initializer_list<DBEdit *>{EditName, EditProizvod, EditResurs, EditD_vup, EditSeria, EditNomer})
        if (!e->commit()) {
            e->setFocus();
            return false;
        }
    if (!MemoInfo->commit()) {
        MemoInfo->setFocus();
        return false;
    }
    return true;
}

namespace {

// The history of the item that is the current row of `ds`.
void showItemHistory(const TDataSet &ds, QWidget *parent)
{
    const auto text = [&ds](const char *field) { return ds.FieldByName(QLatin1String(field))->AsString(); };
    showRowHistory(QStringLiteral("izdel"), text("id"), itemTitle(text("Name"), text("Seria"), text("Nomer")), parent);
}

}  // namespace

void TFrmEdit::BtnHistoryClick()
{
    const TDataSet *ds = m_source->DataSet();
    if (ds && ds->Active() && !ds->IsEmpty() && ds->State() != DataSetState::Insert)
        showItemHistory(*ds, this);
}

void TFrmEdit::accept()
{
    if (!commitEditors())
        return;
    if (OnOk && !Guard::run(OnOk))
        return;
    QDialog::accept();
}

// ---------------------------------------------------------------------------------------
// The main window's item operations

namespace {

// Runs the editor over the record being added or changed; stores it on OK, discards it
// otherwise. A record the server refuses keeps the editor open with the user's typing.
void runEditor(TFrmEdit &editor, TDataSet *qry)
{
    editor.OnOk = [qry] {
        if (qry->isEditing())
            qry->Post();
    };
    for (;;) {
        const int result = Seams::dialogs().exec(editor);
        if (result != QDialog::Accepted) {
            qry->Cancel();
            return;
        }
        if (!qry->isEditing())
            return;
        // Ended with OK without passing through the button: store it the same way.
        if (editor.commitEditors() && Guard::run([qry] { qry->Post(); }))
            return;
    }
}

}  // namespace

void TFrmmain::QryNewRecord(TDataSet &dataSet)
{
    dataSet.FieldByName(QStringLiteral("id"))->setValue(dm->GetNewId(QStringLiteral("izdel")));
}

void TFrmmain::BtnAddClick()
{
    TFrmEdit editor(DataSource1, this);
    editor.setWindowTitle(tr("Добавить позицию"));
    Qry->Append();
    runEditor(editor, Qry);
}

void TFrmmain::BtnEditClick()
{
    TFrmEdit editor(DataSource1, this);
    editor.setWindowTitle(tr("Редактировать позицию"));
    Qry->Edit();
    // The column is blank-padded; the list shows an entry only for its exact text.
    // Showing it does not change the field.
    editor.ComboForm->setCurrentIndex(
        editor.ComboForm->findText(Qry->FieldByName(QStringLiteral("form"))->AsString().trimmed()));
    runEditor(editor, Qry);
}

void TFrmmain::ActHistoryExecute()
{
    if (Qry->Active() && !Qry->IsEmpty())
        showItemHistory(*Qry, this);
}

void TFrmmain::BtnDelClick()
{
    if (Seams::dialogs().message(Dialogs::Icon::Warning, tr("Подтвердите"),
                                 tr("Вы действительно хотите удалить эту позицию"),
                                 Dialogs::Yes | Dialogs::No) != Dialogs::Yes)
        return;
    Qry->Delete();
}
