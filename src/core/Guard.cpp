#include "core/Guard.h"

#include "core/Errors.h"
#include "core/Seams.h"

#include <QCoreApplication>
#include <exception>

namespace Guard {

void showError(const QString &text)
{
    Seams::dialogs().message(Dialogs::Icon::Critical, QCoreApplication::translate("Guard", "Ошибка"), text,
                             Dialogs::Ok);
}

bool run(const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const TavrellError &e) {
        if (e.kind() != TavrellError::Kind::Shown)
            showError(e.message());
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

}  // namespace Guard
