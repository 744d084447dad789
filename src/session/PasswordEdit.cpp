#include "session/PasswordEdit.h"

#include <QLineEdit>

void makePasswordEdit(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // 42 is "*"; the styles differ in their own mask (a dot, a bullet, a circle).
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}
