#include "admin/findindex.h"

#include "export/StrTools.h"

#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <functional>

namespace {

// The first occurrence of `needle` in the bytes [hay, hay + n), or null.
const char *findBytes(const char *hay, qsizetype n, const QByteArray &needle)
{
    if (needle.size() > n)
        return nullptr;
#if defined(__GLIBC__) || defined(__APPLE__) || defined(__FreeBSD__)
    return static_cast<const char *>(memmem(hay, size_t(n), needle.constData(), size_t(needle.size())));
#else
    const char *end = hay + n;
    const char *hit = std::search(hay, end, needle.constBegin(), needle.constEnd());
    return hit == end && !needle.isEmpty() ? nullptr : hit;
#endif
}

bool isIdField(const TField *f) { return f->FieldName().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0; }

// A slice short enough not to be felt between two keystrokes.
constexpr qint64 SliceMs = 8;
int s_sliceRows = 0;

}  // namespace

bool FindIndex::sliceOver(int done, const QElapsedTimer &slice)
{
    if (s_sliceRows > 0)
        return done >= s_sliceRows;
    return (done & 15) == 0 && slice.elapsed() >= SliceMs;
}

FindIndex::FindIndex(TDataSet *dataSet) : QObject(dataSet), m_list(dataSet)
{
    setObjectName(QStringLiteral("FindIndex"));
    // Every change of the rows reaches the text before the next search: one row at once,
    // everything afresh when every row may have changed.
    connect(dataSet, &TDataSet::modelReset, this, &FindIndex::invalidate);
    connect(dataSet, &TDataSet::allRowsChanged, this, &FindIndex::invalidate);
    connect(dataSet, &TDataSet::rowInserted, this, &FindIndex::rowInsertedAt);
    connect(dataSet, &TDataSet::rowChanged, this, &FindIndex::rowChangedAt);
    connect(dataSet, &TDataSet::rowAboutToBeRemoved, this, &FindIndex::rowAboutToGo);
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, [this] { buildMore(false); });
    m_idle.start();
    m_runTimer.setSingleShot(true);
    m_runTimer.setInterval(0);
    connect(&m_runTimer, &QTimer::timeout, this, &FindIndex::runSlices);
}

void FindIndex::setSliceRows(int rows) { s_sliceRows = qMax(0, rows); }

FindIndex *FindIndex::of(TDataSet *dataSet)
{
    if (auto *index = dataSet->findChild<FindIndex *>(QStringLiteral("FindIndex"), Qt::FindDirectChildrenOnly))
        return index;
    return new FindIndex(dataSet);
}

namespace {

// Whether upper-casing depends on the language beyond the common rules (dotted and dotless i).
bool upperByLanguage()
{
    const QLocale::Language l = QLocale().language();
    return l == QLocale::Turkish || l == QLocale::Azerbaijani || l == QLocale::Lithuanian;
}

// Appends the folded text of a field as UTF-8. Texts of plain ASCII (numbers, dates, most
// models and series) are folded here byte by byte, the rest by the Unicode rules.
void appendFolded(QByteArray &buf, const QString &text, bool byLanguage)
{
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i)
        ascii = p[i].unicode() < 0x80 && !(byLanguage && p[i] == QLatin1Char('i'));
    if (!ascii) {
        buf += (byLanguage ? QLocale().toUpper(text) : text.toUpper()).toUtf8();
        return;
    }
    const qsizetype at = buf.size();
    buf.resize(at + n);
    char *out = buf.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = char(p[i].unicode());
        out[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
}

}  // namespace

QString FindIndex::fold(const QString &text)
{
    // The user's language; for all but a few the common Unicode rules are the same and faster.
    return upperByLanguage() ? QLocale().toUpper(text) : text.toUpper();
}

QStringList FindIndex::words(const QString &text)
{
    QString rest = fold(text);
    QStringList out;
    while (!rest.isEmpty()) {
        const QString word = StrCutToken(rest, QLatin1Char(' '));
        if (!word.isEmpty())
            out << word;
    }
    return out;
}

QStringList FindIndex::fieldNames() const
{
    QStringList names;
    for (const TField *f : m_fields)
        names << f->FieldName();
    return names;
}

QString FindIndex::resultText(const FindResult &r, const QStringList &fieldNames)
{
    QStringList names;
    for (int f = 0; f < fieldNames.size() && f < FindResult::MaxFields; ++f)
        if (r.fields.test(size_t(f)))
            names << fieldNames[f];
    return QString::number(r.id) + QStringLiteral(" : ") + names.join(QLatin1Char(','));
}

// ---------------------------------------------------------------------------------------
// Following the dataset

