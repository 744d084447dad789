#pragma once
// The about box.
#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QLabel *Comments;
    QPushButton *OKButton;
};

// The main window's "О программе" action: the about box, modal, destroyed when closed.
void ShowAboutBox(QWidget *parent = nullptr);
