#include "app/Seams.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

class DesktopDialogs : public Dialogs {
public:
    int message(Icon icon, const QString &caption, const QString &text, int buttons,
                int defaultButton) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::None: break;
        }
        struct Map { int ours; QMessageBox::StandardButton qt; const char *text; };
        const Map map[] = {{Yes, QMessageBox::Yes, nullptr}, {No, QMessageBox::No, nullptr},
                           {Ok, QMessageBox::Ok, "OK"}, {Cancel, QMessageBox::Cancel, "Cancel"}};
        for (const Map &m : map) {
            if (!(buttons & m.ours))
                continue;
            QPushButton *b = box.addButton(m.qt);
            if (m.text)
                b->setText(QString::fromLatin1(m.text));
            if (defaultButton == m.ours)
                box.setDefaultButton(b);
        }
        const int pressed = box.exec();
        for (const Map &m : map)
            if (pressed == m.qt)
                return m.ours;
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    }

    int exec(QDialog &dialog) override { return dialog.exec(); }

    bool chooseFont(QFont &font, QWidget *parent) override
    {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, parent);
        if (ok)
            font = chosen;
        return ok;
    }

    QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                         const QString &defaultSuffix) override
    {
        QFileDialog dlg(parent, title, QString(), filter);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(defaultSuffix);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return QString();
        return dlg.selectedFiles().constFirst();
    }
};

class DesktopBusyCursor : public BusyCursor {
public:
    void show() override
    {
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        // The caller blocks until the wait ends: let the window system see the cursor now.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    void restore() override
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            QGuiApplication::restoreOverrideCursor();
    }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

DesktopDialogs g_desktopDialogs;
Dialogs *g_dialogs = &g_desktopDialogs;
DesktopBusyCursor g_desktopBusyCursor;
BusyCursor *g_busyCursor = &g_desktopBusyCursor;
SystemClock g_systemClock;
const Clock *g_clock = &g_systemClock;
QString g_programFolder;

}  // namespace

namespace Seams {

Dialogs &dialogs() { return *g_dialogs; }
void setDialogs(Dialogs *dialogs) { g_dialogs = dialogs ? dialogs : &g_desktopDialogs; }

BusyCursor &busyCursor() { return *g_busyCursor; }
void setBusyCursor(BusyCursor *cursor) { g_busyCursor = cursor ? cursor : &g_desktopBusyCursor; }

const Clock &clock() { return *g_clock; }
void setClock(const Clock *clock) { g_clock = clock ? clock : &g_systemClock; }
QDateTime now() { return g_clock->now(); }
QDateTime today() { return QDateTime(g_clock->now().date(), QTime(0, 0)); }

QString programFolder()
{
    return g_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolder;
}
void setProgramFolder(const QString &folder) { g_programFolder = folder; }

}  // namespace Seams
