#pragma once
// The search window's word search over a dataset held in memory, and the folded text that
// makes it fast.
//
// A record matches when every word is a substring of the upper-cased text of one of its
// fields (any field but `id`; words may sit in different fields). Upper-casing every field
// of every record at each keystroke is far too slow for a large list, so the index keeps
// each row's fields upper-cased once, as UTF-8 in one buffer, and follows the dataset's
// changes row by row (an edit, an insertion, a deletion) or wholly (opening, sorting,
// filtering, a lookup's directory changed). The text is folded a slice at a time while the
// program waits for the user. A search at once (search()) folds what is left first, scans
// that buffer for one word and checks the other words only in the rows it found; a search
// that only narrows the last one checks only the last results.
//
// The search window searches in slices instead (startSearch()): it walks the list in its
// order, folding the rows it comes to, so that no keystroke waits for the whole list; its
// results come in the list's order, the earlier ones never change place, and the list's
// changes meanwhile reach the rows already searched.
#include "db/TDataSet.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <bitset>
#include <vector>

// One item of the search result: the record's key and the fields its words were found in.
struct FindResult {
    static constexpr int MaxFields = 128;
    int id = 0;
    int position = -1;              // among the dataset's rows when it was found
    std::bitset<MaxFields> fields;  // by index among the searched fields
};

class FindIndex : public QObject {
    Q_OBJECT
public:
    // Lives as long as the dataset (its child). Raises TavrellError, at the first search,
    // when the dataset has no `id` field or too many fields to name.
    explicit FindIndex(TDataSet *dataSet);
    // The dataset's index, made on first use.
    static FindIndex *of(TDataSet *dataSet);

    TDataSet *dataSet() const { return m_list; }
    // The searched fields, in the dataset's field order (all but `id`).
    const QVector<TField *> &fields() const { return m_fields; }

    // Upper-case in the user's locale (Cyrillic included), as both sides of a search are.
    static QString fold(const QString &text);
    // The words of a search text: upper-cased, cut at each blank, empty pieces dropped.
    static QStringList words(const QString &text);
    // The names of the searched fields, in order.
    QStringList fieldNames() const;
    // The result text: "105 : Name,Proizvod".
    QString resultText(const FindResult &r) const { return resultText(r, fieldNames()); }
    static QString resultText(const FindResult &r, const QStringList &fieldNames);

    // The records of the dataset, in its order, that hold every word (already folded).
    QVector<FindResult> search(const QStringList &words);

    // The same search done the plain way: every field of every record upper-cased and
    // searched again. The yardstick of the index.
    static QVector<FindResult> searchByWalking(TDataSet &dataSet, const QStringList &words);

    // A search run a slice at a time from the event loop (the search window's): the first
    // slice at once, the others as the program waits; searchProgressed() after each. Another
    // call drops the running one. Raises TavrellError as search() does.
    void startSearch(const QStringList &words);
    // Stops the running search, if any.
    void stopSearch();
    // Runs one slice of the running search; returns true when it is complete.
    bool searchSlice();
    bool searching() const { return m_run.active; }
    // The running (or last run) search's results so far, in the list's order.
    const QVector<FindResult> &runResults() const { return m_run.results; }
    // Grows when those results changed other than by adding to their end (a row edited,
    // added or deleted among the rows already searched, the list read again).
    quint64 runEpoch() const { return m_run.epoch; }
    // At most this many rows in one slice (tests, to see the slices at a small scale); 0:
    // as many as fit in a few milliseconds.
    static void setSliceRows(int rows);

