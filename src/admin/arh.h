#pragma once
// TFrmArchive "Архивация": copies whole tables into a folder named by the date (2005_3_5)
// beside the program, one CSV file per table, and keeps the register of archives (exp_data).
#include "export/sg2csv.h"
#include "lists/klfrm.h"

#include <QDate>
#include <QList>
#include <functional>
#include <memory>

class QComboBox;
class FileGroup;

// The tables an archive writes, in the order written, with the directory mark.
struct ArchivedTable {
    const char *name;
    bool directory;
    const char *key;        // the primary key, for reading the table in parts
    bool fullOnly = false;  // only in the full archive (the history of changes)
};
const QList<ArchivedTable> &archivedTables();

// The kinds in ComboBox1's order; tp in the register is the position plus one.
enum class ArchiveKind { Full = 0, Directories = 1, Data = 2 };
bool archiveTakes(ArchiveKind kind, const ArchivedTable &table);

// "2005_3_5": year, month and day without leading zeros.
QString archiveFolderName(const QDate &date);

// Puts right every archive folder in the data folder that an interrupted archive left:
// an unfinished move undone, parts and set-aside files removed (FileGroup::recover).
void recoverArchiveFolders(const QString &dataFolder);

class TFrmArchive : public TFrmKl {

public:
    explicit TFrmArchive(QWidget *parent = nullptr);

    TDataSet *TblExp;     // exp_data, the register of archives
    TDataSet *ADOTable2;  // kl_exp_tp, the kinds behind the lookup "Тип"
    // One table at a time; made anew for each, since its fields are the table's columns.
    std::unique_ptr<TDataSet> qtmp;

    QToolButton *SpeedButton1;  // "Удалить запись"
    QToolButton *MakeArhive;    // "Провести новую архивацию"
    QToolButton *BtnStop;       // "Прервать архивацию", shown while archiving
    QComboBox *ComboBox1;

    // A new archive of the chosen kind. False when it was refused, failed (the error is
    // raised) or cancelled; only a complete archive gets a register row. Its files take
    // their places together once all are written, so the folder keeps the earlier archive
    // whole until then. What an interrupted archive left in the archive folders is put
    // right first.
    bool MakeArhiveClick();
    // Deletes the current register row after asking; the files stay.
    void SpeedButton1Click();
    // Asks a running archive to stop after the rows being written.
    void cancelArchive() { m_cancel = true; }
    bool archiving() const { return m_archiving; }

    // Writes one table as the part of table.csv in the group: read in parts of ChunkRows
    // rows. False when cancelled (the part removed). The characters Windows-1251 lacks are
    // counted in `lost`.
    bool ExportTo(FileGroup &files, const ArchivedTable &table, LostCharacters &lost);

    int ChunkRows = 50000;
    // Told after every part written: the table and its rows written so far.
    std::function<void(const QString &table, qint64 rows)> OnProgress;

    void done(int result) override;

private:
    void setArchiving(bool on);
    bool m_archiving = false;
    bool m_cancel = false;
    int m_closeWith = -1;  // the window was closed while archiving: close it after
};
