#include "admin/arh.h"

#include "core/Errors.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "export/sg2csv.h"
#include "storage/Backend.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("TFrmArchive", text); }

// Appends the bytes of one file to another.
void appendFile(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly))
        throw FileError(tr("Не удалось прочитать файл %1: %2").arg(from, in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        throw FileError(tr("Не удалось открыть файл %1: %2").arg(to, out.errorString()));
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (out.write(block) != block.size())
            throw FileError(tr("Не удалось записать файл %1: %2").arg(to, out.errorString()));
    }
    if (!out.flush())
        throw FileError(tr("Не удалось записать файл %1: %2").arg(to, out.errorString()));
}

// Puts the complete file in the place of the old one in one step.
void replaceFile(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), ec);
    if (ec)
        throw FileError(tr("Не удалось записать файл %1: %2").arg(to, QString::fromLocal8Bit(ec.message().c_str())));
}

}  // namespace

const QList<ArchivedTable> &archivedTables()
{
    static const QList<ArchivedTable> tables = {
        {"Operations", true, "id"}, {"States", true, "id"},           {"izdel", false, "id"},
        {"otdel", true, "id"},      {"rem_op", false, "rem_id,op_id"}, {"rem_res", false, "rem_id,res_id"},
        {"remont", false, "id"},    {"resurs", false, "id"},          {"users", true, "ID"},
        {"vidu", true, "id"},       {"zajav", false, "id"},
    };
    return tables;
}

bool archiveTakes(ArchiveKind kind, const ArchivedTable &table)
{
    switch (kind) {
    case ArchiveKind::Full:
        return true;
    case ArchiveKind::Directories:
        return table.directory;
    case ArchiveKind::Data:
        return !table.directory;
    }
    return false;
}

QString archiveFolderName(const QDate &date)
{
    return QStringLiteral("%1_%2_%3").arg(date.year()).arg(date.month()).arg(date.day());
}

ArchiveTables::ArchiveTables()
{
    ADOTable2.setObjectName(QStringLiteral("ADOTable2"));
    ADOTable2.setTableName(QStringLiteral("kl_exp_tp"));
    ADOTable2.addField(QStringLiteral("id"), FieldType::Integer);
    ADOTable2.addField(QStringLiteral("Name"), FieldType::String, 25);
    ADOTable2.Open();

    TblExp.setObjectName(QStringLiteral("TblExp"));
    TblExp.setTableName(QStringLiteral("exp_data"));
    TblExp.setOrderBy(QStringLiteral("dt"));
    TblExp.addField(QStringLiteral("dt"), FieldType::DateTime).setDisplayLabel(tr("Дата"));
    TblExp.addLookupField(QStringLiteral("Тип"), QStringLiteral("tp"), &ADOTable2, QStringLiteral("id"),
                          QStringLiteral("Name"), 25)
        .setReadOnly(true);
    TblExp.addField(QStringLiteral("tp"), FieldType::Integer).setVisible(false);
    // A database whose register could not be widened still holds 50 characters of path.
    const Backend *b = TblExp.backend();
    const int pathSize = b ? b->columnSize(QStringLiteral("exp_data"), QStringLiteral("path")) : 0;
    TblExp.addField(QStringLiteral("path"), FieldType::String, pathSize > 0 ? pathSize : 50)
        .setDisplayLabel(tr("Путь")).setFitToContent();
}

namespace {

ListWindowDecl archiveWindow(TDataSet *register_)
{
    ListWindowDecl d(QStringLiteral("FrmArchive"), tr("Архивация"), register_);
    d.NavigatorButtons = DBNavigator::MoveButtons();
    d.GridEditable = false;
    d.KeepOpen = false;
    d.Size = QSize(720, 350);  // the path whole
    return d;
}

}  // namespace

