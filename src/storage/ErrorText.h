#pragma once
// What the user reads when the database refuses something: the common causes in plain
// Russian, followed by the server's own text for whoever has to look into it.
#include <QString>

class QSqlError;

namespace ErrorText {

enum class Cause {
    Other,           // the server's text alone
    Busy,            // another copy holds the database (or the row) for its change
    ReadOnly,        // the database or the session cannot be written
    DiskFull,        // no room left for the database
    UniqueKey,       // a row with that key is already there
    ForeignKey,      // a reference to a row that is missing, or a row others refer to
    NotNull,         // a value that must be given is empty
    TooLong,         // a text longer than its column
    BadDate,         // a date the server cannot take
    ConnectionLost,  // the connection to the server broke off
    Damaged,         // the database's file or the server's data pages are damaged
    NulCharacter,    // a text holding the character of code 0, which the server cannot take
};

// Recognised by the native error code (the embedded database's extended result code, the
// server's SQLSTATE), else by the server's text.
Cause causeOf(const QSqlError &e);
// The Russian sentence for a cause; empty for Other.
QString causeText(Cause cause);
// The cause's sentence, a line break and the server's own text; the server's text alone
// when the cause is not one of the common ones.
QString forUser(const QSqlError &e);
// The server's own text of an error.
QString serverText(const QSqlError &e);

}  // namespace ErrorText
