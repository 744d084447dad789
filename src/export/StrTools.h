#pragma once
// Small string routines shared by the CSV writer and the search window. Positions count
// from 1 where a routine takes one; an empty string is always valid input; nothing fails.
#include <QChar>
#include <QString>

// The last n characters of text; the whole text when n is at least its length, empty
// when n is 0 or less.
QString StrRight(const QString &text, int n);

// The part of text before the first occurrence of separator; the whole text when the
// separator does not occur (an empty separator never occurs).
QString StrBefore(const QString &separator, const QString &text);

// The part of text after the first occurrence of separator; empty when the separator
// does not occur (an empty separator never occurs).
QString StrAfter(const QString &separator, const QString &text);

// Picks a side of "first|second": the part before the first "|" when first is true, the
// part after it otherwise. Without a "|" the text is the first side and the second is empty.
QString StrPickAlternative(bool first, const QString &text);

// text with its first occurrence of pattern replaced; unchanged when the pattern is empty
// or does not occur. Without caseSensitive the search compares upper-case forms character
// by character, so positions stay those of text and the untouched parts keep their case.
QString StrReplaceFirst(const QString &text, const QString &pattern, const QString &replacement, bool caseSensitive);

// Cuts the first token off text: returns the part before the first delimiter and removes
// it and the delimiter from text. Without a delimiter returns the whole text and empties it.
QString StrCutToken(QString &text, QChar delimiter);
