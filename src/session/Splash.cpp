#include "session/Splash.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const QColor Aqua(0x00, 0xff, 0xff);
}

TShadowLabel::TShadowLabel(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    QFont f = font();
    f.setPointSize(36);
    f.setBold(true);
    setFont(f);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize TShadowLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(m_text) + ShadowOffset + 2, fm.height() + ShadowOffset};
}

void TShadowLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setFont(font());
    const QFontMetrics fm(font());
    const int x = (width() - fm.horizontalAdvance(m_text) - ShadowOffset) / 2;
    const int y = fm.ascent();
    p.setPen(Qt::gray);
    p.drawText(x + ShadowOffset, y + ShadowOffset, m_text);
    p.setPen(Aqua);
    p.drawText(x, y, m_text);
}

TFrmSplash::TFrmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FrmSplash"));
    setWindowTitle(QString());
    setWindowOpacity(100.0 / 255.0);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setLineWidth(2);
    outer->addWidget(Panel1);

    auto *layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(32, 28, 32, 24);
    layout->setSpacing(18);
    Label1 = new TShadowLabel(tr("Tavrell"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);

    auto *line = new QHBoxLayout;
    line->setSpacing(24);
    Label2 = new QLabel(tr("Версия 1.0"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(tr("Учет оргтехники и ее ремонтов"), Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont bold = Label3->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    Label3->setFont(bold);
    QPalette pal = Label3->palette();
    pal.setColor(QPalette::WindowText, Aqua);
    Label3->setPalette(pal);
    line->addWidget(Label2, 0, Qt::AlignLeft | Qt::AlignBottom);
    line->addStretch(1);
    line->addWidget(Label3, 0, Qt::AlignRight | Qt::AlignBottom);
    layout->addLayout(line);

    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmSplash::showNow()
{
    adjustSize();
    if (QScreen *scr = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(scr->availableGeometry().center());
        move(r.topLeft());
    }
    show();
    raise();
    // Let the window system map the window, then paint it before the caller blocks.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TFrmSplash::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        repaint();
}
