#include "db/TDataSet.h"

#include "storage/Backend.h"
#include "storage/ErrorText.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("TDataSet", text); }

bool isText(FieldType t)
{
    return t == FieldType::String || t == FieldType::FixedChar || t == FieldType::Memo;
}

// A date-time read from the database when no backend is known: the embedded database
// keeps 'yyyy-MM-dd hh:mm:ss.zzz' text, a server a timestamp.
QDateTime dateTimeFromRaw(const QVariant &raw)
{
    if (raw.metaType().id() == QMetaType::QDateTime)
        return raw.toDateTime();
    if (raw.metaType().id() == QMetaType::QDate)
        return raw.toDate().startOfDay();
    const QString s = raw.toString().trimmed();
    static const char *const formats[] = {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss.zzz",
                                          "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"};
    for (const char *f : formats) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Date texts

namespace DateText {

QString shortDateFormat()
{
    // Asked for every date a list or an export shows: worked out once per locale.
    static QLocale cachedFor(QLocale::c());
    static QString cached;
    const QLocale locale;
    if (cached.isEmpty() || locale != cachedFor) {
        QString f = locale.dateFormat(QLocale::ShortFormat);
        if (!f.contains(QLatin1String("yyyy")))
            f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        cachedFor = locale;
        cached = f;
    }
    return cached;
}

QString format(const QDateTime &dt)
{
    if (!dt.isValid())
        return QString();
    QString s = QLocale().toString(dt.date(), shortDateFormat());
    if (dt.time() != QTime(0, 0))
        s += QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    return s;
}

QDateTime parse(const QString &text)
{
    const QString s = text.simplified();
    if (s.isEmpty())
        return QDateTime();
    // Lenient about leading zeros: "5.1.2004" reads as "05.01.2004".
    QString date = shortDateFormat();
    // Only numeric day and month: "MMM" (a month's name) stays as it is.
    static const QRegularExpression twoDigitDay(QStringLiteral("(?<!d)dd(?!d)"));
    static const QRegularExpression twoDigitMonth(QStringLiteral("(?<!M)MM(?!M)"));
    date.replace(twoDigitDay, QStringLiteral("d")).replace(twoDigitMonth, QStringLiteral("M"));
    const QString times[] = {QString(), QStringLiteral(" H:mm:ss"), QStringLiteral(" H:mm"), QStringLiteral(" H:mm:ss.zzz")};
    for (const QString &t : times) {
        const QDateTime dt = QLocale().toDateTime(s, date + t);
        if (dt.isValid())
            return dt;
    }
    return dateTimeFromRaw(s);
}

}  // namespace DateText

// ---------------------------------------------------------------------------------------
// TField

int TField::DisplayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    if (m_size > 0 && m_type != FieldType::Memo)
        return m_size;
    switch (m_type) {
    case FieldType::Integer: return 10;
    case FieldType::Float: return 10;
    case FieldType::DateTime: return 18;
    case FieldType::Boolean: return 5;
    default: return 10;
    }
}

QVariant TField::normalize(const QVariant &raw) const
{
    if (!raw.isValid() || raw.isNull())
        return QVariant();
    switch (m_type) {
    case FieldType::Integer:
        return raw.metaType().id() == QMetaType::Int ? raw : QVariant(raw.toInt());
    case FieldType::Float:
        return raw.metaType().id() == QMetaType::Double ? raw : QVariant(raw.toDouble());
    case FieldType::String:
    case FieldType::Memo:
        return raw.metaType().id() == QMetaType::QString ? raw : QVariant(raw.toString());
    case FieldType::FixedChar: {
        // char(n) reads back blank-padded on every backend.
        QString s = raw.toString();
        if (s.size() < m_size)
            s += QString(m_size - s.size(), QLatin1Char(' '));
        return s;
    }
    case FieldType::DateTime: {
        if (raw.metaType().id() == QMetaType::QDateTime)
            return raw;
        Backend *b = m_dataSet ? m_dataSet->backend() : nullptr;
        const QDateTime dt = b ? b->dateTimeFromDb(raw) : dateTimeFromRaw(raw);
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Boolean:
        return raw.metaType().id() == QMetaType::Bool ? raw : QVariant(raw.toBool());
    }
    return raw;
}

QVariant TField::value() const
{
    const int row = m_dataSet->activeRowIndex();
    return row < 0 ? QVariant() : valueAt(row);
}

QVariant TField::valueAt(int rowIndex) const
{
    if (rowIndex < 0)
        return QVariant();
    if (m_kind == FieldKind::Lookup)
        return lookupValueAt(rowIndex);
    return m_dataSet->storedAsNormalized(rowIndex, m_column);
}

QVariant TField::lookupValueAt(int rowIndex) const
{
    TDataSet *lds = m_lookupDataSet.data();
    if (!lds || !lds->Active())
        return QVariant();
    const TField *key = m_dataSet->FindField(m_keyFields);
    const TField *lkey = lds->FindField(m_lookupKeyFields);
    const TField *result = lds->FindField(m_lookupResultField);
    if (!key || !lkey || !result)
        return QVariant();
    const QVariant k = key->valueAt(rowIndex);
    if (!k.isValid())
        return QVariant();
    const int r = lds->findRowIndexByKey(lkey, k);
    return r < 0 ? QVariant() : result->valueAt(r);
}

QString TField::textOf(const QVariant &v) const
{
    if (!v.isValid())
        return QString();
    switch (m_type) {
    case FieldType::DateTime: return DateText::format(v.toDateTime());
    case FieldType::Float: return QLocale().toString(v.toDouble(), 'g', 15);
    case FieldType::Boolean: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default: return v.toString();
    }
}

QString TField::AsString() const { return textOf(value()); }

QString TField::DisplayText() const { return m_onGetText ? m_onGetText(*this) : AsString(); }

QVariant TField::convert(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    const bool fromText = v.metaType().id() == QMetaType::QString;
    const QString text = fromText ? v.toString() : QString();
    switch (m_type) {
    case FieldType::Integer: {
        bool ok = true;
        int n = 0;
        if (fromText) {
            if (text.trimmed().isEmpty())
                return QVariant();
            n = text.trimmed().toInt(&ok);
            if (!ok)
                n = QLocale().toInt(text.trimmed(), &ok);
        } else {
            n = v.toInt(&ok);
        }
        if (!ok)
            throw TavrellError(tr("«%1» — не целое число").arg(v.toString()));
        return n;
    }
    case FieldType::Float: {
        bool ok = true;
        double d = 0;
        if (fromText) {
            if (text.trimmed().isEmpty())
                return QVariant();
            d = QLocale().toDouble(text.trimmed(), &ok);
            if (!ok)
                d = text.trimmed().toDouble(&ok);
        } else {
            d = v.toDouble(&ok);
        }
        if (!ok)
            throw TavrellError(tr("«%1» — не число").arg(v.toString()));
        return d;
    }
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::Memo: {
        QString s = v.metaType().id() == QMetaType::QDateTime ? DateText::format(v.toDateTime()) : v.toString();
        // A fixed-width value may carry its own padding back in: it does not count.
        int effective = s.size();
        if (m_type == FieldType::FixedChar)
            while (effective > 0 && s.at(effective - 1) == QLatin1Char(' '))
                --effective;
        if (m_type != FieldType::Memo && m_size > 0 && effective > m_size)
            throw TavrellError(tr("Текст «%1» длиннее, чем вмещает поле «%2»: не больше %3 символов")
                                   .arg(s, DisplayLabel())
                                   .arg(m_size));
        if (m_type == FieldType::FixedChar)
            s.truncate(effective);
        return s;
    }
    case FieldType::DateTime: {
        QDateTime dt;
        if (v.metaType().id() == QMetaType::QDateTime)
            dt = v.toDateTime();
        else if (v.metaType().id() == QMetaType::QDate)
            dt = v.toDate().startOfDay();
        else {
            if (text.trimmed().isEmpty() && fromText)
                return QVariant();
            dt = DateText::parse(v.toString());
        }
        if (!dt.isValid())
            throw TavrellError(tr("«%1» — неправильная дата").arg(v.toString()));
        return dt;
    }
    case FieldType::Boolean: {
        if (fromText) {
            const QString t = text.trimmed().toLower();
            if (t.isEmpty())
                return QVariant();
            if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("yes"))
                return true;
            if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no"))
                return false;
            throw TavrellError(tr("«%1» — не логическое значение").arg(text));
        }
        return v.toBool();
    }
    }
    return v;
}

