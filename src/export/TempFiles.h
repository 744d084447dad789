#pragma once
// Files the program hands to other programs (a report for the word processor, a mail's
// attachment): they must outlive the hand-over, so they are removed when the program ends.
#include <QString>

namespace TempFiles {

// A new empty file in the temporary folder, named from `nameTemplate` (with "XXXXXX"),
// registered for removal at the end of the program. Raises FileError when it cannot be made.
QString make(const QString &nameTemplate);

// A new folder in the temporary folder, registered for removal with its files.
QString makeFolder(const QString &nameTemplate);

// Removes every registered file and folder now (also done when the application object goes).
void removeAll();

}  // namespace TempFiles
