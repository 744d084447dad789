#include "admin/arh.h"

#include "core/Errors.h"
#include "core/MsgBox.h"
#include "core/PrivateFiles.h"
#include "core/Seams.h"
#include "export/FileGroup.h"
#include "export/GridColumns.h"
#include "export/WholeFile.h"
#include "export/sg2csv.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <utility>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("TFrmArchive", text); }

}  // namespace

const QList<ArchivedTable> &archivedTables()
{
    static const QList<ArchivedTable> tables = {
        {"Operations", true, "id"},
        {"States", true, "id"},
        {"izdel", false, "id"},
        {"otdel", true, "id"},
        {"rem_op", false, "rem_id,op_id"},
        {"rem_res", false, "rem_id,res_id"},
        {"remont", false, "id"},
        {"resurs", false, "id"},
        {"users", true, "ID"},
        {"vidu", true, "id"},
        {"zajav", false, "id"},
        // The history of changes: a file of its own in the full archive alone, after the
        // tables whose changes it holds.
        {"history", false, "id", true},
    };
    return tables;
}

bool archiveTakes(ArchiveKind kind, const ArchivedTable &table)
{
    switch (kind) {
    case ArchiveKind::Full: return true;
    case ArchiveKind::Directories: return table.directory && !table.fullOnly;
    case ArchiveKind::Data: return !table.directory && !table.fullOnly;
    }
    return false;
}

QString archiveFolderName(const QDate &date)
{
    return QStringLiteral("%1_%2_%3").arg(date.year()).arg(date.month()).arg(date.day());
}

namespace {

void declareRegister(TDataSet &register_)
{
    // The kinds behind the lookup, read before the register.
    auto *kinds = new TDataSet(&register_);
    kinds->setObjectName(QStringLiteral("ADOTable2"));
    kinds->setTableName(QStringLiteral("kl_exp_tp"));
    kinds->addField(QStringLiteral("id"), FieldType::Integer);
    kinds->addField(QStringLiteral("Name"), FieldType::String, 25);
    kinds->Open();

    register_.setObjectName(QStringLiteral("TblExp"));
    register_.setTableName(QStringLiteral("exp_data"));
    register_.setOrderBy(QStringLiteral("dt"));
    register_.addField(QStringLiteral("dt"), FieldType::DateTime).setDisplayLabel(tr("Дата"));
    register_
        .addLookupField(QStringLiteral("Тип"), QStringLiteral("tp"), kinds, QStringLiteral("id"),
                        QStringLiteral("Name"), 25)
        .setReadOnly(true);
    register_.addField(QStringLiteral("tp"), FieldType::Integer).setVisible(false);
    // A database whose register could not be widened still holds 50 characters of path.
    const int pathSize = register_.columnSize(QStringLiteral("path"));
    register_.addField(QStringLiteral("path"), FieldType::String, pathSize > 0 ? pathSize : 50)
        .setDisplayLabel(tr("Путь"))
        .setFitToContent();
}

ListWindowDecl archiveWindow()
{
    ListWindowDecl d(QStringLiteral("FrmArchive"), tr("Архивация"), nullptr);
    d.OwnDataSet = &declareRegister;
    d.NavigatorButtons = DBNavigator::MoveButtons();
    d.GridEditable = false;
    d.Size = QSize(720, 350);  // the path whole
    return d;
}

}  // namespace

TFrmArchive::TFrmArchive(QWidget *parent)
    : TFrmKl(archiveWindow(), parent), TblExp(DsLoc->DataSet()),
      ADOTable2(TblExp->findChild<TDataSet *>(QStringLiteral("ADOTable2"), Qt::FindDirectChildrenOnly))
{
    SpeedButton1 =
        addToolButton(ListButton(
                          QStringLiteral("SpeedButton1"), tr("Удалить запись"),
                          [this](TFrmKl &) { SpeedButton1Click(); }, style()->standardIcon(QStyle::SP_TrashIcon))
                          .at(ToolPlace::AfterNavigator));
    MakeArhive =
        addToolButton(ListButton(
                          QStringLiteral("MakeArhive"), tr("Провести новую архивацию"),
                          [this](TFrmKl &) { MakeArhiveClick(); }, style()->standardIcon(QStyle::SP_DriveHDIcon))
                          .at(ToolPlace::AfterNavigator));
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({tr("Полное"), tr("Справочники"), tr("Данные")});
    ComboBox1->setCurrentIndex(0);
    addToolWidget(ComboBox1, ToolPlace::AfterNavigator);
    BtnStop = addToolButton(
        ListButton(QStringLiteral("BtnStop"), tr("Прервать архивацию"), [this](TFrmKl &) { cancelArchive(); }));
    BtnStop->hide();
}

