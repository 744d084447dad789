#include "core/MsgBox.h"

#include "core/Seams.h"

#include <QCoreApplication>

static QString tr(const char *text) { return QCoreApplication::translate("MsgBox", text); }

bool ConfirmBox(const QString &text)
{
    return Seams::dialogs().message(Dialogs::Icon::Question, tr("Подтвердите"), text, Dialogs::Yes | Dialogs::No) ==
           Dialogs::Yes;
}

void InfoBox(const QString &text)
{
    Seams::dialogs().message(Dialogs::Icon::Information, tr("К Вашему Сведению"), text, Dialogs::Ok);
}

void ErrorBox(const QString &text)
{
    Seams::dialogs().message(Dialogs::Icon::Critical, tr("Ошибка"), text, Dialogs::Ok);
}

QString FormatText(const QString &format, const QVariantList &args)
{
    QString out;
    int next = 0;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar spec = format.at(i + 1);
        if (spec == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
        } else if (spec == QLatin1Char('s') || spec == QLatin1Char('d')) {
            const QVariant v = next < args.size() ? args.at(next) : QVariant();
            ++next;
            out += spec == QLatin1Char('d') ? QString::number(v.toLongLong()) : v.toString();
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void ErrorBoxFmt(const QString &format, const QVariantList &args) { ErrorBox(FormatText(format, args)); }
