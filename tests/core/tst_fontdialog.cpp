// The desktop's font dialog: the font and the text colour chosen together.
#include "TestSupport.h"
#include "core/FontDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestFontDialog : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheFontAndColour();
    void colourButton_data();
    void colourButton();
    void keysEndTheWholeDialog_data();
    void keysEndTheWholeDialog();
    void desktopSeamReturnsBoth_data();
    void desktopSeamReturnsBoth();
};

void TestFontDialog::opensOnTheFontAndColour()
{
    const QFont font(QStringLiteral("DejaVu Serif"), 14);
    FontColorDialog dlg(font, QColor(0, 0, 255));
    QCOMPARE(dlg.selectedFont().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(dlg.selectedFont().pointSize(), 14);
    QCOMPARE(dlg.selectedColor(), QColor(0, 0, 255));
    // The font part is inside the dialog, without buttons of its own.
    QCOMPARE(dlg.FontDialog1->parentWidget(), &dlg);
    QVERIFY(!dlg.FontDialog1->isWindow());
    QVERIFY(dlg.FontDialog1->testOption(QFontDialog::NoButtons));
    QVERIFY(!dlg.BtnColor->text().isEmpty());
    QVERIFY(!dlg.BtnColor->icon().isNull());
    QVERIFY(dlg.BtnOK->isDefault());
}

void TestFontDialog::colourButton_data()
{
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QColor>("result");
    QTest::newRow("colour chosen") << true << QColor(0, 128, 0);
    QTest::newRow("colour dialog cancelled") << false << QColor(Qt::red);
}

void TestFontDialog::colourButton()
{
    QFETCH(bool, accepted);
    QFETCH(QColor, result);
    ScriptedDialogs dialogs;
    QColor offered;
    dialogs.dialogs.enqueue([&](QDialog &d) {
        auto *c = qobject_cast<QColorDialog *>(&d);
        if (!c)
            return int(QDialog::Rejected);
        offered = c->currentColor();
        c->setCurrentColor(QColor(0, 128, 0));
        return int(accepted ? QDialog::Accepted : QDialog::Rejected);
    });
    FontColorDialog dlg(QFont(), QColor(Qt::red));
    dlg.BtnColor->click();
    QCOMPARE(dialogs.execLog, QStringList{QStringLiteral("ColorDialog1")});
    QCOMPARE(offered, QColor(Qt::red));
    QCOMPARE(dlg.selectedColor(), result);
}

void TestFontDialog::keysEndTheWholeDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestFontDialog::keysEndTheWholeDialog()
{
    QFETCH(int, key);
    QFETCH(int, result);
    FontColorDialog dlg(QFont(), QColor(Qt::black));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // A key typed in the font part ends this dialog, not only the part.
    auto *edit = dlg.FontDialog1->findChild<QLineEdit *>();
    QVERIFY(edit);
    dlg.setResult(-1);
    QTest::keyClick(edit, Qt::Key(key));
    QCOMPARE(dlg.result(), result);
    QVERIFY(!dlg.isVisible());
    QVERIFY(!dlg.FontDialog1->isHidden());
}

void TestFontDialog::desktopSeamReturnsBoth_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestFontDialog::desktopSeamReturnsBoth()
{
    QFETCH(bool, ok);
    // The program's own dialog, answered once it runs.
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        FontColorDialog *dlg = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<FontColorDialog *>(w); d && d->isVisible())
                dlg = d;
        if (!dlg)
            return;
        seen = true;
        QFont f(QStringLiteral("DejaVu Sans Mono"), 13);
        dlg->FontDialog1->setCurrentFont(f);
        dlg->setSelectedColor(QColor(10, 20, 30));
        (ok ? dlg->BtnOK : dlg->BtnCancel)->click();
    });
    QFont font(QStringLiteral("DejaVu Serif"), 9);
    QColor color(Qt::black);
    QCOMPARE(Seams::dialogs().chooseFont(font, color, nullptr), ok);
    QVERIFY(seen);
    QCOMPARE(font.family(), ok ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Serif"));
    QCOMPARE(color, ok ? QColor(10, 20, 30) : QColor(Qt::black));
}

QTEST_MAIN(TestFontDialog)
#include "tst_fontdialog.moc"
