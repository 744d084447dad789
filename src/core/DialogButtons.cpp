#include "core/DialogButtons.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>

OkCancelRow addOkCancelRow(QDialog *dialog, QBoxLayout *layout, const QString &okName, const QString &cancelName)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *ok = new QPushButton(QCoreApplication::translate("DialogButtons", "OK"), dialog);
    ok->setObjectName(okName);
    ok->setDefault(true);
    auto *cancel = new QPushButton(QCoreApplication::translate("DialogButtons", "Cancel"), dialog);
    cancel->setObjectName(cancelName);
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {ok, cancel};
}
