#include "data/conn.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFrmConnect::TFrmConnect(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmConnect"));
    setWindowTitle(tr("Соединение"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(tr("Добро пожаловать. Вы первый раз запустили программу. Перед началом работы "
                               "необходимо установитть параметры связи с БД"),
                            this);
    text->setObjectName(QStringLiteral("Label1"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    layout->addWidget(text);

    RadioButton1 = new QRadioButton(tr("Создать локальную БД"), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(tr("Установить связь с удаленным сервером"), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    layout->addWidget(RadioButton1);
    layout->addWidget(RadioButton2);

    Edit1 = new QLineEdit(QStringLiteral("(local)"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEnabled(false);
    layout->addWidget(Edit1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BtnOk"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(RadioButton1, &QRadioButton::clicked, this, &TFrmConnect::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TFrmConnect::RadioButton1Click);

    setMinimumWidth(380);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmConnect::RadioButton1Click() { Edit1->setEnabled(RadioButton2->isChecked()); }