    // How the last search ran (for the tests and the benchmark).
    enum class Scan { None, All, Narrowed, Whole };
    Scan lastScan() const { return m_lastScan; }
    // The next search scans afresh, as the first keystroke of a new text does (benchmark).
    void forgetLastSearch() { m_lastVersion = ~quint64(0); }
    // Builds the text now when it is not current (opening the window early, benchmarks).
    void prepare();
    bool isBuilt() const { return m_built; }
    // The folded text of all rows, one after the other (benchmark: the plain scan).
    const QByteArray &buffer() const { return m_texts; }
    // The folded text of the field of a storage row, as the index holds it now.
    QString foldedField(int rowIndex, int field) const;

signals:
    void searchProgressed();

private:
    // Whether a slice that has done `done` rows since `slice` started is over.
    static bool sliceOver(int done, const QElapsedTimer &slice);
    void invalidate();
    void rowChangedAt(int position);
    void rowInsertedAt(int position);
    void rowAboutToGo(int position);
    void ensureBuilt();
    void runSlices();
    void restartRun();
    // The running search's results after the row at `position` changed, came or is going.
    // A row at a position the running search has not reached: marked for it; true when so.
    bool runNotReached(int position, int row);
    // Whether the row matches the running search, with its result at that position.
    bool runMatch(int row, int position, FindResult &r) const;
    void runRowChanged(int position, int row);
    void runRowInserted(int position, int row);
    void runRowGoing(int position, int row);
    // Where the result of a position stands, or would stand, among the results.
    int runResultAt(int position) const;
    // Starts the text afresh, empty.
    void startBuild();
    // Folds rows from where the build stands: all of them, or for a slice of time.
    void buildMore(bool all);
    bool inBuffer(int rowIndex) const
    {
        return rowIndex >= 0 && size_t(rowIndex) < m_start.size() && m_start[size_t(rowIndex)] >= 0;
    }
    int recordEnd(int rowIndex) const;
    const int *ends(int rowIndex) const { return m_fieldEnd.data() + m_endsAt[size_t(rowIndex)]; }
    void ensureRanks();
    void appendRow(int rowIndex);
    void compact();
    // The word to scan the whole text for (its index in `words`).
    int leadWord(const QVector<QByteArray> &words) const;
    // Checks every word in a row; fills the fields of `r` and returns true when all are found.
    bool matchRow(int rowIndex, const QVector<QByteArray> &words, FindResult &r) const;

    QPointer<TDataSet> m_list;     // the main list indexed
    TField *m_keyField = nullptr;  // the list's key, id
    QVector<TField *> m_fields;

    // Each live row: its fields' folded texts, each ended by a zero byte, from m_start[row].
    QByteArray m_texts;
    std::vector<int> m_start;  // by storage row; -1 when the row is not in the buffer
    // The offsets of the fields' ends, each row's after each other as they were written, and
    // where a storage row's begin. (Kept by row and field, a sorted list's rows, coming in
    // no order, would clear megabytes at once.)
    std::vector<int> m_fieldEnd;
    std::vector<int> m_endsAt;
    // Rows in the order their text was written, for going from an offset to its row.
    std::vector<int> m_segStart, m_segRow;
    qsizetype m_dead = 0;    // bytes of rows written again or gone
    bool m_started = false;  // the text holds the rows before m_next
    int m_next = 0;          // the position the build goes on from
    bool m_built = false;    // ... and every row
    QTimer m_idle;           // folds the next slice while the program waits

    std::vector<int> m_rank;  // by storage row: position in the dataset's order
    bool m_ranksCurrent = false;

    // The last search, for narrowing it: the same rows in the same order only.
    quint64 m_version = 0;
    quint64 m_lastVersion = ~quint64(0);
    QStringList m_lastWords;
    std::vector<int> m_lastRows;
    Scan m_lastScan = Scan::None;

    // The search run in slices.
    struct Run {
        bool active = false;
        QStringList words;
        QVector<QByteArray> utf8;
        int pos = 0;                  // positions before it are searched
        std::vector<char> candidate;  // narrowing: by storage row, whether it may match
        QVector<FindResult> results;
        std::vector<int> rows;  // the storage rows of the results
        quint64 epoch = 0;
    } m_run;
    QTimer m_runTimer;
};
