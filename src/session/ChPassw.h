#pragma once
// The change-password dialog: a new password typed twice.
#include <QDialog>

class QLineEdit;
class QPushButton;

class TFrmChPassw : public QDialog {
    Q_OBJECT
public:
    explicit TFrmChPassw(QWidget *parent = nullptr);

    // users.passw holds no more than this.
    static constexpr int MaxPasswordLength = 20;

    QLineEdit *LabeledEdit1;  // "Введите новый пароль"
    QLineEdit *LabeledEdit2;  // "Еще раз"
    QPushButton *BitBtn1;     // OK
    QPushButton *BitBtn2;     // Cancel

    void LabeledEdit1Change();
};
