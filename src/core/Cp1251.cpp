#include "core/Cp1251.h"

#include "core/Errors.h"

#include <QCoreApplication>

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

struct Tables {
    std::array<char16_t, 256> toUnicode{};
    // One byte per BMP code unit; 0 means "not in the code page" (NUL is handled apart).
    std::array<unsigned char, 65536> fromUnicode{};
};

Tables buildTables()
{
    iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        const int err = errno;
        throw TavrellError(QCoreApplication::translate("Cp1251", "Кодировка Windows-1251 недоступна: %1")
                               .arg(QString::fromLocal8Bit(std::strerror(err))));
    }
    Tables t;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char *inp = &in;
        char *outp = reinterpret_cast<char *>(out);
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        char16_t u = static_cast<char16_t>(b);  // undefined byte: the C1 control of that number
        if (r != static_cast<size_t>(-1) && inLeft == 0 && sizeof out - outLeft == 2)
            u = static_cast<char16_t>(out[0] | (out[1] << 8));
        t.toUnicode[b] = u;
    }
    iconv_close(cd);
    for (int b = 255; b > 0; --b)
        if (t.fromUnicode[t.toUnicode[b]] == 0)
            t.fromUnicode[t.toUnicode[b]] = static_cast<unsigned char>(b);
    return t;
}

const Tables &tables()
{
    static const Tables t = buildTables();
    return t;
}

}  // namespace

namespace Cp1251 {

qsizetype encodeAppend(QByteArray &out, QStringView text)
{
    const Tables &t = tables();
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *dst = out.data() + start;
    const QChar *src = text.data();
    const qsizetype n = text.size();
    qsizetype lost = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = src[i].unicode();
        if (u == 0) {
            *dst++ = '\0';
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && src[i + 1].isLowSurrogate())
            ++i;  // one character, one "?"
        const unsigned char b = t.fromUnicode[u];
        if (b) {
            *dst++ = static_cast<char>(b);
        } else {
            *dst++ = '?';
            ++lost;
        }
    }
    out.resize(dst - out.constData());
    return lost;
}

qsizetype unencodable(QStringView text)
{
    const Tables &t = tables();
    qsizetype lost = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == 0)
            continue;
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        if (!t.fromUnicode[u])
            ++lost;
    }
    return lost;
}

QByteArray encode(QStringView text)
{
    QByteArray out;
    encodeAppend(out, text);
    return out;
}

QString decode(QByteArrayView bytes)
{
    const Tables &t = tables();
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = QChar(t.toUnicode[src[i]]);
    return out;
}

}  // namespace Cp1251
