#pragma once
// The row of "OK" (the default button) and "Cancel" at the bottom right of the session
// dialogs. Cancel rejects the dialog; what OK does is the dialog's own.
#include <QString>

class QBoxLayout;
class QDialog;
class QPushButton;

struct OkCancelRow {
    QPushButton *ok;
    QPushButton *cancel;
};

OkCancelRow addOkCancelRow(QDialog *dialog, QBoxLayout *layout, const QString &okName = QStringLiteral("BitBtn1"),
                           const QString &cancelName = QStringLiteral("BitBtn2"));