void FindIndex::invalidate()
{
    m_started = false;
    m_built = false;
    m_ranksCurrent = false;
    ++m_version;
    m_idle.start();
    restartRun();
}

int FindIndex::recordEnd(int rowIndex) const
{
    const size_t n = size_t(m_fields.size());
    return n ? ends(rowIndex)[n - 1] + 1 : m_start[size_t(rowIndex)];
}

void FindIndex::rowChangedAt(int position)
{
    ++m_version;
    if (!m_started || !m_list)
        return;
    const int row = m_list->rowIndexAt(position);
    if (!inBuffer(row))
        return;  // not folded yet: the build (and a running search) comes to it
    m_dead += recordEnd(row) - m_start[size_t(row)];
    appendRow(row);
    if (m_built && m_dead > 1024 * 1024 && m_dead > m_texts.size() / 2)
        compact();
    runRowChanged(position, row);
}

void FindIndex::rowInsertedAt(int position)
{
    ++m_version;
    m_ranksCurrent = false;
    if (!m_started || !m_list)
        return;
    const int row = m_list->rowIndexAt(position);
    if (row < 0)
        return;
    // The rows before the build's position are folded; it comes to the others.
    if (m_built || position < m_next) {
        appendRow(row);
        ++m_next;
    }
    runRowInserted(position, row);
}

void FindIndex::rowAboutToGo(int position)
{
    ++m_version;
    m_ranksCurrent = false;
    if (!m_started || !m_list)
        return;
    const int row = m_list->rowIndexAt(position);
    runRowGoing(position, row);
    if (inBuffer(row)) {
        m_dead += recordEnd(row) - m_start[size_t(row)];
        m_start[size_t(row)] = -1;
    }
    if (position < m_next)
        --m_next;
}

// ---------------------------------------------------------------------------------------
// The folded text

void FindIndex::appendRow(int rowIndex)
{
    const size_t n = size_t(m_fields.size());
    if (size_t(rowIndex) >= m_start.size()) {
        m_start.resize(size_t(rowIndex) + 1, -1);
        m_endsAt.resize(m_start.size(), 0);
    }
    // Room for the whole text, guessed from the first rows with a margin (room not written
    // costs no memory): growing it by copying, at 100,000 rows, stalls one slice.
    if ((m_segRow.size() == 256 || m_segRow.size() == 4096) && size_t(m_list->RecordCount()) > 2 * m_segRow.size()) {
        const qsizetype guess = m_texts.size() / qsizetype(m_segRow.size()) * (m_list->RecordCount() + 64) * 2;
        if (guess > m_texts.capacity())
            m_texts.reserve(guess);
    }
    const bool byLanguage = upperByLanguage();
    TDataSet::ActiveRow active(m_list, rowIndex);
    const int start = int(m_texts.size());
    m_endsAt[size_t(rowIndex)] = int(m_fieldEnd.size());
    for (size_t f = 0; f < n; ++f) {
        appendFolded(m_texts, m_fields[int(f)]->AsString(), byLanguage);
        m_fieldEnd.push_back(int(m_texts.size()));
        m_texts += '\0';
    }
    m_start[size_t(rowIndex)] = start;
    m_segStart.push_back(start);
    m_segRow.push_back(rowIndex);
}

void FindIndex::startBuild()
{
    m_fields.clear();
    m_keyField = nullptr;
    for (TField *f : m_list->Fields()) {
        if (isIdField(f))
            m_keyField = m_keyField ? m_keyField : f;
        else
            m_fields << f;
    }
    if (!m_keyField)
        throw TavrellError(tr("Поле «%1» не найдено").arg(QStringLiteral("id")));
    if (m_fields.size() > FindResult::MaxFields)
        throw TavrellError(tr("Слишком много полей для поиска: %1").arg(m_fields.size()));
    // Room for every row at once: growing these by copying, at 100,000 rows, would stall
    // one slice. The text keeps its room.
    const size_t rows = size_t(m_list->Active() ? m_list->RecordCount() : 0) + 64;
    m_texts.resize(0);
    m_start.clear();
    m_start.reserve(rows);
    m_endsAt.clear();
    m_endsAt.reserve(rows);
    m_fieldEnd.clear();
    m_fieldEnd.reserve(rows * size_t(m_fields.size()));
    m_segStart.clear();
    m_segStart.reserve(rows);
    m_segRow.clear();
    m_segRow.reserve(rows);
    m_dead = 0;
    m_next = 0;
    m_started = true;
    m_built = false;
    m_ranksCurrent = false;
}

