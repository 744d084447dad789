#include "export/StrTools.h"

namespace {

// Upper case that keeps every character's position: each code point is mapped on its own,
// and a mapping that would change the number of UTF-16 units is not taken.
QString upperSameLength(const QString &s)
{
    QString out(s.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    const int n = s.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < n && s.at(i + 1).isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, s.at(i + 1));
            char32_t up = QChar::toUpper(cp);
            if (!QChar::requiresSurrogates(up))
                up = cp;
            dst[i] = QChar(QChar::highSurrogate(up));
            dst[i + 1] = QChar(QChar::lowSurrogate(up));
            ++i;
        } else {
            dst[i] = c.toUpper();  // on a lone surrogate this is the identity
        }
    }
    return out;
}

}  // namespace

QString StrRight(const QString &text, int n)
{
    if (n <= 0)
        return QString();
    if (n >= text.size())
        return text;
    return text.right(n);
}

QString StrBefore(const QString &separator, const QString &text)
{
    const int i = separator.isEmpty() ? -1 : text.indexOf(separator);
    return i < 0 ? text : text.left(i);
}

QString StrAfter(const QString &separator, const QString &text)
{
    const int i = separator.isEmpty() ? -1 : text.indexOf(separator);
    return i < 0 ? QString() : text.mid(i + separator.size());
}

QString StrPickAlternative(bool first, const QString &text)
{
    const QString bar = QStringLiteral("|");
    if (text.contains(bar))
        return first ? StrBefore(bar, text) : StrAfter(bar, text);
    return first ? text : QString();
}

QString StrReplaceFirst(const QString &text, const QString &pattern, const QString &replacement, bool caseSensitive)
{
    if (pattern.isEmpty() || pattern.size() > text.size())
        return text;
    const int i = caseSensitive ? text.indexOf(pattern) : upperSameLength(text).indexOf(upperSameLength(pattern));
    if (i < 0)
        return text;
    QString out;
    out.reserve(text.size() - pattern.size() + replacement.size());
    out.append(QStringView(text).left(i));
    out.append(replacement);
    out.append(QStringView(text).mid(i + pattern.size()));
    return out;
}

QString StrCutToken(QString &text, QChar delimiter)
{
    const int i = text.indexOf(delimiter);
    QString token;
    if (i < 0) {
        token = text;
        text.clear();
    } else {
        token = text.left(i);
        text.remove(0, i + 1);
    }
    return token;
}
