#pragma once
// The first-run dialog: local database or a remote server.
#include <QDialog>

class QLineEdit;
class QRadioButton;

class TFrmConnect : public QDialog {
    Q_OBJECT
public:
    explicit TFrmConnect(QWidget *parent = nullptr);

    QRadioButton *RadioButton1;  // "Создать локальную БД"
    QRadioButton *RadioButton2;  // "Установить связь с удаленным сервером"
    QLineEdit *Edit1;            // the server name

private:
    void RadioButton1Click();
};