void TFrmArchive::setArchiving(bool on)
{
    m_archiving = on;
    for (QWidget *w : std::initializer_list<QWidget *>{DBNavigator1, SpeedButton1, MakeArhive, ComboBox1, BtnRep,
                                                       BtnSendToMail, BtnExport, BtnClose, grid})
        w->setEnabled(!on);
    BtnStop->setVisible(on);
    if (!on && m_closeWith >= 0) {
        const int result = std::exchange(m_closeWith, -1);
        QMetaObject::invokeMethod(
            this, [this, result] { done(result); }, Qt::QueuedConnection);
    }
}

void TFrmArchive::done(int result)
{
    // Closing while archiving stops the archive; the window closes after it.
    if (m_archiving) {
        m_cancel = true;
        m_closeWith = result;
        return;
    }
    TFrmKl::done(result);
}

bool TFrmArchive::ExportTo(FileGroup &files, const ArchivedTable &table, LostCharacters &lost)
{
    const QString name = QLatin1String(table.name);
    const QString fileName = name + QStringLiteral(".csv");
    // Written anew beside the old file, which the group replaces with the others at the end.
    const QString whole = files.partFor(fileName);
    const QString target = QFileInfo(whole).path() + QLatin1Char('/') + fileName;
    qtmp = std::make_unique<TDataSet>();
    qtmp->setObjectName(QStringLiteral("qtmp"));
    // The table's declared column types: the embedded database keeps dates as text, and
    // only a date field writes them in the program's date form, as the shared server's do.
    qtmp->setUpdateTable(name);
    // One file for all the parts read; dropped unless complete. In the user's data folder,
    // his alone.
    const PrivateFiles::Scope privateFile(whole);
    QSaveFile out(whole);
    auto cleanUp = [&] {
        qtmp->Close();
        out.cancelWriting();
        QFile::remove(whole);
    };
    // The file's own name and why, the disk being full in words: never the temporary file.
    qint64 written = 0;
    auto writeError = [&] {
        return FileError(tr("Не удалось записать файл %1: %2").arg(target, WholeFile::failure(out, target, written)));
    };
    const QStringList keys = QString::fromLatin1(table.key).split(QLatin1Char(','));
    QStringList marks;
    const PlainText plain;  // one for the whole table: a date recurs across the parts
    for (int i = 0; i < keys.size(); ++i)
        marks << QStringLiteral(":k%1").arg(i);
    try {
        QFile::remove(whole);
        const QString refused = WholeFile::refusal(whole);
        if (!refused.isEmpty())
            throw FileError(refused);
        if (!out.open(QIODevice::WriteOnly))
            throw writeError();
        qint64 rows = 0;
        QByteArray bytes;
        QVariantList last;
        for (;;) {
            // Read in parts by the key, so that a large table neither fills the memory nor
            // holds the window.
            QString sql = QStringLiteral("select * from ") + name;
            if (!last.isEmpty())
                sql +=
                    QStringLiteral(" where (%1) > (%2)").arg(keys.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
            sql += QStringLiteral(" order by %1 limit %2").arg(keys.join(QLatin1Char(','))).arg(ChunkRows);
            qtmp->Close();
            qtmp->setSQL(sql);
            for (int i = 0; i < last.size(); ++i)
                qtmp->setParam(marks.at(i), last.at(i));
            qtmp->Open();
            const int count = qtmp->RecordCount();
            bytes.clear();
            lost.addAll(fileName, AppendDataSetCSV(bytes, qtmp.get(), plain));
            written = bytes.size();
            if (out.write(bytes) != bytes.size())
                throw writeError();
            if (count > 0) {
                qtmp->Last();
                last.clear();
                for (const QString &k : keys)
                    last << qtmp->FieldByName(k)->value();
            }
            qtmp->Close();
            rows += count;
            StatusBar->showMessage(tr("Экспорт : ") + name + (rows ? tr(", записано строк: %1").arg(rows) : QString()));
            if (OnProgress)
                OnProgress(name, rows);
            QCoreApplication::processEvents();
            if (m_cancel) {
                cleanUp();
                return false;
            }
            if (count < ChunkRows)
                break;
        }
        if (!out.commit())
            throw writeError();
    } catch (const TavrellError &e) {
        cleanUp();
        throw TavrellError(tr("Архивация остановлена: файл %1 не записан.\n%2").arg(target, e.message()), e.kind());
    }
    return true;
}

bool TFrmArchive::MakeArhiveClick()
{
    if (m_archiving)
        return false;
    const QString folder =
        QDir(Seams::dataFolder()).filePath(archiveFolderName(Seams::today().date())) + QLatin1Char('/');
    // The register keeps the folder whole or not at all: a cut path would name a folder
    // that does not exist.
    const int room = TblExp->FieldByName(QStringLiteral("path"))->Size();
    if (folder.size() > room) {
        ErrorBox(tr("Путь к папке архива длиннее %1 символов, реестр архивов не может его хранить:\n%2\n"
                    "Архивация не проведена.")
                     .arg(room)
                     .arg(folder));
        return false;
    }
    recoverArchiveFolders(Seams::dataFolder());
    if (!PrivateFiles::makePath(folder))
        throw FileError(tr("Не удалось создать папку архива %1").arg(folder));
    const auto kind = ArchiveKind(ComboBox1->currentIndex());
    m_cancel = false;
    setArchiving(true);
    struct Finish {
        TFrmArchive *w;
        ~Finish() { w->setArchiving(false); }
    } finish{this};
    FileGroup files(folder);
    LostCharacters lost;
    try {
        for (const ArchivedTable &t : archivedTables()) {
            if (!archiveTakes(kind, t))
                continue;
            StatusBar->showMessage(tr("Экспорт : ") + QLatin1String(t.name));
            if (!ExportTo(files, t, lost)) {
                files.discard();
                StatusBar->showMessage(tr("Архивация прервана"));
                return false;
            }
            FileGroup::step(QStringLiteral("part written ") + QLatin1String(t.name) + QStringLiteral(".csv"));
        }
        // Every table written: the files take their places together, or none does.
        files.commit();
    } catch (const TavrellError &) {
        files.discard();
        throw;
    }
    StatusBar->showMessage(tr("Экспорт завершен "));
    TblExp->Append();
    TblExp->FieldByName(QStringLiteral("dt"))->setValue(Seams::now());
    TblExp->FieldByName(QStringLiteral("tp"))->setValue(ComboBox1->currentIndex() + 1);
    TblExp->FieldByName(QStringLiteral("path"))->setValue(folder);
    TblExp->Post();
    // The rows are all there; what the code page could not hold is named.
    if (!lost.isEmpty())
        InfoBox(tr("Архивация завершена.\r") + lost.text());
    return true;
}

void recoverArchiveFolders(const QString &dataFolder)
{
    QStringList names;
    for (const ArchivedTable &t : archivedTables())
        names << QLatin1String(t.name) + QStringLiteral(".csv");
    static const QRegularExpression dated(QStringLiteral("^\\d+_\\d+_\\d+$"));
    const QDir data(dataFolder);
    for (const QString &sub : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (dated.match(sub).hasMatch())
            FileGroup::recover(data.filePath(sub), names);
}

void TFrmArchive::SpeedButton1Click()
{
    if (TblExp->IsEmpty()) {
        InfoBox(tr("Реестр архивов пуст: удалять нечего"));
        return;
    }
    if (ConfirmBox(tr("Вы действительно хотите удалить этот архив")))
        TblExp->Delete();
}
