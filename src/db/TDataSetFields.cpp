// Fields: their declaration, the conversion of values to and from the database, and the
// fields a dataset makes from the columns it reads.
#include "db/TDataSetParts.h"

#include "core/DayTime.h"
#include "storage/Backend.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <algorithm>

using DataSetParts::isText;
using DataSetParts::tr;

namespace {

// Characters as the database counts them: a surrogate pair is one.
int characters(QStringView s)
{
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (!(i > 0 && s.at(i).isLowSurrogate() && s.at(i - 1).isHighSurrogate()))
            ++n;
    return n;
}

}  // namespace

QStringView TField::unpadded(QStringView s)
{
    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
        s.chop(1);
    return s;
}

int TField::DisplayWidth() const
{
    // A width declared for "21.09.2003" does not hold "21 Sep 2003".
    if (m_type == FieldType::DateTime)
        return m_displayWidth > 0 ? qMax(m_displayWidth, int(DateText::sample(false).size()))
                                  : int(DateText::sample(true).size());
    if (m_displayWidth > 0)
        return m_displayWidth;
    if (m_size > 0 && m_type != FieldType::Memo)
        return m_size;
    switch (m_type) {
    case FieldType::Integer: return 10;
    case FieldType::Float: return 10;
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
        // A whole number as a database reads it, cut to an int as QVariant::toInt cuts it,
        // without the general conversion.
        if (raw.metaType().id() == QMetaType::LongLong)
            return QVariant(int(*static_cast<const qlonglong *>(raw.constData())));
        return raw.metaType().id() == QMetaType::Int ? raw : QVariant(raw.toInt());
    case FieldType::Float: return raw.metaType().id() == QMetaType::Double ? raw : QVariant(raw.toDouble());
    case FieldType::String:
    case FieldType::Memo: return raw.metaType().id() == QMetaType::QString ? raw : QVariant(raw.toString());
    case FieldType::FixedChar: {
        // char(n) reads back blank-padded on every backend.
        QString s = raw.toString();
        const int n = characters(s);
        if (n < m_size)
            s += QString(m_size - n, QLatin1Char(' '));
        return s;
    }
    case FieldType::DateTime: {
        if (raw.metaType().id() == QMetaType::QDateTime) {
            const QDateTime dt = DayTime::of(raw.toDateTime());
            return dt.isValid() ? QVariant(dt) : QVariant();
        }
        // The backend knows how its dates are kept.
        const Backend *b = m_dataSet ? m_dataSet->backend() : nullptr;
        const QDateTime dt = b ? b->dateTimeFromDb(raw) : raw.toDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Boolean: return raw.metaType().id() == QMetaType::Bool ? raw : QVariant(raw.toBool());
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

QVariant TField::storedValue() const
{
    if (m_kind == FieldKind::Lookup)
        return QVariant();
    const int row = m_dataSet->activeRowIndex();
    if (row < 0 || row >= int(m_dataSet->m_rows.size()) || m_column < 0)
        return QVariant();
    const QVector<QVariant> &values = m_dataSet->m_rows[row];
    return m_column < values.size() ? values[m_column] : QVariant();
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
    default:
        // The two a list holds most, without the general conversion.
        if (v.metaType().id() == QMetaType::QString)
            return *static_cast<const QString *>(v.constData());
        if (v.metaType().id() == QMetaType::Int)
            return QString::number(*static_cast<const int *>(v.constData()));
        return v.toString();
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
        // The server's client library would cut the statement at it; refused here, by name.
        if (s.contains(QChar(0)))
            throw TavrellError(tr("Текст поля «%1» содержит символ с кодом 0, база данных его не принимает: "
                                  "уберите его из текста")
                                   .arg(DisplayLabel()));
        // A fixed-width value may carry its own padding back in: it does not count.
        const qsizetype kept = m_type == FieldType::FixedChar ? unpadded(s).size() : s.size();
        if (m_type != FieldType::Memo && m_size > 0 && characters(QStringView(s).left(kept)) > m_size)
            throw TavrellError(tr("Текст «%1» длиннее, чем вмещает поле «%2»: не больше %3 символов")
                                   .arg(s, DisplayLabel())
                                   .arg(m_size));
        if (m_type == FieldType::FixedChar)
            s.truncate(kept);
        return s;
    }
    case FieldType::DateTime: {
        QDateTime dt;
        // Kept as the clock reads, in no zone (DayTime): a local "now" or a bare date alike.
        if (v.metaType().id() == QMetaType::QDateTime)
            dt = DayTime::of(v.toDateTime());
        else if (v.metaType().id() == QMetaType::QDate)
            dt = DayTime::of(v.toDate());
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
        if (d.contains(QLatin1String("float")) || d.contains(QLatin1String("real")) ||
            d.contains(QLatin1String("double")) || d.contains(QLatin1String("numeric")) ||
            d.contains(QLatin1String("decimal")))
            return FieldType::Float;
        if (d.startsWith(QLatin1String("char")) || d.startsWith(QLatin1String("nchar")) ||
            d.startsWith(QLatin1String("bpchar")) || d.startsWith(QLatin1String("character(")))
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
    case QMetaType::UShort: return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float: return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate: return FieldType::DateTime;
    case QMetaType::Bool: return FieldType::Boolean;
    default: return FieldType::String;
    }
}

}  // namespace

void TDataSet::bindFields(const QSqlRecord &rec)
{
    const bool hasDataFields = std::any_of(m_fieldList.begin(), m_fieldList.end(),
                                           [](const TField *f) { return f->m_kind == FieldKind::Data; });
    if (!hasDataFields) {
        // No declared data fields: one field per column, before the declared lookups.
        const Backend *b = backend();
        const QHash<QString, QString> declared = b ? b->declaredTypes(postTable(), rec) : QHash<QString, QString>();
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
    // Date-times are converted once, on first reading: a driver's local date-time to the
    // program's reading (DayTime), and a text when it is the one this program writes (a post
    // compares the stored text with what was read, see asRead).
    if (f->m_type == FieldType::DateTime && v.isValid() &&
        (raw.metaType().id() == QMetaType::QDateTime ? raw.toDateTime().timeSpec() != Qt::UTC : toDb(column, v) == raw))
        const_cast<QVariant &>(raw) = v;
    return v;
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
        const Backend *b = backend();
        return b ? b->toDb(v.toDateTime()) : QVariant(v.toDateTime());
    }
    if (t == FieldType::FixedChar) {
        // Stored without the padding; it is put back on reading.
        return TField::unpadded(v.toString()).toString();
    }
    return v;
}
