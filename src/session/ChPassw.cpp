#include "session/ChPassw.h"

#include "core/DialogButtons.h"
#include "session/PasswordEdit.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmChPassw::TFrmChPassw(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmChPassw"));
    setWindowTitle(tr("Изменение пароля"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *form = new QVBoxLayout;
    auto makeEdit = [&](const char *name, const QString &label) {
        auto *l = new QLabel(label, this);
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        makePasswordEdit(e);
        e->setMaxLength(MaxPasswordLength);
        l->setBuddy(e);
        form->addWidget(l);
        form->addWidget(e);
        return e;
    };
    LabeledEdit1 = makeEdit("LabeledEdit1", tr("Введите новый пароль"));
    LabeledEdit2 = makeEdit("LabeledEdit2", tr("Еще раз"));
    layout->addLayout(form);

    const OkCancelRow row = addOkCancelRow(this, layout);
    BitBtn1 = row.ok;
    BitBtn2 = row.cancel;
    BitBtn1->setEnabled(false);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(LabeledEdit1, &QLineEdit::textChanged, this, &TFrmChPassw::LabeledEdit1Change);
    connect(LabeledEdit2, &QLineEdit::textChanged, this, &TFrmChPassw::LabeledEdit1Change);

    LabeledEdit1->setMinimumWidth(240);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmChPassw::LabeledEdit1Change()
{
    BitBtn1->setEnabled(!LabeledEdit1->text().isEmpty() && LabeledEdit1->text() == LabeledEdit2->text());
}
