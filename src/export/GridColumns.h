#pragma once
// What the grid reports, the mail and the export share: the columns of a grid as they
// are written (an optional numbering column first), and the walk over the grid's records.
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

class TDBGrid;
class TDataSet;
class TField;

struct GridColumn {
    QString caption;
    QString fieldName;    // empty for the numbering column
    int widthPixels = 0;  // 0 for the numbering column, which is not on screen
    bool numbering = false;
};

// The numbering column "№ п.п." when numbered, then every grid column in grid order with
// its title as shown, its field name and its width on screen.
QList<GridColumn> gridColumns(const TDBGrid &grid, bool numbered);

// Walks the dataset from its first record to its end and hands over each record's values
// for the columns: the running number (from 1) for the numbering column, the field's plain
// text (null is "") for the others. A column whose field is missing raises the dataset's
// "Field '%s' not found" at the first record. The dataset is left at its end, standing on
// its last record, as a walk with Next leaves it.
void walkGridRecords(TDataSet &dataSet, const QList<GridColumn> &columns,
                     const std::function<void(const QStringList &values)> &row);

// A field's value in the plain text form that the exports write (CSV, mail, reports, the
// archive): null is "", a number with a fraction has no digit grouping and the locale's
// decimal separator (12345,5 in a Russian locale, 12345.5 in C), up to 15 significant
// digits; everything else as TField::AsString gives it. A dataset marked with
// exportShownTexts gives the texts its fields show instead.
class PlainText {
public:
    PlainText();
    QString operator()(const TField &field) const;
    // A number with a fraction in this plain form: the locale's decimal separator, no
    // grouping, up to 15 significant digits.
    QString number(double value) const;
    // The value of an integer field of the current row as the number its text is made of,
    // for a writer that puts the digits down itself; false when the field is no integer
    // field read from the database, or the row holds no value.
    bool wholeNumber(const TField &field, int &value) const;

private:
    QLocale m_locale;
    // Dates repeat in a list: each one is formatted once, and one the embedded database
    // keeps as text is not even converted again (by its stored text).
    mutable QHash<qint64, QString> m_dates;
    static constexpr qsizetype MaxNumbers = 4096;
    mutable QHash<qint64, QString> m_numbers;
    mutable QHash<QString, QString> m_storedDates;
    mutable const TDataSet *m_askedSet = nullptr;
    mutable bool m_shownTexts = false;
};

// The exports of this dataset write what its fields show (their get-text handlers): a list
// whose stored values mean nothing to a reader (the history of changes, whose values are
// keys and dates as texts) shows and exports the same texts.
void exportShownTexts(TDataSet *dataSet);

// The captions of the columns, in order.
QStringList gridCaptions(const QList<GridColumn> &columns);
