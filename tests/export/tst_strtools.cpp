// The string routines: positions, first occurrences, empty texts and the case-insensitive
// replacement that must keep the case and position of what it does not replace.
#include "export/StrTools.h"

#include <QtTest>

class TestStrTools : public QObject {
    Q_OBJECT

private slots:
    void strRight_data();
    void strRight();
    void beforeAfter_data();
    void beforeAfter();
    void pickAlternative_data();
    void pickAlternative();
    void replaceFirst_data();
    void replaceFirst();
    void cutToken_data();
    void cutToken();
};

void TestStrTools::strRight_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("one") << "abc" << 1 << "c";
    QTest::newRow("exact length") << "abc" << 3 << "abc";
    QTest::newRow("longer than text") << "abc" << 5 << "abc";
    QTest::newRow("zero") << "abc" << 0 << "";
    QTest::newRow("negative") << "abc" << -2 << "";
    QTest::newRow("empty text") << "" << 2 << "";
    QTest::newRow("cyrillic") << "Принтер" << 3 << "тер";
    // clang-format on
}

void TestStrTools::strRight()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(StrRight(text, n), expected);
}

void TestStrTools::beforeAfter_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    // clang-format off
    QTest::newRow("first occurrence only") << ";" << "a;b;c" << "a" << "b;c";
    QTest::newRow("absent") << ";" << "abc" << "abc" << "";
    QTest::newRow("at start") << ";" << ";abc" << "" << "abc";
    QTest::newRow("at end") << ";" << "abc;" << "abc" << "";
    QTest::newRow("longer separator") << "::" << "a:b::c::d" << "a:b" << "c::d";
    QTest::newRow("separator longer than text") << "abcd" << "abc" << "abc" << "";
    QTest::newRow("empty text") << ";" << "" << "" << "";
    QTest::newRow("empty separator never occurs") << "" << "abc" << "abc" << "";
    QTest::newRow("case matters") << "X" << "axbXc" << "axb" << "c";
    // clang-format on
}

void TestStrTools::beforeAfter()
{
    QFETCH(QString, separator);
    QFETCH(QString, text);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(StrBefore(separator, text), before);
    QCOMPARE(StrAfter(separator, text), after);
}

void TestStrTools::pickAlternative_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // clang-format off
    QTest::newRow("two sides") << "yes|no" << "yes" << "no";
    QTest::newRow("no bar") << "yes" << "yes" << "";
    QTest::newRow("first bar splits") << "a|b|c" << "a" << "b|c";
    QTest::newRow("empty first side") << "|no" << "" << "no";
    QTest::newRow("empty second side") << "yes|" << "yes" << "";
    QTest::newRow("empty text") << "" << "" << "";
    QTest::newRow("cyrillic") << "Отдел|Состояние" << "Отдел" << "Состояние";
    // clang-format on
}

void TestStrTools::pickAlternative()
{
    QFETCH(QString, text);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QCOMPARE(StrPickAlternative(true, text), first);
    QCOMPARE(StrPickAlternative(false, text), second);
}

void TestStrTools::replaceFirst_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("insensitive takes the upper-case one first") << "aXbx" << "x" << "_" << false << "a_bx";
    QTest::newRow("sensitive skips the other case") << "aXbx" << "x" << "_" << true << "aXb_";
    QTest::newRow("only the first") << "a;b;c" << ";" << "<nfd>" << false << "a<nfd>b;c";
    QTest::newRow("absent") << "abc" << "z" << "_" << false << "abc";
    QTest::newRow("sensitive absent") << "abc" << "B" << "_" << true << "abc";
    QTest::newRow("empty pattern") << "abc" << "" << "_" << false << "abc";
    QTest::newRow("empty text") << "" << "x" << "_" << false << "";
    QTest::newRow("pattern longer than text") << "ab" << "abc" << "_" << false << "ab";
    QTest::newRow("whole text") << "AbC" << "aBc" << "x" << false << "x";
    QTest::newRow("empty replacement") << "a\"\"\"b" << "\"\"" << "" << false << "a\"b";
    QTest::newRow("replacement holds the pattern") << "aa" << "a" << "aa" << false << "aaa";
    QTest::newRow("untouched parts keep their case") << "МоСКва" << "ск" << "__" << false << "Мо__ва";
    QTest::newRow("cyrillic yo") << "ёлка Ёж" << "ЁЖ" << "кот" << false << "ёлка кот";
    QTest::newRow("cyrillic sensitive") << "Дом дом" << "дом" << "X" << true << "Дом X";
    // clang-format on
    // The sharp s upper-cases to two letters in full mapping; positions must not move.
    // clang-format off
    QTest::newRow("sharp s keeps positions") << "ßaXb" << "x" << "_" << false << "ßa_b";
    QTest::newRow("ligature keeps positions") << "ﬁle X" << "x" << "Y" << false << "ﬁle Y";
    QTest::newRow("outside the BMP") << "\U00010428a\U00010428" << "\U00010400A" << "-" << false
                                     << "-\U00010428";
    // clang-format on
}

void TestStrTools::replaceFirst()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, expected);
    QCOMPARE(StrReplaceFirst(text, pattern, replacement, caseSensitive), expected);
}

void TestStrTools::cutToken_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QStringList>("tokens");  // the tokens cut in turn until the text is empty
    // clang-format off
    QTest::newRow("two words") << "a b" << " " << QStringList{"a", "b"};
    QTest::newRow("leading delimiter gives an empty token") << " a" << " " << QStringList{"", "a"};
    QTest::newRow("doubled delimiter") << "a  b" << " " << QStringList{"a", "", "b"};
    QTest::newRow("trailing delimiter") << "a " << " " << QStringList{"a"};
    QTest::newRow("no delimiter") << "слово" << " " << QStringList{"слово"};
    QTest::newRow("only a delimiter") << " " << " " << QStringList{""};
    QTest::newRow("other delimiter") << "принтер;сканер" << ";" << QStringList{"принтер", "сканер"};
    // clang-format on
}

void TestStrTools::cutToken()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(QStringList, tokens);
    QStringList got;
    // Bounded, so a routine that never empties the text fails instead of hanging.
    for (int i = 0; i < tokens.size() + 2 && !text.isEmpty(); ++i)
        got << StrCutToken(text, delimiter.at(0));
    QCOMPARE(got, tokens);
    QVERIFY(text.isEmpty());

    QString empty;
    QCOMPARE(StrCutToken(empty, delimiter.at(0)), QString());
    QVERIFY(empty.isEmpty());
}

QTEST_APPLESS_MAIN(TestStrTools)
#include "tst_strtools.moc"
