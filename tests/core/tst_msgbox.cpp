// The message helpers and the general error display.
#include "TestSupport.h"
#include "app/QtTexts.h"
#include "core/Errors.h"
#include "core/Guard.h"
#include "core/MsgBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <QtTest>

class TestMsgBox : public QObject {
    Q_OBJECT
private slots:
    void helpers()
    {
        ScriptedDialogs d;
        d.answers << Dialogs::No << Dialogs::Yes;
        QVERIFY(!ConfirmBox(QStringLiteral("Удалить?")));
        QVERIFY(ConfirmBox(QStringLiteral("Удалить?")));
        InfoBox(QStringLiteral("готово"));
        ErrorBox(QStringLiteral("плохо"));
        QCOMPARE(d.messages.size(), 4);
        QCOMPARE(d.messages[0].caption, QStringLiteral("Подтвердите"));
        QCOMPARE(d.messages[0].icon, Dialogs::Icon::Question);
        QCOMPARE(d.messages[0].buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(d.messages[2].caption, QStringLiteral("К Вашему Сведению"));
        QCOMPARE(d.messages[2].icon, Dialogs::Icon::Information);
        QCOMPARE(d.messages[3].caption, QStringLiteral("Ошибка"));
        QCOMPARE(d.messages[3].icon, Dialogs::Icon::Critical);
        QCOMPARE(d.messages[3].buttons, int(Dialogs::Ok));
    }

    void format_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("text");
        QTest::newRow("text") << "Не прошла команда: \"%s\"" << QVariantList{"use x"} << "Не прошла команда: \"use x\"";
        QTest::newRow("number and text") << "%d из %s" << QVariantList{3, "пяти"} << "3 из пяти";
        QTest::newRow("percent in argument stays") << "%s!" << QVariantList{"100%s"} << "100%s!";
        QTest::newRow("literal percent") << "50%% %s" << QVariantList{"x"} << "50% x";
        QTest::newRow("missing argument") << "[%s]" << QVariantList{} << "[]";
    }

    void format()
    {
        QFETCH(QString, format);
        QFETCH(QVariantList, args);
        QFETCH(QString, text);
        ScriptedDialogs d;
        ErrorBoxFmt(format, args);
        QCOMPARE(d.texts(), QStringList{text});
        QCOMPARE(d.messages.first().caption, QStringLiteral("Ошибка"));
    }

    void guardShowsTheErrorsOwnText()
    {
        ScriptedDialogs d;
        bool after = false;
        QVERIFY(!Guard::run([&] {
            throw DbError(QStringLiteral("ERROR: duplicate key value violates unique constraint \"pk_log\""));
            after = true;
        }));
        QVERIFY(!after);
        QCOMPARE(d.texts(),
                 QStringList{QStringLiteral("ERROR: duplicate key value violates unique constraint \"pk_log\"")});
        QVERIFY(Guard::run([] {}));
        QCOMPARE(d.messages.size(), 1);
    }
    // The desktop boxes: Qt's own button texts in Russian once the program has installed
    // them, and "OK" as the program names it.
    void desktopButtonsInRussian()
    {
        QVERIFY2(QtTexts::install(qApp), "Qt's Russian translation is not installed (qt6-translations-l10n)");
        QStringList seen[2];
        int box = 0;
        auto readAndClose = [&](QMessageBox::StandardButton press) {
            QTimer::singleShot(0, [&, press] {
                auto *m = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!m)
                    return;
                for (QAbstractButton *b : m->buttons())
                    seen[box] << b->text().remove(QLatin1Char('&'));
                m->button(press)->click();
            });
        };
        readAndClose(QMessageBox::No);
        QVERIFY(!ConfirmBox(QStringLiteral("Удалить?")));
        box = 1;
        readAndClose(QMessageBox::Ok);
        InfoBox(QStringLiteral("готово"));
        seen[0].sort();
        QCOMPARE(seen[0], (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
        QCOMPARE(seen[1], QStringList{QStringLiteral("OK")});
    }
};

QTEST_MAIN(TestMsgBox)
#include "tst_msgbox.moc"
