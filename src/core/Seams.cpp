#include "core/Seams.h"

#include "core/DayTime.h"
#include "core/FontDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStandardPaths>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Guesses a file's type and icon from its name alone. The stock guess reads the file when
// its name says too little, and closing that read drops SQLite's POSIX locks on the
// database files in this process: another copy would then believe it has the database
// to itself.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QFileIconProvider::icon(Folder);
        const QIcon themed = QIcon::fromTheme(mimeOf(info).iconName());
        return themed.isNull() ? QFileIconProvider::icon(File) : themed;
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QApplication::translate("Seams", "Папка");
        return mimeOf(info).comment();
    }

private:
    QMimeType mimeOf(const QFileInfo &info) const
    {
        return m_mime.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }
    QMimeDatabase m_mime;
};

NameOnlyIconProvider *nameOnlyIcons()
{
    static NameOnlyIconProvider provider;
    return &provider;
}

class DesktopDialogs : public Dialogs {
public:
    int message(Icon icon, const QString &caption, const QString &text, int buttons, int defaultButton) override
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
        struct Map {
            int ours;
            QMessageBox::StandardButton qt;
            const char *text;
        };
        const Map map[] = {{Yes, QMessageBox::Yes, nullptr},
                           {No, QMessageBox::No, nullptr},
                           {Ok, QMessageBox::Ok, "OK"},
                           {Cancel, QMessageBox::Cancel, "Cancel"}};
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

    bool chooseFont(QFont &font, QColor &color, QWidget *parent) override
    {
        FontColorDialog dlg(font, color, parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        font = dlg.selectedFont();
        color = dlg.selectedColor();
        return true;
    }

    QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                         const QString &defaultSuffix) override
    {
        QFileDialog dlg(parent, title, QString(), filter);
        // Qt's own dialog, so that the name-only type guess is the one it uses.
        dlg.setOption(QFileDialog::DontUseNativeDialog, true);
        dlg.setIconProvider(nameOnlyIcons());
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
QString g_userDataFolder;

}  // namespace

namespace Seams {

Dialogs &dialogs() { return *g_dialogs; }
void setDialogs(Dialogs *dialogs) { g_dialogs = dialogs ? dialogs : &g_desktopDialogs; }

const QAbstractFileIconProvider *fileIconProvider() { return nameOnlyIcons(); }

BusyCursor &busyCursor() { return *g_busyCursor; }
void setBusyCursor(BusyCursor *cursor) { g_busyCursor = cursor ? cursor : &g_desktopBusyCursor; }

const Clock &clock() { return *g_clock; }
void setClock(const Clock *clock) { g_clock = clock ? clock : &g_systemClock; }
QDateTime now() { return g_clock->now(); }
QDateTime today() { return DayTime::of(g_clock->now().date()); }

QString programFolder() { return g_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolder; }
void setProgramFolder(const QString &folder) { g_programFolder = folder; }

QString userDataFolder()
{
    return g_userDataFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                      : g_userDataFolder;
}
void setUserDataFolder(const QString &folder) { g_userDataFolder = folder; }

bool canWriteFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return false;
#if defined(Q_OS_UNIX)
    // access() answers for the real user; the effective check is the one writes meet.
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    return ::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) == 0;
#else
    return info.isWritable();
#endif
}

QString chooseDataFolder(const QString &programFolder, const QString &userFolder)
{
    const auto holdsData = [](const QString &folder) {
        const QDir dir(folder);
        for (const char *name : {"remont.ini", "org_tech.sqlite"}) {
            const QFileInfo file(dir.filePath(QLatin1String(name)));
            if (file.exists() || file.isSymLink())
                return true;
        }
        return false;
    };
    if (holdsData(programFolder))
        return programFolder;
    if (!userFolder.isEmpty() && holdsData(userFolder))
        return userFolder;
    // The system's own program folders are written only by the package manager, even where
    // the superuser could write them.
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const bool systemFolder = canonical.startsWith(QLatin1String("/usr/")) || canonical == QLatin1String("/bin") ||
                              canonical == QLatin1String("/sbin");
    if ((canWriteFolder(programFolder) && !systemFolder) || userFolder.isEmpty())
        return programFolder;
    return userFolder;
}

QString dataFolder() { return chooseDataFolder(programFolder(), userDataFolder()); }

}  // namespace Seams
