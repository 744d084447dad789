// Finding rows: the filter and its parser, Locate, and the indexes that keep both fast
// (the lookups' key index, the folded prefixes of a text column).
#include "db/TDataSetParts.h"

#include "core/DayTime.h"

#include <algorithm>
#include <tuple>

using DataSetParts::isText;
using DataSetParts::tr;

namespace {

std::vector<std::tuple<QString, int, QVariant>> parseFilter(const QString &text, bool &ok)
{
    std::vector<std::tuple<QString, int, QVariant>> terms;
    ok = true;
    int i = 0;
    const int n = text.size();
    auto skip = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    auto word = [&]() -> QString {
        skip();
        if (i < n && text.at(i) == QLatin1Char('[')) {
            const int end = text.indexOf(QLatin1Char(']'), i);
            if (end < 0) {
                ok = false;
                return QString();
            }
            const QString w = text.mid(i + 1, end - i - 1);
            i = end + 1;
            return w;
        }
        const int start = i;
        while (i < n &&
               (text.at(i).isLetterOrNumber() || text.at(i) == QLatin1Char('_') || text.at(i) == QLatin1Char('.') ||
                text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
            ++i;
        return text.mid(start, i - start);
    };
    skip();
    if (i >= n)
        return terms;
    for (;;) {
        const QString field = word();
        if (field.isEmpty() || !ok) {
            ok = false;
            return {};
        }
        skip();
        int op = -1;
        const QStringView rest = QStringView(text).mid(i);
        struct {
            const char *s;
            int op;
        } ops[] = {{"<>", 1}, {"!=", 1}, {"<=", 4}, {">=", 5}, {"=", 0}, {"<", 2}, {">", 3}};
        for (auto &o : ops)
            if (rest.startsWith(QLatin1String(o.s))) {
                op = o.op;
                i += int(qstrlen(o.s));
                break;
            }
        if (op < 0) {
            ok = false;
            return {};
        }
        skip();
        QVariant literal;
        if (i < n && text.at(i) == QLatin1Char('\'')) {
            QString s;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('\'')) {
                        s += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                s += text.at(i++);
            }
            if (!closed) {
                ok = false;
                return {};
            }
            literal = s;
        } else {
            const QString w = word();
            if (w.isEmpty()) {
                ok = false;
                return {};
            }
            bool isNum = false;
            const double d = w.toDouble(&isNum);
            literal = isNum ? QVariant(d) : QVariant(w);
        }
        terms.emplace_back(field, op, literal);
        skip();
        if (i >= n)
            break;
        const QString conj = word();
        if (conj.compare(QLatin1String("and"), Qt::CaseInsensitive) != 0) {
            ok = false;
            return {};
        }
    }
    return terms;
}

// -1, 0, 1; `comparable` false when the two cannot be ordered.
int compareValues(const TField *f, const QVariant &a, const QVariant &b, bool &comparable)
{
    comparable = true;
    const FieldType t = DataSetParts::comparedType(f);
    if (isText(t)) {
        const QString as = a.toString(), bs = b.toString();
        QStringView x(as), y(bs);
        if (t == FieldType::FixedChar) {
            x = TField::unpadded(x);
            y = TField::unpadded(y);
        }
        const int c = x.compare(y, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (t == FieldType::DateTime) {
        // As the clock reads: a local value and a stored one compare by their readings.
        const QDateTime x = DayTime::of(a.toDateTime()), y = DayTime::of(b.toDateTime());
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
        const FieldType t = DataSetParts::comparedType(f);
        Matcher m{f, isText(t), t == FieldType::FixedChar, QString(), QVariant(), -1};
        const QVariant &v = vals.at(i);
        if (m.text) {
            m.needle = v.isValid() ? v.toString() : QString();
            if (m.fixed && !partial)
                m.needle.truncate(TField::unpadded(m.needle).size());
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
                    // A null read as a null text is a missing value, not an empty one.
                    if (raw.metaType().id() == QMetaType::QString && !raw.isNull()) {
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
                        sv = TField::unpadded(sv);
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