void FindIndex::buildMore(bool all)
{
    if (m_built || !m_list)
        return;
    if (!m_started) {
        if (!all) {
            // Not while the list is closed or a row is being written: the next search builds.
            if (!m_list->Active() || m_list->isEditing() || m_list->Fields().isEmpty())
                return;
            try {
                startBuild();
            } catch (const TavrellError &) {
                return;  // said by the search that needs it
            }
        } else {
            startBuild();
        }
    }
    const int count = m_list->Active() ? m_list->RecordCount() : 0;
    QElapsedTimer slice;
    slice.start();
    int done = 0;
    while (m_next < count) {
        appendRow(m_list->rowIndexAt(m_next++));
        if (!all && m_next < count && sliceOver(++done, slice)) {
            m_idle.start();
            return;
        }
    }
    m_built = true;
    ++m_version;
}

void FindIndex::ensureBuilt()
{
    if (!m_built)
        buildMore(true);
}

void FindIndex::prepare() { ensureBuilt(); }

void FindIndex::compact()
{
    // Rows written again leave their old text behind; copied in the list's order.
    QByteArray buf;
    buf.reserve(m_texts.size() - m_dead);
    const size_t n = size_t(m_fields.size());
    std::vector<int> start(m_start.size(), -1);
    std::vector<int> fieldEnd;
    fieldEnd.reserve(m_fieldEnd.size());
    m_segStart.clear();
    m_segRow.clear();
    const int count = m_list->RecordCount();
    for (int pos = 0; pos < count; ++pos) {
        const int row = m_list->rowIndexAt(pos);
        if (row < 0 || size_t(row) >= m_start.size() || m_start[size_t(row)] < 0)
            continue;
        const int from = m_start[size_t(row)];
        const int to = recordEnd(row);
        const int shift = int(buf.size()) - from;
        buf.append(m_texts.constData() + from, to - from);
        const int *e = ends(row);
        m_endsAt[size_t(row)] = int(fieldEnd.size());
        for (size_t f = 0; f < n; ++f)
            fieldEnd.push_back(e[f] + shift);
        start[size_t(row)] = from + shift;
        m_segStart.push_back(from + shift);
        m_segRow.push_back(row);
    }
    m_texts = std::move(buf);
    m_start = std::move(start);
    m_fieldEnd = std::move(fieldEnd);
    m_dead = 0;
}

QString FindIndex::foldedField(int rowIndex, int field) const
{
    if (!inBuffer(rowIndex))
        return QString();
    const int *e = ends(rowIndex);
    const int from = field == 0 ? m_start[size_t(rowIndex)] : e[field - 1] + 1;
    return QString::fromUtf8(m_texts.constData() + from, e[field] - from);
}

void FindIndex::ensureRanks()
{
    if (m_ranksCurrent)
        return;
    m_rank.assign(m_start.size(), -1);
    const int count = m_list && m_list->Active() ? m_list->RecordCount() : 0;
    for (int pos = 0; pos < count; ++pos) {
        const int row = m_list->rowIndexAt(pos);
        if (row >= 0 && size_t(row) < m_rank.size())
            m_rank[size_t(row)] = pos;
    }
    m_ranksCurrent = true;
}

// ---------------------------------------------------------------------------------------
// Searching

