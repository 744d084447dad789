#include "export/MailSender.h"

#include "export/XdgEmailSender.h"

namespace {
XdgEmailSender g_desktopSender;
MailSender *g_sender = &g_desktopSender;
}  // namespace

bool MailSender::fits(const QString &, const QString &) const { return true; }

MailSender &MailSender::current() { return *g_sender; }
void MailSender::setCurrent(MailSender *sender) { g_sender = sender ? sender : &g_desktopSender; }
