#include "export/GridColumns.h"

#include "db/TDBGrid.h"
#include "db/TDataSet.h"

#include <QCoreApplication>
#include <QVector>
#include <cmath>
#include <cstring>

QList<GridColumn> gridColumns(const TDBGrid &grid, bool numbered)
{
    QList<GridColumn> out;
    out.reserve(grid.columnCount() + 1);
    if (numbered)
        out.append({QCoreApplication::translate("sg2csv", "№ п.п."), QString(), 0, true});
    const TDataSetModel *model = grid.dataModel();
    for (int i = 0; i < grid.columnCount(); ++i) {
        GridColumn c;
        c.caption = model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
        c.fieldName = grid.column(i).FieldName;
        c.widthPixels = grid.columnWidthPixels(i);
        out.append(c);
    }
    return out;
}

PlainText::PlainText() { m_locale.setNumberOptions(m_locale.numberOptions() | QLocale::OmitGroupSeparator); }

QString PlainText::number(double value) const
{
    // Amounts repeat in a list (one, two, a half): each is formatted once, by its bits, so
    // that 0 and -0 stay apart.
    qint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (const auto known = m_numbers.constFind(bits); known != m_numbers.cend())
        return *known;
    // A whole number as the integer it is: the same text as the general form, which costs
    // microseconds. From 1e15 on the general form is an exponent; -0 keeps its sign there.
    const QString text = value == std::trunc(value) && std::fabs(value) < 1e15 && !(value == 0 && std::signbit(value))
                             ? m_locale.toString(qlonglong(value))
                             : m_locale.toString(value, 'g', 15);
    if (m_numbers.size() < MaxNumbers)
        m_numbers.insert(bits, text);
    return text;
}

bool PlainText::wholeNumber(const TField &field, int &value) const
{
    if (field.DataType() != FieldType::Integer || field.isLookup())
        return false;
    const QVariant stored = field.storedValue();
    // As the field reads it: cut to an int.
    switch (stored.metaType().id()) {
    case QMetaType::Int: value = *static_cast<const int *>(stored.constData()); break;
    case QMetaType::LongLong: value = int(*static_cast<const qlonglong *>(stored.constData())); break;
    default: return false;
    }
    return !stored.isNull();
}

namespace {

const char *const ShownTexts = "tavrellExportsShownTexts";

}  // namespace

void exportShownTexts(TDataSet *dataSet) { dataSet->setProperty(ShownTexts, true); }

QString PlainText::operator()(const TField &field) const
{
    // Asked once per dataset: a large export reads millions of cells.
    if (field.DataSet() != m_askedSet) {
        m_askedSet = field.DataSet();
        m_shownTexts = m_askedSet && m_askedSet->property(ShownTexts).toBool();
    }
    if (m_shownTexts)
        return field.DisplayText();
    switch (field.DataType()) {
    case FieldType::Float: {
        const QVariant v = field.value();
        return v.isValid() ? number(v.toDouble()) : QString();
    }
    case FieldType::DateTime: {
        if (field.isLookup())
            return field.AsString();
        const QVariant stored = field.storedValue();
        if (stored.isNull())
            return QString();
        const bool text = stored.metaType().id() == QMetaType::QString;
        if (text) {
            const auto known = m_storedDates.constFind(stored.toString());
            if (known != m_storedDates.cend())
                return *known;
        }
        const QVariant v = field.value();
        if (!v.isValid())
            return QString();
        const QDateTime dt = v.toDateTime();
        const qint64 key = dt.toMSecsSinceEpoch();
        auto it = m_dates.constFind(key);
        if (it == m_dates.cend())
            it = m_dates.insert(key, field.textOf(v));
        if (text)
            m_storedDates.insert(stored.toString(), *it);
        return *it;
    }
    default: return field.AsString();
    }
}

QStringList gridCaptions(const QList<GridColumn> &columns)
{
    QStringList out;
    out.reserve(columns.size());
    for (const GridColumn &c : columns)
        out.append(c.caption);
    return out;
}

void walkGridRecords(TDataSet &dataSet, const QList<GridColumn> &columns,
                     const std::function<void(const QStringList &values)> &row)
{
    dataSet.First();  // posts a row being edited, as every move does
    if (dataSet.Eof())
        return;
    QVector<TField *> fields(columns.size(), nullptr);
    for (int i = 0; i < columns.size(); ++i)
        if (!columns.at(i).numbering)
            fields[i] = dataSet.FieldByName(columns.at(i).fieldName);

    // The records are read where they lie instead of moving the cursor through them: each
    // move would redraw the grid and run the window's data-change handlers, which costs far
    // more than the report. The cursor then ends where the walk would have left it.
    QStringList values;
    values.reserve(columns.size());
    const PlainText plain;
    const int count = dataSet.RecordCount();
    for (int position = dataSet.RecNo() - 1, number = 1; position < count; ++position, ++number) {
        TDataSet::ActiveRow active(&dataSet, dataSet.rowIndexAt(position));
        values.clear();
        for (const TField *f : fields)
            values.append(f ? plain(*f) : QString::number(number));
        row(values);
    }
    dataSet.Last();
    dataSet.Next();
}
