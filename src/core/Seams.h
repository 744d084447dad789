#pragma once
// Seams between the program and what a headless test must answer or set: message boxes,
// modal dialogs, the font and save-file dialogs, the busy cursor, the clock and the program's folder.
// The program uses the desktop versions; tests install their own (tests/support).
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>

class QAbstractFileIconProvider;
class QDialog;
class QWidget;

class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum Button { NoButton = 0, Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    virtual ~Dialogs() = default;
    // A modal message box; returns the button pressed (one of Button).
    virtual int message(Icon icon, const QString &caption, const QString &text, int buttons,
                        int defaultButton = NoButton) = 0;
    // Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int exec(QDialog &dialog) = 0;
    // The font dialog, with the text colour beside the font: opens on the given ones and
    // sets both to the user's choice; returns false (both unchanged) when he cancels.
    virtual bool chooseFont(QFont &font, QColor &color, QWidget *parent) = 0;
    // The save-file dialog; an empty result is a cancel. `filter` is in Qt's form
    // ("Name (*.ext)"), `defaultSuffix` without the dot.
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                                 const QString &defaultSuffix) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Shown while the program waits for a database that another copy is writing to; the data
// layer calls it and never touches widgets itself.
class BusyCursor {
public:
    virtual ~BusyCursor() = default;
    virtual void show() = 0;
    virtual void restore() = 0;
};

namespace Seams {
Dialogs &dialogs();
// Installs another implementation (not owned); nullptr restores the desktop one.
void setDialogs(Dialogs *dialogs);

// The type guess every file dialog of the program uses: by the name alone, never reading
// the file.
const QAbstractFileIconProvider *fileIconProvider();

BusyCursor &busyCursor();
// Installs another implementation (not owned); nullptr restores the desktop one.
void setBusyCursor(BusyCursor *cursor);

const Clock &clock();
void setClock(const Clock *clock);
// The current local date and time, and today (date part only, at midnight, as DayTime keeps it).
QDateTime now();
QDateTime today();

// The folder of the program's executable; a test points it elsewhere.
QString programFolder();
void setProgramFolder(const QString &folder);

// The user's data folder (the desktop's place for this program's data); a test points it
// elsewhere.
QString userDataFolder();
void setUserDataFolder(const QString &folder);

// The folder of the settings file remont.ini, the embedded database and the archives.
// Nothing is made or written by asking; whoever writes there first makes it.
QString dataFolder();
// The rule behind dataFolder(): files an existing copy keeps beside the program stay in use
// there (an unwritable folder then reports itself when written, rather than the data being
// passed over), then files already in the user's data folder, then the program's folder when
// it can be written and is not one of the system's (/usr/..., /bin, /sbin), else the user's
// data folder.
QString chooseDataFolder(const QString &programFolder, const QString &userFolder);
// Whether this process may make files in the folder (checked with the file-system identity,
// so that a superuser test acting as an ordinary user is answered as that user).
bool canWriteFolder(const QString &folder);
}  // namespace Seams
