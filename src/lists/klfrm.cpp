#include "lists/klfrm.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "export/MSWord.h"
#include "export/sg2csv.h"
#include "export/sg2mail.h"
#include "export/sg2word.h"

#include <QHBoxLayout>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *toolButton(QWidget *parent, const char *name, const QString &hint, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setIcon(parent->style()->standardIcon(icon));
    return b;
}

}  // namespace

TFrmKl::TFrmKl(TDataSet *dataSet, const QString &caption, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmKl"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    DsLoc = new TDataSource(this, dataSet);
    DsLoc->setObjectName(QStringLiteral("DsLoc"));

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    auto *bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(2);
    DBNavigator1 = new DBNavigator(Panel1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setVisibleButtons(DBNavigator::ListButtons());
    DBNavigator1->setHints(DBNavigator::russianHints());
    DBNavigator1->setDataSource(DsLoc);
    bar->addWidget(DBNavigator1);
    BtnRep = toolButton(Panel1, "BtnRep", tr("Отчет в msWord"), QStyle::SP_FileDialogDetailedView);
    BtnSendToMail = toolButton(Panel1, "BtnSendToMail", tr("Отправить по почте"), QStyle::SP_DialogOkButton);
    BtnExport = toolButton(Panel1, "BtnExport", tr("Экспорт в файл..."), QStyle::SP_DialogSaveButton);
    BtnClose = toolButton(Panel1, "BtnClose", tr("Закрыть окно"), QStyle::SP_DialogCloseButton);
    for (QToolButton *b : {BtnRep, BtnSendToMail, BtnExport, BtnClose})
        bar->addWidget(b);
    bar->addStretch();

    grid = new TDBGrid(this);
    grid->setObjectName(QStringLiteral("grid"));
    grid->setDataSource(DsLoc);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(Panel1);
    lay->addWidget(grid, 1);
    lay->addWidget(StatusBar);

    Guard::connect(BtnRep, &QToolButton::clicked, this, [this](bool) { BtnRepClick(); });
    Guard::connect(BtnSendToMail, &QToolButton::clicked, this, [this](bool) { BtnSendToMailClick(); });
    Guard::connect(BtnExport, &QToolButton::clicked, this, [this](bool) { BtnExportClick(); });
    Guard::connect(BtnClose, &QToolButton::clicked, this, [this](bool) { BtnCloseClick(); });
    connect(DsLoc, &TDataSource::dataChange, this, [this](TField *field) {
        Guard::run([&] { DsLocDataChange(field); });
    });

    resize(500, 350);
    FormCreate();
    DsLocDataChange(nullptr);
}

void TFrmKl::FormCreate()
{
    if (TDataSet *ds = DsLoc->DataSet())
        ds->Open();
    grid->setFont(TDBGrid::mainGridFont());
}

void TFrmKl::DsLocDataChange(TField *)
{
    const TDataSet *ds = DsLoc->DataSet();
    StatusBar->showMessage(tr("Всего %1 запись(сей)").arg(ds && ds->Active() ? ds->RecordCount() : 0));
}

QString TFrmKl::statusText() const { return StatusBar->currentMessage(); }

void TFrmKl::BtnRepClick()
{
    TMSWord word;
    if (!word.Open()) {
        ErrorBox(tr("Не могу открыть msWord"));
        return;
    }
    word.NewDocument();
    word.InsertTitle(windowTitle() + QLatin1Char('\r'));
    GridToWord(grid, DsLoc->DataSet(), word, true);
    word.Show();
}

void TFrmKl::BtnSendToMailClick() { GridToMail(windowTitle(), grid, DsLoc->DataSet(), true); }

void TFrmKl::BtnExportClick() { GridToCSV(windowTitle(), grid, DsLoc->DataSet(), true); }

void TFrmKl::BtnCloseClick() { close(); }