void TField::setValue(const QVariant &v)
{
    TDataSet *ds = m_dataSet;
    if (!ds->isEditing())
        throw TavrellError(tr("Dataset not in edit or insert mode"));
    if (m_kind == FieldKind::Lookup) {
        // A lookup stores the key of the row that shows this value.
        TField *key = ds->FieldByName(m_keyFields);
        if (!v.isValid() || v.isNull() || (v.metaType().id() == QMetaType::QString && v.toString().isEmpty())) {
            key->setValue(QVariant());
            return;
        }
        TDataSet *lds = m_lookupDataSet.data();
        if (!lds || !lds->Active())
            throw TavrellError(tr("Field '%1': its lookup dataset is not open").arg(m_name));
        const TField *result = lds->FieldByName(m_lookupResultField);
        const TField *lkey = lds->FieldByName(m_lookupKeyFields);
        const int pos = lds->findRow(result->FieldName(), v, NoLocateOptions);
        if (pos < 0)
            throw TavrellError(tr("'%1' is not in the list of '%2'").arg(v.toString(), DisplayLabel()));
        key->setValue(lkey->valueAt(lds->rowIndexAt(pos)));
        return;
    }
    ds->setFieldValue(this, convert(v));
}

void TField::setText(const QString &text)
{
    if (m_readOnly)
        throw TavrellError(tr("Field '%1' cannot be modified").arg(DisplayLabel()));
    if (m_onSetText)
        m_onSetText(*this, text);
    else
        setValue(text.isEmpty() ? QVariant() : QVariant(text));
}

// ---------------------------------------------------------------------------------------
// Filter expressions

struct TDataSet::FilterTerm {
    QString field;
    enum Op { Eq, Ne, Lt, Gt, Le, Ge } op = Eq;
    QVariant literal;  // text or number as written
};

namespace {

std::vector<std::tuple<QString, int, QVariant>> parseFilter(const QString &text, bool &ok)
{
    std::vector<std::tuple<QString, int, QVariant>> terms;
    ok = true;
    int i = 0;
    const int n = text.size();
    auto skip = [&] { while (i < n && text.at(i).isSpace()) ++i; };
    auto word = [&]() -> QString {
        skip();
        if (i < n && text.at(i) == QLatin1Char('[')) {
            const int end = text.indexOf(QLatin1Char(']'), i);
            if (end < 0) { ok = false; return QString(); }
            const QString w = text.mid(i + 1, end - i - 1);
            i = end + 1;
            return w;
        }
        const int start = i;
        while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == QLatin1Char('_') || text.at(i) == QLatin1Char('.')
                         || text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
            ++i;
        return text.mid(start, i - start);
    };
    skip();
    if (i >= n)
        return terms;
    for (;;) {
        const QString field = word();
        if (field.isEmpty() || !ok) { ok = false; return {}; }
        skip();
        int op = -1;
        const QStringView rest = QStringView(text).mid(i);
        struct { const char *s; int op; } ops[] = {{"<>", 1}, {"!=", 1}, {"<=", 4}, {">=", 5}, {"=", 0}, {"<", 2}, {">", 3}};
        for (auto &o : ops)
            if (rest.startsWith(QLatin1String(o.s))) {
                op = o.op;
                i += int(qstrlen(o.s));
                break;
            }
        if (op < 0) { ok = false; return {}; }
        skip();
        QVariant literal;
        if (i < n && text.at(i) == QLatin1Char('\'')) {
            QString s;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('\'')) { s += QLatin1Char('\''); i += 2; continue; }
                    ++i;
                    closed = true;
                    break;
                }
                s += text.at(i++);
            }
            if (!closed) { ok = false; return {}; }
            literal = s;
        } else {
            const QString w = word();
            if (w.isEmpty()) { ok = false; return {}; }
            bool isNum = false;
            const double d = w.toDouble(&isNum);
            literal = isNum ? QVariant(d) : QVariant(w);
        }
        terms.emplace_back(field, op, literal);
        skip();
        if (i >= n)
            break;
        const QString conj = word();
        if (conj.compare(QLatin1String("and"), Qt::CaseInsensitive) != 0) { ok = false; return {}; }
    }
    return terms;
}

