#include "session/about.h"

#include "core/Seams.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("О программе"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto *grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(12);

    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(icon.pixmap(48, 48));
    ProgramIcon->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    grid->addWidget(ProgramIcon, 0, 0, 2, 1);

    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    auto boldBlue = [&](QLabel *label) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        label->setPalette(blue);
    };

    auto *captionName = new QLabel(tr("Product Name"), panel);
    ProductName = new QLabel(QStringLiteral("Tavrell"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    boldBlue(ProductName);
    grid->addWidget(captionName, 0, 1);
    grid->addWidget(ProductName, 0, 2);

    auto *captionVersion = new QLabel(tr("Version"), panel);
    Version = new QLabel(QStringLiteral("1.0"), panel);
    Version->setObjectName(QStringLiteral("Version"));
    boldBlue(Version);
    grid->addWidget(captionVersion, 1, 1);
    grid->addWidget(Version, 1, 2);

    auto *captionComments = new QLabel(tr("Comments"), panel);
    Comments = new QLabel(tr("Tavrell.  База данных ms SQL 2000. ADO "), panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    boldBlue(Comments);
    grid->addWidget(captionComments, 2, 0, 1, 3);
    grid->addWidget(Comments, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    layout->addWidget(panel);

    OKButton = new QPushButton(tr("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    Comments->setMinimumWidth(320);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowAboutBox(QWidget *parent)
{
    TAboutBox box(parent);
    Seams::dialogs().exec(box);
}
