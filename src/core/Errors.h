#pragma once
// The one error type of the program. A database error carries the server's own text;
// a file error the platform's text naming the file. Raised by the data layer, the
// writers and the document routines, caught only at the boundary of a user's action
// (see Guard.h) or by the start-up path.
#include <QString>
#include <stdexcept>

class TavrellError : public std::runtime_error {
public:
    enum class Kind { Database, File, Document, Other, Shown };
    explicit TavrellError(const QString &message, Kind kind = Kind::Other)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind)
    {
    }
    const QString &message() const { return m_message; }
    Kind kind() const { return m_kind; }

private:
    QString m_message;
    Kind m_kind;
};

class DbError : public TavrellError {
public:
    explicit DbError(const QString &message) : TavrellError(message, Kind::Database) {}
};

class FileError : public TavrellError {
public:
    explicit FileError(const QString &message) : TavrellError(message, Kind::File) {}
};

// An error the user has already been shown (a control that refused a value shows why, and
// keeps it): the action stops without a second message.
class ShownError : public TavrellError {
public:
    ShownError() : TavrellError(QStringLiteral("already shown"), Kind::Shown) {}
};
