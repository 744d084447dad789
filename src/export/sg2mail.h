#pragma once
// Sending by e-mail: the message goes to the desktop's mail client (MailSender), whose
// compose window opens with subject and body filled in; the user picks the recipients.
#include <QString>

// Hands the message to the mail client; on any failure shows "Не вышло".
// Returns whether the client took it.
bool SendMail(const QString &subject, const QString &body);

// GridToMail (title, grid, dataset, Numbered): the grid's rows as tab-separated lines,
// then SendMail. It belongs here and comes with the grid and dataset classes.
