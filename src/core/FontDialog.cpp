#include "core/FontDialog.h"

#include "core/DialogButtons.h"
#include "core/Seams.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

FontColorDialog::FontColorDialog(const QFont &font, const QColor &color, QWidget *parent)
    : QDialog(parent), m_color(color)
{
    setObjectName(QStringLiteral("FontColorDialog"));
    setWindowTitle(tr("Шрифт"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    FontDialog1 = new QFontDialog(font, this);
    FontDialog1->setObjectName(QStringLiteral("FontDialog1"));
    FontDialog1->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    // Shown inside this dialog, not as a window of its own.
    FontDialog1->setWindowFlags(Qt::Widget);
    FontDialog1->setSizeGripEnabled(false);
    FontDialog1->setVisible(true);
    // Its own dialog handling would hide it on Escape and swallow Return: both are this
    // dialog's.
    FontDialog1->installEventFilter(this);
    layout->addWidget(FontDialog1, 1);

    auto *colorRow = new QHBoxLayout;
    BtnColor = new QPushButton(tr("Цвет..."), this);
    BtnColor->setObjectName(QStringLiteral("BtnColor"));
    BtnColor->setAutoDefault(false);
    BtnColor->setToolTip(tr("Цвет текста"));
    colorRow->addWidget(BtnColor);
    colorRow->addStretch(1);
    layout->addLayout(colorRow);
    setSelectedColor(color);

    const OkCancelRow row = addOkCancelRow(this, layout, QStringLiteral("BtnOK"), QStringLiteral("BtnCancel"));
    BtnOK = row.ok;
    BtnCancel = row.cancel;
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnColor, &QPushButton::clicked, this, [this] { BtnColorClick(); });
}

QFont FontColorDialog::selectedFont() const { return FontDialog1->currentFont(); }

void FontColorDialog::setSelectedColor(const QColor &color)
{
    m_color = color;
    // The button shows the colour as a swatch.
    const int side = BtnColor->fontMetrics().height();
    QPixmap swatch(side, side);
    swatch.fill(color.isValid() ? color : QColor(Qt::black));
    BtnColor->setIcon(QIcon(swatch));
}

void FontColorDialog::BtnColorClick()
{
    QColorDialog dlg(m_color, this);
    dlg.setObjectName(QStringLiteral("ColorDialog1"));
    dlg.setWindowTitle(tr("Цвет"));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    if (Seams::dialogs().exec(dlg) == QDialog::Accepted && dlg.currentColor().isValid())
        setSelectedColor(dlg.currentColor());
}

bool FontColorDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FontDialog1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: keyPressEvent(key); return true;
        default: break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
