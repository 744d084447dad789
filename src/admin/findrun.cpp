// The search window's search a slice at a time: the results grow as the rows are walked in
// the list's order, and follow the list's changes while the search runs.
#include "admin/findindex.h"

#include "core/Guard.h"

#include <algorithm>

void FindIndex::startSearch(const QStringList &words)
{
    stopSearch();
    m_run.results.clear();
    m_run.rows.clear();
    m_run.candidate.clear();
    m_run.pos = 0;
    ++m_run.epoch;
    m_run.words = words;
    m_run.utf8.clear();
    for (const QString &w : words)
        m_run.utf8 << w.toUtf8();
    m_lastScan = Scan::None;
    if (!m_list || !m_list->Active()) {
        m_lastRows.clear();
        m_lastVersion = ~quint64(0);
        return;
    }
    if (!m_started)
        startBuild();
    // As search() narrows: only the last results may match, as long as no row changed since.
    bool narrows = m_built && m_lastVersion == m_version && !m_lastWords.isEmpty();
    for (int i = 0; narrows && i < m_lastWords.size(); ++i)
        narrows = std::any_of(words.begin(), words.end(), [&](const QString &w) { return w.contains(m_lastWords[i]); });
    if (narrows) {
        m_run.candidate.assign(m_start.size(), 0);
        for (int row : m_lastRows)
            m_run.candidate[size_t(row)] = 1;
        m_lastScan = Scan::Narrowed;
    } else {
        m_lastScan = words.isEmpty() ? Scan::All : Scan::Whole;
    }
    m_run.active = true;
    if (!searchSlice())
        m_runTimer.start();
}

void FindIndex::stopSearch()
{
    m_run.active = false;
    m_runTimer.stop();
}

bool FindIndex::searchSlice()
{
    if (!m_run.active)
        return true;
    if (!m_list || !m_list->Active()) {
        // Closed since: nothing to find in it.
        stopSearch();
        return true;
    }
    if (!m_started)
        startBuild();  // read again since the search started
    const int count = m_list->RecordCount();
    const bool narrowing = !m_run.candidate.empty();
    QElapsedTimer slice;
    slice.start();
    int done = 0;
    while (m_run.pos < count) {
        const int pos = m_run.pos++;
        const int row = m_list->rowIndexAt(pos);
        if (!narrowing || size_t(row) >= m_run.candidate.size() || m_run.candidate[size_t(row)]) {
            // The search walks the list in its order: the build's position is never behind it.
            while (!m_built && m_next <= pos)
                appendRow(m_list->rowIndexAt(m_next++));
            FindResult r;
            if (inBuffer(row) && matchRow(row, m_run.utf8, r)) {
                r.id = m_keyField->valueAt(row).toInt();
                r.position = pos;
                m_run.results << r;
                m_run.rows.push_back(row);
            }
        }
        if (m_run.pos < count && sliceOver(++done, slice))
            return false;
    }
    if (!m_built && m_next >= count) {
        m_built = true;
        ++m_version;
    }
    // Complete: the next keystroke may narrow it.
    stopSearch();
    m_lastWords = m_run.words;
    m_lastRows = m_run.rows;
    m_lastVersion = m_version;
    return true;
}

void FindIndex::runSlices()
{
    bool done = true;
    if (!Guard::run([&] { done = searchSlice(); }))
        stopSearch();
    else if (!done)
        m_runTimer.start();
    emit searchProgressed();
}

void FindIndex::restartRun()
{
    if (!m_run.active)
        return;
    // Every row may have moved: searched again from the start, the whole list.
    m_run.pos = 0;
    m_run.candidate.clear();
    m_run.results.clear();
    m_run.rows.clear();
    ++m_run.epoch;
    m_lastScan = m_run.utf8.isEmpty() ? Scan::All : Scan::Whole;
    m_runTimer.start();
}

int FindIndex::runResultAt(int position) const
{
    const auto &r = m_run.results;
    return int(
        std::lower_bound(r.begin(), r.end(), position, [](const FindResult &a, int p) { return a.position < p; }) -
        r.begin());
}

bool FindIndex::runNotReached(int position, int row)
{
    if (position < m_run.pos)
        return false;
    // When narrowing, it may match now.
    if (size_t(row) < m_run.candidate.size())
        m_run.candidate[size_t(row)] = 1;
    return true;
}

bool FindIndex::runMatch(int row, int position, FindResult &r) const
{
    if (!matchRow(row, m_run.utf8, r))
        return false;
    r.id = m_keyField->valueAt(row).toInt();
    r.position = position;
    return true;
}

void FindIndex::runRowChanged(int position, int row)
{
    if (!m_run.active || runNotReached(position, row))
        return;
    const int at = runResultAt(position);
    const bool had = at < m_run.results.size() && m_run.results[at].position == position;
    FindResult r;
    const bool matches = runMatch(row, position, r);
    if (had && matches) {
        const FindResult &old = m_run.results[at];
        if (old.id == r.id && old.fields == r.fields)
            return;
        m_run.results[at] = r;
    } else if (had) {
        m_run.results.remove(at);
        m_run.rows.erase(m_run.rows.begin() + at);
    } else if (matches) {
        m_run.results.insert(at, r);
        m_run.rows.insert(m_run.rows.begin() + at, row);
    } else {
        return;
    }
    ++m_run.epoch;
}

void FindIndex::runRowInserted(int position, int row)
{
    if (!m_run.active || runNotReached(position, row))
        return;
    // Among the rows searched: those after it move down by one.
    const int at = runResultAt(position);
    for (int i = at; i < m_run.results.size(); ++i)
        ++m_run.results[i].position;
    ++m_run.pos;
    FindResult r;
    if (inBuffer(row) && runMatch(row, position, r)) {
        m_run.results.insert(at, r);
        m_run.rows.insert(m_run.rows.begin() + at, row);
    }
    ++m_run.epoch;
}

void FindIndex::runRowGoing(int position, int row)
{
    if (!m_run.active || position >= m_run.pos)
        return;
    const int at = runResultAt(position);
    if (at < m_run.results.size() && m_run.rows[size_t(at)] == row) {
        m_run.results.remove(at);
        m_run.rows.erase(m_run.rows.begin() + at);
    }
    for (int i = at; i < m_run.results.size(); ++i)
        --m_run.results[i].position;
    --m_run.pos;
    ++m_run.epoch;
}