TFrmArchive::TFrmArchive(QWidget *parent) : ArchiveTables(), TFrmKl(archiveWindow(&TblExp), parent)
{
    SpeedButton1 = addToolButton(ListButton(QStringLiteral("SpeedButton1"), tr("Удалить запись"),
                                            [this](TFrmKl &) { SpeedButton1Click(); },
                                            style()->standardIcon(QStyle::SP_TrashIcon))
                                     .at(ToolPlace::AfterNavigator));
    MakeArhive = addToolButton(ListButton(QStringLiteral("MakeArhive"), tr("Провести новую архивацию"),
                                          [this](TFrmKl &) { MakeArhiveClick(); },
                                          style()->standardIcon(QStyle::SP_DriveHDIcon))
                                   .at(ToolPlace::AfterNavigator));
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({tr("Полное"), tr("Справочники"), tr("Данные")});
    ComboBox1->setCurrentIndex(0);
    addToolWidget(ComboBox1, ToolPlace::AfterNavigator);
    BtnStop = addToolButton(ListButton(QStringLiteral("BtnStop"), tr("Прервать архивацию"),
                                       [this](TFrmKl &) { cancelArchive(); }));
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
        QMetaObject::invokeMethod(this, [this, result] { done(result); }, Qt::QueuedConnection);
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

bool TFrmArchive::ExportTo(const QString &folder, const ArchivedTable &table)
{
    const QString name = QLatin1String(table.name);
    const QString target = folder + name + QStringLiteral(".csv");
    // The file is made beside the old one and takes its place only when complete, so an
    // archive made again never keeps rows of the older file, and a failed one leaves it whole.
    const QString whole = target + QStringLiteral(".part");
    const QString piece = target + QStringLiteral(".piece");
    qtmp = std::make_unique<TDataSet>();
    qtmp->setObjectName(QStringLiteral("qtmp"));
    auto cleanUp = [&] {
        qtmp->Close();
        QFile::remove(whole);
        QFile::remove(piece);
    };
    const QStringList keys = QString::fromLatin1(table.key).split(QLatin1Char(','));
    QStringList marks;
    for (int i = 0; i < keys.size(); ++i)
        marks << QStringLiteral(":k%1").arg(i);
    try {
        cleanUp();
        qint64 rows = 0;
        QVariantList last;
        for (;;) {
            // Read in parts by the key, so that a large table neither fills the memory nor
            // holds the window.
            QString sql = QStringLiteral("select * from ") + name;
            if (!last.isEmpty())
                sql += QStringLiteral(" where (%1) > (%2)").arg(keys.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
            sql += QStringLiteral(" order by %1 limit %2").arg(keys.join(QLatin1Char(','))).arg(ChunkRows);
            qtmp->Close();
            qtmp->setSQL(sql);
            for (int i = 0; i < last.size(); ++i)
                qtmp->setParam(marks.at(i), last.at(i));
            qtmp->Open();
            const int count = qtmp->RecordCount();
            if (rows == 0) {
                DataSetToCSV(whole, qtmp.get());
            } else if (count > 0) {
                QFile::remove(piece);
                DataSetToCSV(piece, qtmp.get());
                appendFile(piece, whole);
            }
            if (count > 0) {
                qtmp->Last();
                last.clear();
                for (const QString &k : keys)
                    last << qtmp->FieldByName(k)->value();
            }
            qtmp->Close();
            rows += count;
            StatusBar->showMessage(tr("Экспорт : ") + name
                                   + (rows ? tr(", записано строк: %1").arg(rows) : QString()));
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
        QFile::remove(piece);
        replaceFile(whole, target);
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
    const QString folder = QDir(Seams::dataFolder()).filePath(archiveFolderName(Seams::today().date())) + QLatin1Char('/');
    // The register keeps the folder whole or not at all: a cut path would name a folder
    // that does not exist.
    const int room = TblExp.FieldByName(QStringLiteral("path"))->Size();
    if (folder.size() > room) {
        ErrorBox(tr("Путь к папке архива длиннее %1 символов, реестр архивов не может его хранить:\n%2\n"
                    "Архивация не проведена.")
                     .arg(room)
                     .arg(folder));
        return false;
    }
    if (!QDir().mkpath(folder))
        throw FileError(tr("Не удалось создать папку архива %1").arg(folder));
    const auto kind = ArchiveKind(ComboBox1->currentIndex());
    m_cancel = false;
    setArchiving(true);
    struct Finish {
        TFrmArchive *w;
        ~Finish() { w->setArchiving(false); }
    } finish{this};
    for (const ArchivedTable &t : archivedTables()) {
        if (!archiveTakes(kind, t))
            continue;
        StatusBar->showMessage(tr("Экспорт : ") + QLatin1String(t.name));
        if (!ExportTo(folder, t)) {
            StatusBar->showMessage(tr("Архивация прервана"));
            return false;
        }
    }
    StatusBar->showMessage(tr("Экспорт завершен "));
    TblExp.Append();
    TblExp.FieldByName(QStringLiteral("dt"))->setValue(Seams::now());
    TblExp.FieldByName(QStringLiteral("tp"))->setValue(ComboBox1->currentIndex() + 1);
    TblExp.FieldByName(QStringLiteral("path"))->setValue(folder);
    TblExp.Post();
    return true;
}

void TFrmArchive::SpeedButton1Click()
{
    if (TblExp.IsEmpty()) {
        InfoBox(tr("Реестр архивов пуст: удалять нечего"));
        return;
    }
    if (ConfirmBox(tr("Вы действительно хотите удалить этот архив")))
        TblExp.Delete();
}
