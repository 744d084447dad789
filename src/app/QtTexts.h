#pragma once
// Qt's own texts (the buttons of message boxes, the font, colour and file dialogs) in
// Russian, like the rest of the program.
class QObject;

namespace QtTexts {
// Installs Qt's Russian translation on the running application when the system has it
// (Debian: qt6-translations-l10n); without it Qt's texts stay English. Returns whether it
// was installed.
bool install(QObject *owner);
}  // namespace QtTexts
