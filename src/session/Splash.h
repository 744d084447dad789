#pragma once
// The splash window: shown first at start-up, hidden by the login dialog once the login
// list is ready, kept until the program ends.
#include <QWidget>

class QFrame;
class QLabel;

// A one-line text drawn over a grey copy of itself shifted right and down.
class TShadowLabel : public QWidget {
    Q_OBJECT
public:
    TShadowLabel(const QString &text, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    static constexpr int ShadowOffset = 4;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};

class TFrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFrmSplash(QWidget *parent = nullptr);

    // Shows the window and paints it now: the connection work that follows blocks the
    // event loop, so a paint left for later would not happen before the login.
    void showNow();

    QFrame *Panel1;
    TShadowLabel *Label1;  // the organisation's name
    QLabel *Label2;        // "Версия 1.0"
    QLabel *Label3;        // what the program is

protected:
    void changeEvent(QEvent *event) override;
};
