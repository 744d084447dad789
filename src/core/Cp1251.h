#pragma once
// Windows-1251, the code page of the system's CSV files and of settings files written by
// the program's first versions. The program is Unicode inside; text meets this code page
// only when a file is written or read.
//
// The tables are built once through the C library's iconv. Bytes that the code page leaves
// undefined (0x98) decode to the C1 control of the same number and encode back to that
// byte, so a file read and written again keeps every byte. A character outside the code
// page encodes as "?" (one "?" per character, also for those outside the BMP).
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Cp1251 {

QByteArray encode(QStringView text);
// How many characters of text the code page lacks (a pair of surrogates is one).
qsizetype unencodable(QStringView text);
// Appends the encoding of text to out (for writers that build one buffer of many lines).
// Returns how many characters the code page lacks (each written as one "?"), so that a
// writer can tell the user what its file does not hold.
qsizetype encodeAppend(QByteArray &out, QStringView text);
QString decode(QByteArrayView bytes);

}  // namespace Cp1251
