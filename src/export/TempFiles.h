#pragma once
// Files the program hands to other programs (a report for the word processor, a mail's
// attachment): they must outlive the hand-over. A report's file goes when the program ends;
// a mail's attachment stays in the user's cache folder, since the compose window may still
// refer to it when the program has long ended, and goes a week later, at a later start.
#include <QDateTime>
#include <QString>

namespace TempFiles {

// A new empty file in the temporary folder, named from `nameTemplate` (with "XXXXXX"),
// registered for removal at the end of the program. Raises FileError when it cannot be made.
QString make(const QString &nameTemplate);

// A new folder in the temporary folder, registered for removal with its files.
QString makeFolder(const QString &nameTemplate);

// Removes every registered file and folder now (also done when the application object goes).
void removeAll();

// A new private folder for a mail's attachment, in the user's cache folder (its "mail"
// folder). Not removed when the program ends. Raises FileError when it cannot be made.
QString makeMailFolder();

// How long a mail's attachment is kept.
constexpr int MailKeepDays = 7;

// Removes the mail folders that nothing in has changed for MailKeepDays before `now`.
// Called at start-up; a folder that cannot be removed is left for the next start.
void removeOldMail(const QDateTime &now);

}  // namespace TempFiles
