#pragma once
// The desktop's font dialog with the text colour beside the font: Qt's font choice and a
// button that opens the colour dialog, with "OK" and "Cancel" below.
#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QPushButton;

class FontColorDialog : public QDialog {
    Q_OBJECT
public:
    FontColorDialog(const QFont &font, const QColor &color, QWidget *parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColor() const { return m_color; }
    void setSelectedColor(const QColor &color);

    // Opens the colour dialog (through the dialog seam) on the current colour.
    void BtnColorClick();

    QFontDialog *FontDialog1;  // Qt's font choice, without its own buttons
    QPushButton *BtnColor;
    QPushButton *BtnOK;
    QPushButton *BtnCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QColor m_color;
};
