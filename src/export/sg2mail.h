#pragma once
// Sending by e-mail: the message goes to the desktop's mail client (MailSender), whose
// compose window opens with subject and body filled in; the user picks the recipients.
#include <QString>
#include <QStringList>

class TDBGrid;
class TDataSet;

// Hands the message to the mail client; on any failure shows "Не вышло".
// Returns whether the client took it.
bool SendMail(const QString &subject, const QString &body, const QStringList &attachments = {});

// The grid's captions (with "№ п.п." first when Numbered) and its dataset's records as
// lines of TAB-separated values, each ended by CR LF, sent with the title as subject.
// A list too long for the hand-over to the mail client goes as the same table in an
// attached CSV file (the system's format), with a short body that says so; when the file
// could not hold every character (Windows-1251), the user is told what it lacks first.
// Leaves the dataset at its end. Returns what SendMail returns.
bool GridToMail(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered);

// Appends the values joined by TAB and a CR LF to the body.
void AppendMailLine(QString &body, const QStringList &values);
