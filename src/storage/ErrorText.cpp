#include "storage/ErrorText.h"

#include <QCoreApplication>
#include <QSqlError>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("ErrorText", text); }

using ErrorText::Cause;

// The server's SQLSTATE: five characters. The embedded database's result codes are numbers
// below 10000 (primary code in the low byte, the extended detail above it).
bool isSqlState(const QString &code) { return code.size() == 5; }

Cause fromSqlState(const QString &state)
{
    static const struct {
        const char *state;
        Cause cause;
    } known[] = {
        {"23505", Cause::UniqueKey},      {"23503", Cause::ForeignKey},     {"23502", Cause::NotNull},
        {"22001", Cause::TooLong},        {"22007", Cause::BadDate},        {"22008", Cause::BadDate},
        {"25006", Cause::ReadOnly},       {"55P03", Cause::Busy},           {"40P01", Cause::Busy},
        {"53100", Cause::DiskFull},       {"57P01", Cause::ConnectionLost}, {"57P02", Cause::ConnectionLost},
        {"57P03", Cause::ConnectionLost}, {"XX001", Cause::Damaged},        {"XX002", Cause::Damaged},
        {"22021", Cause::NulCharacter},
    };
    for (const auto &k : known)
        if (state == QLatin1String(k.state))
            return k.cause;
    if (state.startsWith(QLatin1String("08")))  // connection exception
        return Cause::ConnectionLost;
    return Cause::Other;
}

Cause fromSqliteCode(int code, const QString &text)
{
    enum { Busy = 5, Locked = 6, ReadOnly = 8, Corrupt = 11, Full = 13, Constraint = 19, NotADb = 26 };
    enum { Check = 275, ForeignKey = 787, NotNull = 1299, PrimaryKey = 1555, Unique = 2067 };
    switch (code & 0xff) {
    case Busy:
    case Locked: return Cause::Busy;
    case ReadOnly: return Cause::ReadOnly;
    case Full: return Cause::DiskFull;
    case Corrupt:
    case NotADb: return Cause::Damaged;
    case Constraint:
        switch (code) {
        case PrimaryKey:
        case Unique: return Cause::UniqueKey;
        case ForeignKey: return Cause::ForeignKey;
        case NotNull: return Cause::NotNull;
        // The file holds text columns to their sizes by CHECK (length(x) <= n).
        case Check: return text.contains(QLatin1String("length(")) ? Cause::TooLong : Cause::Other;
        default: return Cause::Other;
        }
    default: return Cause::Other;
    }
}

// Without a code: the texts that the embedded database and libpq give.
Cause fromText(const QString &text)
{
    static const struct {
        const char *part;
        Cause cause;
    } known[] = {
        {"database is locked", Cause::Busy},
        {"database table is locked", Cause::Busy},
        {"lock timeout", Cause::Busy},
        {"readonly database", Cause::ReadOnly},
        {"read-only transaction", Cause::ReadOnly},
        {"database or disk is full", Cause::DiskFull},
        {"no space left on device", Cause::DiskFull},
        {"unique constraint failed", Cause::UniqueKey},
        {"duplicate key value", Cause::UniqueKey},
        {"foreign key constraint", Cause::ForeignKey},
        {"not null constraint failed", Cause::NotNull},
        {"violates not-null constraint", Cause::NotNull},
        {"value too long", Cause::TooLong},
        {"check constraint failed: length(", Cause::TooLong},
        {"server closed the connection", Cause::ConnectionLost},
        {"no connection to the server", Cause::ConnectionLost},
        {"terminating connection", Cause::ConnectionLost},
        {"could not receive data from server", Cause::ConnectionLost},
        {"could not send data to server", Cause::ConnectionLost},
        {"database disk image is malformed", Cause::Damaged},
        {"file is not a database", Cause::Damaged},
        // The server's client library ends a statement's text at a NUL character: the
        // quoted value it was in is then cut short. The program's own statements are whole.
        {"unterminated quoted string", Cause::NulCharacter},
        {"invalid byte sequence for encoding \"utf8\": 0x00", Cause::NulCharacter},
    };
    const QString lower = text.toLower();
    for (const auto &k : known)
        if (lower.contains(QLatin1String(k.part)))
            return k.cause;
    return Cause::Other;
}

}  // namespace

namespace ErrorText {

QString serverText(const QSqlError &e)
{
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}

Cause causeOf(const QSqlError &e)
{
    const QString text = e.databaseText() + QLatin1Char('\n') + e.driverText();
    const QString code = e.nativeErrorCode().trimmed();
    Cause cause = Cause::Other;
    if (!code.isEmpty()) {
        bool isNumber = false;
        const int n = code.toInt(&isNumber);
        if (isSqlState(code))
            cause = fromSqlState(code);
        else if (isNumber)
            cause = fromSqliteCode(n, text);
    }
    if (cause == Cause::Other)
        cause = fromText(text);
    // A statement refused without any error: the driver's connection is closed.
    if (cause == Cause::Other && e.type() == QSqlError::NoError && serverText(e).isEmpty())
        cause = Cause::ConnectionLost;
    return cause;
}

QString causeText(Cause cause)
{
    switch (cause) {
    case Cause::Other: break;
    case Cause::Busy:
        return tr("База данных занята: другой пользователь сейчас сохраняет свои изменения. "
                  "Ничего не потеряно: повторите действие через несколько секунд.");
    case Cause::ReadOnly: return tr("База данных открыта только для чтения: изменения сохранить нельзя.");
    case Cause::DiskFull: return tr("На диске не осталось места для базы данных.");
    case Cause::UniqueKey: return tr("Запись с таким ключом уже есть.");
    case Cause::ForeignKey:
        return tr("Запись связана с другими данными: она ссылается на отсутствующую запись, "
                  "или на неё ссылаются другие записи.");
    case Cause::NotNull: return tr("Не заполнено обязательное поле.");
    case Cause::TooLong: return tr("Текст длиннее, чем вмещает поле.");
    case Cause::BadDate: return tr("Неправильная дата.");
    case Cause::ConnectionLost: return tr("Потеряна связь с сервером базы данных.");
    case Cause::Damaged:
        return tr("База данных повреждена. Закройте программу и не работайте с базой, пока её не восстановят: "
                  "сообщите администратору, он восстановит её из резервной копии или архива.");
    case Cause::NulCharacter:
        return tr("В тексте есть символ с кодом 0, база данных его не принимает: уберите его из текста.");
    }
    return QString();
}

QString forUser(const QSqlError &e)
{
    const QString server = serverText(e);
    const QString cause = causeText(causeOf(e));
    if (cause.isEmpty())
        return server;
    return server.isEmpty() ? cause : cause + QLatin1Char('\n') + server;
}

}  // namespace ErrorText
