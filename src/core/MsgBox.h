#pragma once
// The message helpers: every message of the program's own goes through them.
#include <QString>
#include <QVariantList>

// Question with Yes and No, caption "Подтвердите"; true exactly when Yes is pressed.
bool ConfirmBox(const QString &text);
// Information, caption "К Вашему Сведению".
void InfoBox(const QString &text);
// Error, caption "Ошибка".
void ErrorBox(const QString &text);
// Fills the format's %s and %d placeholders with the arguments, in order, then ErrorBox.
void ErrorBoxFmt(const QString &format, const QVariantList &args);
// The formatting that ErrorBoxFmt uses (placeholders %s, %d and %%).
QString FormatText(const QString &format, const QVariantList &args);