// -1, 0, 1; `comparable` false when the two cannot be ordered.
int compareValues(const TField *f, const QVariant &a, const QVariant &b, bool &comparable)
{
    comparable = true;
    FieldType t = f->DataType();
    if (f->isLookup() && f->LookupDataSet())
        if (const TField *r = f->LookupDataSet()->FindField(f->LookupResultField()))
            t = r->DataType();
    if (isText(t)) {
        QStringView x(a.toString()), y(b.toString());
        if (t == FieldType::FixedChar) {
            while (!x.isEmpty() && x.back() == QLatin1Char(' ')) x.chop(1);
            while (!y.isEmpty() && y.back() == QLatin1Char(' ')) y.chop(1);
        }
        const int c = x.compare(y, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (t == FieldType::DateTime) {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    bool ok1 = false, ok2 = false;
    const double x = a.toDouble(&ok1), y = b.toDouble(&ok2);
    if (!ok1 || !ok2) {
        comparable = false;
        return 0;
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TDataSet

TDataSet::TDataSet(QObject *parent, const QString &connectionName, Backend *backend)
    : QObject(parent),
      m_connectionName(connectionName.isEmpty() ? QString::fromLatin1(Backend::MainConnection) : connectionName),
      m_backend(backend)
{
}

TDataSet::~TDataSet() = default;

Backend *TDataSet::backend() const
{
    if (m_backend)
        return m_backend;
    if (s_defaultBackend && s_defaultBackend->connectionName() == m_connectionName)
        return s_defaultBackend;
    return nullptr;
}

Backend *TDataSet::s_defaultBackend = nullptr;

void TDataSet::setDefaultBackend(Backend *backend) { s_defaultBackend = backend; }

QString TDataSet::russianCi(const QString &expr) const
{
    const Backend *b = backend();
    return b ? b->russianCi(expr) : expr;
}

void TDataSet::setTableName(const QString &table)
{
    m_tableName = table;
    m_sql.clear();
}

void TDataSet::setSQL(const QString &sql)
{
    m_sql = sql;
    m_tableName.clear();
}

void TDataSet::setParam(const QString &name, const QVariant &value)
{
    const QString n = name.startsWith(QLatin1Char(':')) ? name : QLatin1Char(':') + name;
    for (auto &p : m_params)
        if (p.first == n) {
            p.second = value;
            return;
        }
    m_params.append({n, value});
}

TField &TDataSet::addField(const QString &name, FieldType type, int size)
{
    if (Active())
        throw TavrellError(tr("Cannot add field '%1' to an open dataset").arg(name));
    auto f = std::unique_ptr<TField>(new TField);
    f->m_dataSet = this;
    f->m_name = name;
    f->m_type = type;
    f->m_size = size;
    f->m_index = m_fieldList.size();
    TField *p = f.get();
    m_fields.push_back(std::move(f));
    m_fieldList.append(p);
    m_byName.insert(name.toLower(), p);
    return *p;
}

TField &TDataSet::addLookupField(const QString &name, const QString &keyField, TDataSet *lookupDataSet,
                                 const QString &lookupKey, const QString &resultField, int size)
{
    TField &f = addField(name, FieldType::String, size);
    f.m_kind = FieldKind::Lookup;
    f.m_keyFields = keyField;
    f.m_lookupDataSet = lookupDataSet;
    f.m_lookupKeyFields = lookupKey;
    f.m_lookupResultField = resultField;
    if (lookupDataSet && lookupDataSet != this) {
        // What the lookup shows changes with its lookup dataset.
        connect(lookupDataSet, &TDataSet::modelReset, this, &TDataSet::lookupSourceChanged, Qt::UniqueConnection);
        connect(lookupDataSet, &TDataSet::rowChanged, this, &TDataSet::lookupSourceChanged, Qt::UniqueConnection);
        connect(lookupDataSet, &TDataSet::rowRemoved, this, &TDataSet::lookupSourceChanged, Qt::UniqueConnection);
        connect(lookupDataSet, &TDataSet::rowInserted, this, &TDataSet::lookupSourceChanged, Qt::UniqueConnection);
        connect(lookupDataSet, &TDataSet::allRowsChanged, this, &TDataSet::lookupSourceChanged, Qt::UniqueConnection);
    }
    return f;
}

void TDataSet::lookupSourceChanged()
{
    if (!Active())
        return;
    touch();
    emit allRowsChanged();
}

TField *TDataSet::FindField(const QString &name) const { return m_byName.value(name.toLower(), nullptr); }

TField *TDataSet::FieldByName(const QString &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw TavrellError(tr("Field '%1' not found").arg(name));
    return f;
}

void TDataSet::checkActive() const
{
    if (!Active())
        throw TavrellError(tr("Cannot perform this operation on a closed dataset"));
}

void TDataSet::checkCanModify() const
{
    checkActive();
    if (!CanModify())
        throw TavrellError(tr("Cannot modify a read-only dataset"));
}

bool TDataSet::CanModify() const { return Active() && !m_readOnly && !postTable().isEmpty(); }

void TDataSet::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    if (readOnly && isEditing())
        Cancel();
    m_readOnly = readOnly;
    if (Active())
        emit stateChanged();
}

void TDataSet::setState(DataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

// ---- Opening -----------------------------------------------------------------------------

QSqlQuery TDataSet::runSelect()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isValid() || !db.isOpen())
        throw DbError(tr("Нет соединения с базой данных"));
    QString sql = m_sql;
    if (sql.isEmpty()) {
        if (m_tableName.isEmpty())
            throw TavrellError(tr("Dataset '%1' has neither a table nor a query").arg(objectName()));
        sql = QStringLiteral("SELECT * FROM ") + m_tableName;
        if (!m_orderBy.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + m_orderBy;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DbError(ErrorText::forUser(q.lastError()));
    for (const auto &p : m_params)
        q.bindValue(p.first, p.second);
    if (!q.exec())
        throw DbError(ErrorText::forUser(q.lastError()));
    return q;
}

namespace {

// Field type of a column the dataset makes its own field for.
FieldType autoType(const QSqlField &f, const QString &declared, int &size)
{
    size = f.length() > 0 ? f.length() : 0;
    const QString d = declared.toLower();
    if (!d.isEmpty()) {
        static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)\\)"));
        const auto m = sizeRe.match(d);
        if (m.hasMatch())
            size = m.captured(1).toInt();
        if (d.contains(QLatin1String("date")) || d.contains(QLatin1String("time")))
            return FieldType::DateTime;
        if (d.contains(QLatin1String("int")))
            return FieldType::Integer;
        if (d.contains(QLatin1String("float")) || d.contains(QLatin1String("real")) || d.contains(QLatin1String("double"))
            || d.contains(QLatin1String("numeric")) || d.contains(QLatin1String("decimal")))
            return FieldType::Float;
        if (d.startsWith(QLatin1String("char")) || d.startsWith(QLatin1String("nchar")) || d.startsWith(QLatin1String("bpchar"))
            || d.startsWith(QLatin1String("character(")))
            return FieldType::FixedChar;
        if (d == QLatin1String("text"))
            return FieldType::Memo;
        if (d.contains(QLatin1String("bool")))
            return FieldType::Boolean;
        return FieldType::String;
    }
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return FieldType::DateTime;
    case QMetaType::Bool:
        return FieldType::Boolean;
    default:
        // PostgreSQL: 1042 is char(n), 25 is text.
        if (f.typeID() == 1042)
            return FieldType::FixedChar;
        if (f.typeID() == 25)
            return FieldType::Memo;
        return FieldType::String;
    }
}

}  // namespace

void TDataSet::bindFields(const QSqlRecord &rec)
{
    const bool hasDataFields = std::any_of(m_fieldList.begin(), m_fieldList.end(),
                                           [](const TField *f) { return f->m_kind == FieldKind::Data; });
    if (!hasDataFields) {
        // No declared data fields: one field per column, before the declared lookups.
        QHash<QString, QString> declared;
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        const QString table = postTable().isEmpty() ? m_tableName : postTable();
        if (db.driverName() == QLatin1String("QSQLITE") && !table.isEmpty()) {
            QSqlQuery info(db);
            if (info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
                while (info.next())
                    declared.insert(info.value(1).toString().toLower(), info.value(2).toString());
        }
        QList<TField *> lookups = m_fieldList;
        m_fieldList.clear();
        m_byName.clear();
        std::vector<std::unique_ptr<TField>> kept;
        for (auto &f : m_fields)
            kept.push_back(std::move(f));
        m_fields.clear();
        for (int i = 0; i < rec.count(); ++i) {
            int size = 0;
            const FieldType t = autoType(rec.field(i), declared.value(rec.fieldName(i).toLower()), size);
            addField(rec.fieldName(i), t, size);
        }
        for (auto &f : kept) {
            f->m_index = m_fieldList.size();
            m_fieldList.append(f.get());
            m_byName.insert(f->m_name.toLower(), f.get());
            m_fields.push_back(std::move(f));
        }
        m_autoFields = true;
    }
    m_columnNames.clear();
    m_columnTypes.clear();
    m_columnField.clear();
    for (TField *f : m_fieldList) {
        if (f->m_kind != FieldKind::Data)
            continue;
        const int i = rec.indexOf(f->m_name);  // case-insensitive
        if (i < 0)
            throw TavrellError(tr("Field '%1' not found").arg(f->m_name));
        f->m_column = m_columnNames.size();
        m_columnNames.append(rec.fieldName(i));
        m_columnTypes.append(f->m_type);
        m_columnField.append(f);
    }
    for (TField *f : m_fieldList)
        if (f->m_kind == FieldKind::Lookup && !FindField(f->m_keyFields))
            throw TavrellError(tr("Field '%1' not found").arg(f->m_keyFields));
}

void TDataSet::resolveKeyColumns()
{
    m_keyStorage.clear();
    const QString table = postTable();
    QStringList keys = m_keyColumns;
    if (keys.isEmpty() && !table.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        QSqlIndex pk = db.primaryIndex(table);
        if (pk.isEmpty() && db.driverName() == QLatin1String("QPSQL"))
            pk = db.primaryIndex(table.toLower());
        for (int i = 0; i < pk.count(); ++i)
            keys.append(pk.fieldName(i));
        if (keys.isEmpty())
            keys.append(QStringLiteral("id"));
    }
    for (const QString &k : keys)
        for (int c = 0; c < m_columnNames.size(); ++c)
            if (m_columnNames.at(c).compare(k, Qt::CaseInsensitive) == 0) {
                m_keyStorage.append(c);
                break;
            }
    // Without its key among the fields a row is found by all its values.
    if (m_keyStorage.size() != keys.size()) {
        m_keyStorage.clear();
        for (int c = 0; c < m_columnNames.size(); ++c)
            if (m_columnTypes.at(c) != FieldType::Memo)
                m_keyStorage.append(c);
    }
}

void TDataSet::readRows(QSqlQuery &q)
{
    const QSqlRecord rec = q.record();
    QVector<int> src;
    for (const QString &c : m_columnNames)
        src.append(rec.indexOf(c));
    const int n = src.size();
    m_rows.clear();
    while (q.next()) {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c)
            row[c] = q.value(src[c]);
        m_rows.push_back(std::move(row));
    }
    // Release the statement at once: an open grid holds no lock.
    q.finish();
}

void TDataSet::Open()
{
    if (Active())
        return;
    for (TField *f : m_fieldList)
        if (f->m_kind == FieldKind::Lookup && f->m_lookupDataSet && f->m_lookupDataSet != this)
            f->m_lookupDataSet->Open();
    QSqlQuery q = runSelect();
    bindFields(q.record());
    emit modelAboutToBeReset();
    readRows(q);
    q.clear();
    // Only now: a server may keep one result at a time on the connection.
    try {
        resolveKeyColumns();
    } catch (...) {
        m_rows.clear();
        emit modelReset();
        throw;
    }
    m_order.resize(int(m_rows.size()));
    for (int i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    m_state = DataSetState::Browse;
    m_modified = false;
    m_editRow = -1;
    touch();
    try {
        rebuildVisible();
    } catch (...) {
        m_state = DataSetState::Inactive;
        m_rows.clear();
        m_order.clear();
        m_visible.clear();
        emit modelReset();
        throw;
    }
    m_cur = m_visible.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.isEmpty();
    emit modelReset();
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    emit modelAboutToBeReset();
    m_rows.clear();
    m_order.clear();
    m_visible.clear();
    m_backup.clear();
    m_cur = -1;
    m_editRow = -1;
    m_modified = false;
    m_eof = m_bof = true;
    m_state = DataSetState::Inactive;
    touch();
    emit modelReset();
    emit stateChanged();
    emit currentChanged(-1);
    emit dataChanged(nullptr);
}

QVector<QVariant> TDataSet::keyOf(int rowIndex) const
{
    QVector<QVariant> k;
    if (rowIndex < 0)
        return k;
    for (int c : m_keyStorage)
        k.append(storedAsNormalized(rowIndex, c));
    return k;
}

void TDataSet::Requery()
{
    checkActive();
    CheckBrowseMode();
    const QVector<QVariant> key = keyOf(currentRowIndex());
    const int oldPos = m_cur;
    QSqlQuery q = runSelect();
    emit modelAboutToBeReset();
    try {
        readRows(q);
    } catch (...) {
        emit modelReset();
        throw;
    }
    q.clear();
    m_order.resize(int(m_rows.size()));
    for (int i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    touch();
    rebuildVisible();
    m_cur = -1;
    if (!key.isEmpty())
        for (int p = 0; p < m_visible.size(); ++p)
            if (keyOf(m_visible[p]) == key) {
                m_cur = p;
                break;
            }
    if (m_cur < 0 && !m_visible.isEmpty())
        m_cur = std::clamp(oldPos, 0, int(m_visible.size()) - 1);
    m_bof = m_cur <= 0;
    m_eof = m_visible.isEmpty();
    emit modelReset();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

QVariant TDataSet::storedAsNormalized(int rowIndex, int column) const
{
    if (rowIndex < 0 || rowIndex >= int(m_rows.size()) || column < 0)
        return QVariant();
    const QVector<QVariant> &row = m_rows[rowIndex];
    if (column >= row.size())
        return QVariant();
    const QVariant &raw = row[column];
    const TField *f = m_columnField.value(column, nullptr);
    if (!f)
        return raw;
    QVariant v = f->normalize(raw);
    // Date-times are converted once, on first reading, when the text stored is the one this
    // program writes: a post compares the stored text with what was read (see asRead).
    if (f->m_type == FieldType::DateTime && v.isValid() && raw.metaType().id() != QMetaType::QDateTime
        && toDb(column, v) == raw)
        const_cast<QVariant &>(raw) = v;
    return v;
}

// ---- Cursor -------------------------------------------------------------------------------

bool TDataSet::Eof() const { return !Active() || m_visible.isEmpty() || m_eof; }
bool TDataSet::Bof() const { return !Active() || m_visible.isEmpty() || m_bof; }

void TDataSet::afterMove()
{
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
    if (AfterScroll)
        AfterScroll(*this);
}

void TDataSet::moveTo(int position)
{
    checkActive();
    const int target = m_visible.value(position, -1);
    CheckBrowseMode();
    if (m_visible.isEmpty())
        return;
    // Posting the row being left may have moved rows; look the target up only then.
    int pos = -1;
    if (target >= 0)
        pos = m_visible.value(position, -1) == target ? position : int(m_visible.indexOf(target));
    if (pos < 0)
        pos = std::clamp(position, 0, int(m_visible.size()) - 1);
    if (pos == m_cur)
        return;
    m_cur = pos;
    afterMove();
}

void TDataSet::First()
{
    moveTo(0);
    m_bof = true;
    m_eof = m_visible.isEmpty();
}

void TDataSet::Last()
{
    moveTo(int(m_visible.size()) - 1);
    m_eof = true;
    m_bof = m_visible.isEmpty();
}

void TDataSet::Next()
{
    checkActive();
    CheckBrowseMode();
    if (m_cur < m_visible.size() - 1) {
        moveTo(m_cur + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    checkActive();
    CheckBrowseMode();
    if (m_cur > 0) {
        moveTo(m_cur - 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

void TDataSet::MoveBy(int distance)
{
    checkActive();
    if (m_visible.isEmpty())
        return;
    const int target = m_cur + distance;
    moveTo(std::clamp(target, 0, int(m_visible.size()) - 1));
    m_eof = target >= m_visible.size();
    m_bof = target < 0;
}

void TDataSet::setRecNo(int recNo)
{
    checkActive();
    if (m_visible.isEmpty())
        return;
    moveTo(std::clamp(recNo - 1, 0, int(m_visible.size()) - 1));
    m_bof = m_eof = false;
}

// ---- Editing ------------------------------------------------------------------------------

void TDataSet::startInsert(bool append)
{
    checkCanModify();
    CheckBrowseMode();
    const int ncols = m_columnNames.size();
    const int rowIndex = int(m_rows.size());
    m_rows.push_back(QVector<QVariant>(ncols));
    const int pos = append || m_cur < 0 ? int(m_visible.size()) : m_cur;
    const int orderPos = append || m_cur < 0 ? int(m_order.size()) : int(m_order.indexOf(m_visible[m_cur]));

    // The new-record handler fills the row before anybody sees it; its error cancels the
    // insertion.
    m_state = DataSetState::Insert;
    m_editRow = rowIndex;
    m_changed = QVector<bool>(ncols, true);
    m_inNewRecord = true;
    try {
        ActiveRow active(this, rowIndex);
        if (OnNewRecord)
            OnNewRecord(*this);
    } catch (...) {
        m_inNewRecord = false;
        m_state = DataSetState::Browse;
        m_editRow = -1;
        m_rows.pop_back();
        throw;
    }
    m_inNewRecord = false;
    m_modified = false;
    touch();
    emit rowAboutToBeInserted(pos);
    m_order.insert(orderPos, rowIndex);
    m_visible.insert(pos, rowIndex);
    m_cur = pos;
    m_bof = m_eof = false;
    emit rowInserted(pos);
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::Append() { startInsert(true); }
void TDataSet::Insert() { startInsert(false); }

void TDataSet::Edit()
{
    checkActive();
    if (isEditing())
        return;
    checkCanModify();
    if (m_visible.isEmpty()) {
        Append();
        return;
    }
    m_editRow = currentRowIndex();
    m_backup = m_rows[m_editRow];
    m_changed = QVector<bool>(m_columnNames.size(), false);
    m_modified = false;
    setState(DataSetState::Edit);
}

void TDataSet::setFieldValue(TField *f, const QVariant &normalized)
{
    if (m_editRow < 0)
        throw TavrellError(tr("Dataset not in edit or insert mode"));
    if (activeRowIndex() != m_editRow)
        throw TavrellError(tr("Field '%1' can only be set in the record being edited").arg(f->FieldName()));
    m_rows[m_editRow][f->m_column] = normalized;
    m_changed[f->m_column] = true;
    touch();
    if (m_inNewRecord)
        return;
    m_modified = true;
    emit rowChanged(m_cur);
    emit dataChanged(f);
}

QVariant TDataSet::toDb(int column, const QVariant &v) const
{
    const FieldType t = m_columnTypes.value(column, FieldType::String);
    if (!v.isValid() || v.isNull()) {
        switch (t) {
        case FieldType::Integer: return QVariant(QMetaType(QMetaType::Int));
        case FieldType::Float: return QVariant(QMetaType(QMetaType::Double));
        case FieldType::Boolean: return QVariant(QMetaType(QMetaType::Bool));
        default: return QVariant(QMetaType(QMetaType::QString));
        }
    }
    if (t == FieldType::DateTime) {
        if (Backend *b = backend())
            return b->toDb(v.toDateTime());
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.driverName() == QLatin1String("QSQLITE"))
            return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        return v.toDateTime();
    }
    if (t == FieldType::FixedChar) {
        // Stored without the padding; it is put back on reading.
        QString s = v.toString();
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s;
    }
    return v;
}

void TDataSet::execWrite(QSqlQuery &q, const QVariantList &binds, const QString &sql) const
{
    if (!q.prepare(sql))
        throw DbError(ErrorText::forUser(q.lastError()));
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds.at(i));
    if (!q.exec())
        throw DbError(ErrorText::forUser(q.lastError()));
}

QVariant TDataSet::asRead(const QVector<QVariant> &row, int column) const
{
    const QVariant &v = row.value(column);
    if (!v.isValid() || v.isNull())
        return QVariant();
    // A date-time was read as one, converted from the text this program writes, or set by
    // this copy; every other value is kept as the database gave it or as this copy stored it.
    return v.metaType().id() == QMetaType::QDateTime ? toDb(column, v) : v;
}

QString TDataSet::whereByKey(const QVector<QVariant> &row, QVariantList &binds) const
{
    QStringList parts;
    for (int c : m_keyStorage) {
        const QVariant v = asRead(row, c);
        if (!v.isValid()) {
            parts.append(m_columnNames.at(c) + QStringLiteral(" IS NULL"));
        } else {
            parts.append(m_columnNames.at(c) + QStringLiteral(" = ?"));
            binds.append(v);
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

QString TDataSet::unchangedSince(const QVector<QVariant> &row, const QList<int> &columns, QVariantList &binds) const
{
    const Backend *b = backend();
    QStringList parts;
    for (int c : columns) {
        const QString &name = m_columnNames.at(c);
        const QVariant v = asRead(row, c);
        if (!v.isValid()) {
            parts.append(name + QStringLiteral(" IS NULL"));
            continue;
        }
        // Text columns compare without regard to letter case; a colleague's change of case
        // is a change all the same.
        const bool text = isText(m_columnTypes.at(c)) && v.metaType().id() == QMetaType::QString;
        parts.append(b ? b->holdsExactly(name, text) : name + QStringLiteral(" = ?"));
        binds.append(v);
    }
    return parts.join(QStringLiteral(" AND "));
}

DbError TDataSet::changedByAnotherUser()
{
    return DbError(tr("Другой пользователь изменил или удалил эту запись после того, как она была прочитана. "
                      "Обновите данные, чтобы увидеть её текущий вид."));
}

void TDataSet::postInsert()
{
    QStringList cols, marks;
    QVariantList binds;
    const QVector<QVariant> &row = m_rows[m_editRow];
    for (int c = 0; c < m_columnNames.size(); ++c) {
        const QVariant v = storedAsNormalized(m_editRow, c);
        if (!v.isValid())
            continue;
        cols.append(m_columnNames.at(c));
        marks.append(QStringLiteral("?"));
        binds.append(toDb(c, v));
    }
    (void)row;
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    const QString sql = cols.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(postTable())
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(postTable(), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    execWrite(q, binds, sql);
}

bool TDataSet::postUpdate()
{
    QStringList sets;
    QVariantList binds;
    QList<int> changed;
    for (int c = 0; c < m_columnNames.size(); ++c) {
        if (!m_changed.value(c))
            continue;
        sets.append(m_columnNames.at(c) + QStringLiteral(" = ?"));
        binds.append(toDb(c, storedAsNormalized(m_editRow, c)));
        changed.append(c);
    }
    if (sets.isEmpty())
        return true;
    // Only while the changed columns still hold what this copy read: a colleague's change
    // made since is never overwritten unseen, and his changes of other columns stay.
    // The key's marks come first: bound in that order.
    QString where = whereByKey(m_backup, binds);
    where += QStringLiteral(" AND ") + unchangedSince(m_backup, changed, binds);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    execWrite(q, binds, QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(postTable(), sets.join(QStringLiteral(", ")), where));
    if (q.numRowsAffected() == 0)
        throw changedByAnotherUser();
    return true;
}

void TDataSet::Post()
{
    checkActive();
    if (!isEditing())
        return;
    if (BeforePost)
        BeforePost(*this);
    if (m_state == DataSetState::Insert)
        postInsert();
    else
        postUpdate();
    m_modified = false;
    m_editRow = -1;
    m_backup.clear();
    touch();
    setState(DataSetState::Browse);
    emit rowChanged(m_cur);
    emit dataChanged(nullptr);
    if (AfterPost)
        AfterPost(*this);
}

void TDataSet::removeFromView(int rowIndex)
{
    const int pos = int(m_visible.indexOf(rowIndex));
    if (pos >= 0) {
        emit rowAboutToBeRemoved(pos);
        m_visible.remove(pos);
        m_order.removeOne(rowIndex);
        m_rows[rowIndex].clear();
        emit rowRemoved(pos);
        if (m_cur >= m_visible.size())
            m_cur = int(m_visible.size()) - 1;
    } else {
        m_order.removeOne(rowIndex);
        m_rows[rowIndex].clear();
    }
    touch();
}

void TDataSet::Cancel()
{
    if (!isEditing())
        return;
    const int row = m_editRow;
    const bool inserting = m_state == DataSetState::Insert;
    // Browse before anybody hears of the change: listeners may move the cursor.
    m_state = DataSetState::Browse;
    m_editRow = -1;
    m_modified = false;
    if (inserting) {
        removeFromView(row);
    } else {
        m_rows[row] = m_backup;
        touch();
        emit rowChanged(m_cur);
    }
    m_backup.clear();
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::CheckBrowseMode()
{
    if (!isEditing())
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

QList<int> TDataSet::postTableColumns() const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlRecord rec = db.record(postTable());
    if (rec.isEmpty() && db.driverName() == QLatin1String("QPSQL"))
        rec = db.record(postTable().toLower());
    QList<int> columns;
    for (int c = 0; c < m_columnNames.size(); ++c)
        if (rec.indexOf(m_columnNames.at(c)) >= 0)  // case-insensitive
            columns.append(c);
    return columns;
}

void TDataSet::Delete()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    checkCanModify();
    if (m_visible.isEmpty())
        throw TavrellError(tr("Cannot perform this operation on an empty dataset"));
    if (BeforeDelete)
        BeforeDelete(*this);
    const int row = currentRowIndex();
    // A row being edited is deleted by the key it was read with, and only as it was read:
    // the user confirmed deleting the row he saw (the cascade takes its repairs along).
    const QVector<QVariant> &stored = m_state == DataSetState::Edit ? m_backup : m_rows[row];
    QVariantList binds;
    QString where = whereByKey(stored, binds);
    const QList<int> columns = postTableColumns();
    if (!columns.isEmpty())
        where += QStringLiteral(" AND ") + unchangedSince(stored, columns, binds);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    execWrite(q, binds, QStringLiteral("DELETE FROM %1 WHERE %2").arg(postTable(), where));
    // Nothing deleted is no success.
    if (q.numRowsAffected() == 0)
        throw changedByAnotherUser();
    const bool wasEditing = isEditing();
    m_state = DataSetState::Browse;
    m_editRow = -1;
    m_backup.clear();
    m_modified = false;
    removeFromView(row);
    m_eof = m_visible.isEmpty();
    m_bof = m_visible.isEmpty();
    if (wasEditing)
        emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

// ---- Filter and locate ----------------------------------------------------------------------

void TDataSet::setFilter(const QString &filter)
{
    bool ok = true;
    const auto parsed = parseFilter(filter, ok);
    if (!ok)
        throw TavrellError(tr("Cannot read the filter \"%1\"").arg(filter));
    std::vector<FilterTerm> terms;
    for (const auto &[field, op, literal] : parsed) {
        FilterTerm t;
        t.field = field;
        t.op = FilterTerm::Op(op);
        t.literal = literal;
        terms.push_back(t);
    }
    // An unknown field is refused before anything changes.
    if (Active())
        for (const FilterTerm &t : terms)
            FieldByName(t.field);
    m_filter = filter;
    m_filterTerms = std::move(terms);
    if (Active() && m_filtered) {
        CheckBrowseMode();
        emit modelAboutToBeReset();
        rebuildVisible();
        m_cur = m_visible.isEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = m_visible.isEmpty();
        emit modelReset();
        afterMove();
    }
}

void TDataSet::setFiltered(bool filtered)
{
    if (m_filtered == filtered)
        return;
    if (Active()) {
        CheckBrowseMode();
        if (filtered)
            for (const FilterTerm &t : m_filterTerms)
                FieldByName(t.field);
    }
    m_filtered = filtered;
    if (!Active())
        return;
    emit modelAboutToBeReset();
    rebuildVisible();
    m_cur = m_visible.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.isEmpty();
    emit modelReset();
    afterMove();
}

bool TDataSet::rowMatchesFilter(int rowIndex) const
{
    for (const FilterTerm &t : m_filterTerms) {
        const TField *f = FieldByName(t.field);
        const QVariant v = f->valueAt(rowIndex);
        if (!v.isValid()) {
            // A missing value differs from every literal and is ordered against none.
            if (t.op == FilterTerm::Ne)
                continue;
            return false;
        }
        bool comparable = true;
        const int c = compareValues(f, v, t.literal, comparable);
        bool pass = false;
        if (!comparable) {
            pass = t.op == FilterTerm::Ne;
        } else {
            switch (t.op) {
            case FilterTerm::Eq: pass = c == 0; break;
            case FilterTerm::Ne: pass = c != 0; break;
            case FilterTerm::Lt: pass = c < 0; break;
            case FilterTerm::Gt: pass = c > 0; break;
            case FilterTerm::Le: pass = c <= 0; break;
            case FilterTerm::Ge: pass = c >= 0; break;
            }
        }
        if (!pass)
            return false;
    }
    return true;
}

void TDataSet::rebuildVisible()
{
    if (!m_filtered || m_filterTerms.empty()) {
        m_visible = m_order;
        return;
    }
    for (const FilterTerm &t : m_filterTerms)
        FieldByName(t.field);  // raises for an unknown field before anything changes
    QVector<int> v;
    v.reserve(m_order.size());
    for (int r : m_order)
        if (rowMatchesFilter(r))
            v.append(r);
    m_visible = std::move(v);
}

int TDataSet::findRow(const QString &fields, const QVariant &values, int options) const
{
    checkActive();
    const QStringList names = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QVariantList vals;
    if (names.size() > 1) {
        vals = values.toList();
        if (vals.size() != names.size())
            throw TavrellError(tr("Locate: %1 fields, %2 values").arg(names.size()).arg(vals.size()));
    } else {
        vals.append(values);
    }
    const bool ci = options & CaseInsensitive;
    const bool partial = options & PartialKey;

    struct Matcher {
        const TField *field;
        bool text;
        bool fixed;
        QString needle;
        QVariant value;  // converted, for non-text fields
        int column;      // storage column for the fast path, -1 otherwise
    };
    std::vector<Matcher> ms;
    for (int i = 0; i < names.size(); ++i) {
        const TField *f = FieldByName(names.at(i).trimmed());
        FieldType t = f->DataType();
        if (f->isLookup() && f->LookupDataSet())
            if (const TField *r = f->LookupDataSet()->FindField(f->LookupResultField()))
                t = r->DataType();
        Matcher m{f, isText(t), t == FieldType::FixedChar, QString(), QVariant(), -1};
        const QVariant &v = vals.at(i);
        if (m.text) {
            m.needle = v.isValid() ? v.toString() : QString();
            if (m.fixed && !partial)
                while (m.needle.endsWith(QLatin1Char(' ')))
                    m.needle.chop(1);
            if (!f->isLookup() && t != FieldType::FixedChar)
                m.column = f->m_column;
            if (!v.isValid())
                m.value = QVariant();
        } else {
            try {
                m.value = f->isLookup() ? v : f->convert(v);
            } catch (const TavrellError &) {
                return -1;  // a text that is not of the field's type matches nothing
            }
        }
        ms.push_back(m);
    }
    const Qt::CaseSensitivity cs = ci ? Qt::CaseInsensitive : Qt::CaseSensitive;
    // A case-insensitive prefix search first compares the folded first characters kept in
    // one compact array, so that a scan touches the rows' texts only where they may match.
    const QVector<quint64> *prefixes = nullptr;
    quint64 needleBits = 0, needleMask = 0;
    if (ci && partial && !ms.empty() && ms[0].text && !ms[0].needle.isEmpty()) {
        const QString &needle = ms[0].needle;
        const int k = std::min<int>(4, needle.size());
        bool plain = true;
        for (int i = 0; i < k; ++i) {
            if (needle.at(i).isSurrogate())
                plain = false;
            needleBits |= quint64(needle.at(i).toCaseFolded().unicode()) << (16 * i);
        }
        needleMask = k == 4 ? ~quint64(0) : (quint64(1) << (16 * k)) - 1;
        if (plain)
            prefixes = &foldedPrefixes(ms[0].field);
    }
    for (int p = 0; p < m_visible.size(); ++p) {
        const int r = m_visible[p];
        if (prefixes && ((*prefixes)[r] & needleMask) != needleBits)
            continue;
        bool all = true;
        for (const Matcher &m : ms) {
            bool hit;
            if (m.text) {
                QVariant holder;
                const QString *s = nullptr;
                if (m.column >= 0) {
                    const QVariant &raw = m_rows[r][m.column];
                    if (raw.metaType().id() == QMetaType::QString) {
                        s = static_cast<const QString *>(raw.constData());
                    } else {
                        holder = m.field->valueAt(r);
                        if (holder.isValid()) {
                            holder = holder.toString();
                            s = static_cast<const QString *>(holder.constData());
                        }
                    }
                } else {
                    holder = m.field->valueAt(r);
                    if (holder.isValid()) {
                        holder = holder.toString();
                        s = static_cast<const QString *>(holder.constData());
                    }
                }
                if (!s) {
                    hit = false;  // a missing value matches no text, not even an empty one
                } else if (partial) {
                    hit = QStringView(*s).startsWith(m.needle, cs);
                } else {
                    QStringView sv(*s);
                    if (m.fixed)
                        while (!sv.isEmpty() && sv.back() == QLatin1Char(' '))
                            sv.chop(1);
                    hit = sv.compare(m.needle, cs) == 0;
                }
            } else {
                const QVariant v = m.field->valueAt(r);
                if (!m.value.isValid())
                    hit = !v.isValid();
                else if (!v.isValid())
                    hit = false;
                else {
                    bool comparable = true;
                    hit = compareValues(m.field, v, m.value, comparable) == 0 && comparable;
                }
            }
            if (!hit) {
                all = false;
                break;
            }
        }
        if (all)
            return p;
    }
    return -1;
}

bool TDataSet::Locate(const QString &fields, const QVariant &values, int options)
{
    checkActive();
    CheckBrowseMode();
    const int p = findRow(fields, values, options);
    if (p < 0)
        return false;
    moveTo(p);
    m_bof = m_eof = false;
    return true;
}

const QVector<quint64> &TDataSet::foldedPrefixes(const TField *field) const
{
    auto &entry = m_prefixIndex[field];
    if (entry.first != m_generation || entry.second.size() != int(m_rows.size())) {
        QVector<quint64> bits(int(m_rows.size()), 0);
        for (int r = 0; r < int(m_rows.size()); ++r) {
            if (m_rows[r].isEmpty())
                continue;
            QString s;
            const QVariant *raw = field->m_kind == FieldKind::Data && field->m_type != FieldType::FixedChar
                                      ? &m_rows[r][field->m_column]
                                      : nullptr;
            if (raw && raw->metaType().id() == QMetaType::QString) {
                s = *static_cast<const QString *>(raw->constData());
            } else {
                const QVariant v = field->valueAt(r);
                if (!v.isValid())
                    continue;
                s = v.toString();
            }
            quint64 b = 0;
            for (int i = 0; i < 4 && i < s.size(); ++i)
                b |= quint64(s.at(i).toCaseFolded().unicode()) << (16 * i);
            bits[r] = b;
        }
        entry.second = std::move(bits);
        entry.first = m_generation;
    }
    return entry.second;
}

int TDataSet::findRowIndexByKey(const TField *field, const QVariant &key) const
{
    if (!key.isValid())
        return -1;
    auto &entry = m_keyIndex[field];
    if (entry.first != m_generation || entry.second.isEmpty()) {
        entry.second.clear();
        entry.second.reserve(m_order.size());
        // First row wins, as a search from the top would find.
        for (int i = int(m_order.size()) - 1; i >= 0; --i) {
            const int r = m_order[i];
            const QVariant v = field->valueAt(r);
            if (v.isValid())
                entry.second.insert(v.toString(), r);
        }
        entry.first = m_generation;
    }
    return entry.second.value(field->normalize(key).toString(), -1);
}

// ---------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(QObject *parent, TDataSet *dataSet) : QObject(parent) { setDataSet(dataSet); }

void TDataSource::setDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataSet = dataSet;
    if (dataSet) {
        m_connections.append(connect(dataSet, &TDataSet::dataChanged, this, &TDataSource::dataChange));
        m_connections.append(connect(dataSet, &TDataSet::stateChanged, this, &TDataSource::stateChange));
    }
    emit dataSetChanged();
}