bool FindIndex::matchRow(int rowIndex, const QVector<QByteArray> &words, FindResult &r) const
{
    const int start = m_start[size_t(rowIndex)];
    if (start < 0)
        return false;
    const size_t n = size_t(m_fields.size());
    if (n == 0)
        return words.isEmpty();
    const int *ends = this->ends(rowIndex);
    const int end = ends[n - 1];
    const char *b = m_texts.constData();
    for (const QByteArray &w : words) {
        bool found = false;
        int pos = start;
        size_t f = 0;
        while (pos <= end) {
            const char *hit = findBytes(b + pos, end - pos, w);
            if (!hit)
                break;
            const int off = int(hit - b);
            while (ends[f] < off)
                ++f;
            if (off + w.size() <= ends[f]) {
                // In this field: it is named once, and the search goes on in the next one.
                found = true;
                r.fields.set(f);
                pos = ends[f] + 1;
            } else {
                // Across the end of a field: no match of its own.
                pos = off + 1;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

int FindIndex::leadWord(const QVector<QByteArray> &words) const
{
    // The word met least often in samples spread over the text (a common word makes many
    // candidates); the longest of equals.
    constexpr qsizetype Samples = 16, SampleSize = 16 * 1024;
    const qsizetype step = qMax(SampleSize, m_texts.size() / Samples);
    int lead = 0;
    qsizetype leadHits = -1;
    for (int i = 0; i < words.size(); ++i) {
        const QByteArray &w = words[i];
        qsizetype hits = 0;
        for (qsizetype at = 0; at < m_texts.size() && (leadHits < 0 || hits <= leadHits); at += step) {
            const char *b = m_texts.constData() + at;
            const qsizetype n = qMin(SampleSize, m_texts.size() - at);
            for (const char *from = b; (from = findBytes(from, n - (from - b), w));
                 from += qMax<qsizetype>(1, w.size()))
                if (++hits > leadHits && leadHits >= 0)
                    break;
        }
        if (leadHits < 0 || hits < leadHits || (hits == leadHits && w.size() > words[lead].size())) {
            lead = i;
            leadHits = hits;
        }
    }
    return lead;
}

QVector<FindResult> FindIndex::search(const QStringList &words)
{
    QVector<FindResult> out;
    m_lastScan = Scan::None;
    if (!m_list || !m_list->Active()) {
        m_lastRows.clear();
        m_lastVersion = ~quint64(0);
        return out;
    }
    ensureBuilt();
    ensureRanks();
    QVector<QByteArray> utf8;
    utf8.reserve(words.size());
    for (const QString &w : words)
        utf8 << w.toUtf8();

    // A text that only adds to the last one keeps only some of the last results, as long as
    // the rows have not changed since: each last word is within one of the new words.
    bool narrows = m_lastVersion == m_version && !m_lastWords.isEmpty();
    for (int i = 0; narrows && i < m_lastWords.size(); ++i)
        narrows = std::any_of(words.begin(), words.end(), [&](const QString &w) { return w.contains(m_lastWords[i]); });

    std::vector<int> rows;
    if (narrows) {
        rows.swap(m_lastRows);
        m_lastScan = Scan::Narrowed;
    } else if (utf8.isEmpty()) {
        const int count = m_list->RecordCount();
        rows.reserve(size_t(count));
        for (int pos = 0; pos < count; ++pos)
            rows.push_back(m_list->rowIndexAt(pos));
        m_lastScan = Scan::All;
    } else {
        // The whole text is scanned for one word; each row it is found in is a candidate, the
        // other words are checked in the candidates only, before the scanned one is named.
        const int lead = leadWord(utf8);
        utf8.move(lead, utf8.size() - 1);
        const QByteArray &leadText = utf8.last();
        const char *b = m_texts.constData();
        const qsizetype size = m_texts.size();
        const size_t segs = m_segStart.size();
        size_t seg = 0;
        qsizetype from = 0;
        while (from < size) {
            const char *hit = findBytes(b + from, size - from, leadText);
            if (!hit)
                break;
            const int off = int(hit - b);
            while (seg + 1 < segs && m_segStart[seg + 1] <= off)
                ++seg;
            const int row = m_segRow[seg];
            if (m_start[size_t(row)] == m_segStart[seg] && m_rank[size_t(row)] >= 0)
                rows.push_back(row);
            from = seg + 1 < segs ? m_segStart[seg + 1] : size;
        }
        std::sort(rows.begin(), rows.end(), [this](int a, int b) { return m_rank[size_t(a)] < m_rank[size_t(b)]; });
        m_lastScan = Scan::Whole;
    }

    std::vector<int> matched;
    for (int row : rows) {
        FindResult r;
        if (!matchRow(row, utf8, r))
            continue;
        r.id = m_keyField->valueAt(row).toInt();
        r.position = m_rank[size_t(row)];
        out << r;
        matched.push_back(row);
    }
    m_lastWords = words;
    m_lastRows.swap(matched);
    m_lastVersion = m_version;
    return out;
}

QVector<FindResult> FindIndex::searchByWalking(TDataSet &dataSet, const QStringList &words)
{
    QVector<FindResult> out;
    if (!dataSet.Active())
        return out;
    const TField *id = nullptr;
    QVector<const TField *> fields;
    for (const TField *f : dataSet.Fields()) {
        if (isIdField(f))
            id = id ? id : f;
        else
            fields << f;
    }
    for (int pos = 0; pos < dataSet.RecordCount(); ++pos) {
        TDataSet::ActiveRow active(&dataSet, dataSet.rowIndexAt(pos));
        QVector<bool> found(words.size(), false);
        FindResult r;
        for (int f = 0; f < fields.size(); ++f) {
            const QString text = fold(fields[f]->AsString());
            for (int w = 0; w < words.size(); ++w)
                if (text.contains(words[w])) {
                    found[w] = true;
                    r.fields.set(size_t(f));
                }
        }
        if (found.contains(false))
            continue;
        r.id = id ? id->AsInteger() : 0;
        r.position = pos;
        out << r;
    }
    return out;
}
