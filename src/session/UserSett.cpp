#include "session/UserSett.h"

#include "core/DialogButtons.h"
#include "core/Guard.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"
#include "session/ChPassw.h"
#include "session/PasswordEdit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TFrmSett::TFrmSett(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmSett"));
    setWindowTitle(tr("Настройки пользователя"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    QPalette grey = palette();
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));

    auto *labelLogin = new QLabel(tr("login"), this);
    LabeledEdit1 = new QLineEdit(this);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setReadOnly(true);
    LabeledEdit1->setPalette(grey);
    labelLogin->setBuddy(LabeledEdit1);
    grid->addWidget(labelLogin, 0, 0);
    grid->addWidget(LabeledEdit1, 1, 0);

    auto *labelPassw = new QLabel(tr("Пароль"), this);
    LabeledEdit2 = new QLineEdit(this);
    LabeledEdit2->setObjectName(QStringLiteral("LabeledEdit2"));
    LabeledEdit2->setReadOnly(true);
    makePasswordEdit(LabeledEdit2);
    labelPassw->setBuddy(LabeledEdit2);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(tr(">"));
    SpeedButton1->setToolTip(tr("Изменение пароля"));
    grid->addWidget(labelPassw, 2, 0);
    grid->addWidget(LabeledEdit2, 3, 0);
    grid->addWidget(SpeedButton1, 3, 1);
    layout->addLayout(grid);

    const OkCancelRow row = addOkCancelRow(this, layout);
    BitBtn1 = row.ok;
    BitBtn2 = row.cancel;

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    Guard::connect(SpeedButton1, &QToolButton::clicked, this, [this](bool) { SpeedButton1Click(); });

    LabeledEdit1->setMinimumWidth(220);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmSett::SpeedButton1Click()
{
    TFrmChPassw dialog(this);
    if (Seams::dialogs().exec(dialog) == QDialog::Accepted)
        LabeledEdit2->setText(dialog.LabeledEdit1->text());
}

void RunUserSettings(QWidget *parent)
{
    Guard::run([parent] {
        TFrmSett dialog(parent);
        Session &s = session();
        dialog.LabeledEdit1->setText(s.CurrentLogin);
        dialog.LabeledEdit2->setText(s.CurrentPassword);
        if (Seams::dialogs().exec(dialog) != QDialog::Accepted)
            return;
        s.CurrentPassword = dialog.LabeledEdit2->text();
        dm->changePassword(s.CurrentUserId, Seams::now(), s.CurrentPassword);
        // The next window that opens the users reads the new password.
        if (dm->TblUsers)
            dm->TblUsers->Close();
    });
}
