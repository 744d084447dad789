// The main window's sorting, quick find, grid font and per-user view settings.
#include "register/main.h"

#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

namespace {

// The sort entries: label, field of the statement, grid column.
struct SortEntry {
    const char *label;
    const char *field;
    const char *column;
};

const SortEntry SortEntries[TFrmmain::SortEntryCount] = {
    {QT_TRANSLATE_NOOP("TFrmmain", "Название"), "Name", "Name"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Тип"), "Proizvod", "Proizvod"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Дата выпуска"), "D_vup", "D_vup"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Серия"), "Seria", "Seria"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Номер"), "Nomer", "Nomer"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Состояние"), "CurState", "Состояние"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Отдел"), "otdel", "Отдел"},
    {QT_TRANSLATE_NOOP("TFrmmain", "Формат"), "form", "form"},
};

int sortEntryOfColumn(const QString &columnField)
{
    for (int i = 0; i < TFrmmain::SortEntryCount; ++i)
        if (columnField == QString::fromUtf8(SortEntries[i].column))
            return i;
    return -1;
}

// Settings keys and defaults.
const QString DefaultFontName = QStringLiteral("Arial Cyr");
constexpr int DefaultFontSize = 8;
const QString DefaultSortField = QStringLiteral("fio");
constexpr int DefaultWidth = 800;
constexpr int DefaultHeight = 400;

QString userSection() { return QString::number(session().CurrentUserId); }

}  // namespace

QString TFrmmain::SortFieldByIndex(int index)
{
    return index >= 0 && index < SortEntryCount ? QString::fromLatin1(SortEntries[index].field) : QString();
}

QString TFrmmain::SortLabelByIndex(int index)
{
    return index >= 0 && index < SortEntryCount ? tr(SortEntries[index].label) : QString();
}

int TFrmmain::columnOfField(const QString &fieldName) const
{
    for (int i = 0; i < Grid->columnCount(); ++i)
        if (Grid->column(i).FieldName == fieldName)
            return i;
    return -1;
}

int TFrmmain::boldColumn() const
{
    for (int i = 0; i < Grid->columnCount(); ++i)
        if (Grid->column(i).TitleBold)
            return i;
    return -1;
}

// ---------------------------------------------------------------------------------------
// Sorting

void TFrmmain::GridTitleClick(int column)
{
    if (column < 0 || column >= Grid->columnCount())
        return;
    QString field = Grid->column(column).FieldName;

    m_settingSortList = true;
    ComboSort1->setCurrentIndex(sortEntryOfColumn(field));
    m_settingSortList = false;

    for (int i = 0; i < Grid->columnCount(); ++i)
        Grid->setTitleBold(i, i == column);

    QVariant current;
    if (Qry->Active() && !Qry->IsEmpty())
        current = Qry->FieldByName(QStringLiteral("id"))->value();
    Qry->Close();

    // A lookup column sorts by its key field, as the field declares it.
    if (const TField *f = Qry->FindField(field); f && f->isLookup())
        field = f->KeyFields();
    if (!SecondSortField.isEmpty() && SecondSortField != field)
        field += QLatin1Char(',') + SecondSortField;

    QStringList lines = Qry->SQL().split(QLatin1Char('\n'));
    while (lines.size() < 2)
        lines.append(QString());
    // Text columns in the program's text order: without regard to case, alphabetically;
    // empty values first on every backend.
    QStringList terms = field.split(QLatin1Char(','));
    for (QString &term : terms) {
        const TField *f = Qry->FindField(term.trimmed());
        if (f && (f->DataType() == FieldType::String || f->DataType() == FieldType::FixedChar))
            term = Qry->russianCi(term);
        term = TDataSet::orderTerm(term);
    }
    // Equal values in the key's order: the server's own order is not the same everywhere.
    if (!field.split(QLatin1Char(',')).contains(QStringLiteral("id"), Qt::CaseInsensitive))
        terms << QStringLiteral("id");
    lines[1] = QStringLiteral("order by ") + terms.join(QLatin1Char(','));
    Qry->setSQL(lines.join(QLatin1Char('\n')));
    SortFields = field;

    Qry->Open();
    if (current.isValid())
        Qry->Locate(QStringLiteral("id"), current);
}

void TFrmmain::ComboSort1Change()
{
    if (m_settingSortList)
        return;
    SecondSortField = SortFieldByIndex(ComboSort2->currentIndex() - 1);
    const int entry = ComboSort1->currentIndex();
    if (entry < 0 || entry >= SortEntryCount)
        return;
    GridTitleClick(columnOfField(QString::fromUtf8(SortEntries[entry].column)));
}

// ---------------------------------------------------------------------------------------
// Quick find

const TField *TFrmmain::lookupOfKey(const QString &keyField) const
{
    for (const TField *f : Qry->Fields())
        if (f->isLookup() && f->KeyFields().compare(keyField, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

void TFrmmain::EditChange()
{
    FoundId = -1;
    const QString text = Edit->text();
    if (!text.isEmpty() && Qry->Active()) {
        // The list is ordered by its first sort field (by Name before any sort); a lookup
        // key is found by the name the user sees in its lookup's column.
        QString fieldName = SortFields.section(QLatin1Char(','), 0, 0).trimmed();
        if (fieldName.isEmpty())
            fieldName = QStringLiteral("Name");
        const TField *field = lookupOfKey(fieldName);
        if (!field)
            field = Qry->FindField(fieldName);
        const TField *id = Qry->FindField(QStringLiteral("id"));
        if (field && id) {
            const int count = Qry->RecordCount();
            for (int pos = 0; pos < count; ++pos) {
                const int row = Qry->rowIndexAt(pos);
                TDataSet::ActiveRow active(Qry, row);
                if (field->DisplayText().startsWith(text, Qt::CaseInsensitive)) {
                    FoundId = id->valueAt(row).toInt();
                    Qry->setRecNo(pos + 1);
                    break;
                }
            }
        }
    }
    Grid->viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Font and view settings

void TFrmmain::setGridFont(const QFont &font, const QColor &color)
{
    Grid->setFont(font);
    QPalette p = Grid->palette();
    p.setColor(QPalette::Text, color);
    Grid->setPalette(p);
    // The notes take the grid's font.
    DBMemo1->setFont(font);
    QPalette m = DBMemo1->palette();
    m.setColor(QPalette::Text, color);
    DBMemo1->setPalette(m);
    applyColumnWidths();
}

void TFrmmain::BtnFontClick()
{
    QFont font = Grid->font();
    QColor color = Grid->palette().color(QPalette::Text);
    if (!Seams::dialogs().chooseFont(font, color, this))
        return;
    setGridFont(font, color);
}

int TFrmmain::colorToValue(const QColor &color)
{
    return int(quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16));
}

QColor TFrmmain::colorFromValue(int value)
{
    const quint32 v = quint32(value);
    if ((v >> 24) == 0)
        return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
    if ((v >> 24) == 0xFF) {
        // A system colour: its index in the low byte.
        const QPalette p = QApplication::palette();
        switch (v & 0xFF) {
        case 5: return p.color(QPalette::Base);
        case 9: return p.color(QPalette::WindowText);
        case 13: return p.color(QPalette::Highlight);
        case 14: return p.color(QPalette::HighlightedText);
        case 15: return p.color(QPalette::Button);
        case 16: return p.color(QPalette::Mid);
        case 17: return p.color(QPalette::Disabled, QPalette::Text);
        case 18: return p.color(QPalette::ButtonText);
        case 23: return p.color(QPalette::ToolTipText);
        case 24: return p.color(QPalette::ToolTipBase);
        case 26: return p.color(QPalette::Link);
        default: return p.color(QPalette::Text);
        }
    }
    return QColor(Qt::black);
}

void TFrmmain::restoreGridFont()
{
    const IniFile *ini = dm->SettingsFile();
    const QString s = userSection();
    QFont font = Grid->font();
    font.setFamily(ini->readString(s, QStringLiteral("fontname"), DefaultFontName));
    int size = ini->readInteger(s, QStringLiteral("fontsize"), DefaultFontSize);
    // A size the font cannot have would leave the grid unreadable.
    if (size <= 0 || size > 400)
        size = DefaultFontSize;
    font.setPointSize(size);
    const QColor color = colorFromValue(ini->readInteger(s, QStringLiteral("fontcolor"), 0));
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setBold(ini->readBool(s, QStringLiteral("fontbold"), false));
    font.setItalic(ini->readBool(s, QStringLiteral("fontItalic"), false));
    font.setUnderline(ini->readBool(s, QStringLiteral("fontUnderline"), false));
    setGridFont(font, color);
}

void TFrmmain::restoreSortColumn()
{
    const IniFile *ini = dm->SettingsFile();
    const QString s = userSection();
    const QString sortField = ini->readString(s, QStringLiteral("SortField"), DefaultSortField);
    for (int i = 0; i < Grid->columnCount(); ++i)
        if (Grid->column(i).FieldName == sortField)
            GridTitleClick(i);
}

void TFrmmain::restoreWindowPlace()
{
    const IniFile *ini = dm->SettingsFile();
    const QString s = userSection();
    resize(ini->readInteger(s, QStringLiteral("width"), DefaultWidth),
           ini->readInteger(s, QStringLiteral("height"), DefaultHeight));
    move(ini->readInteger(s, QStringLiteral("left"), x()), ini->readInteger(s, QStringLiteral("top"), y()));
}

void TFrmmain::SaveUserSettings()
{
    IniFile *ini = dm->SettingsFile();
    const QString s = userSection();
    const QFont font = Grid->font();
    ini->writeString(s, QStringLiteral("fontname"), font.family());
    ini->writeInteger(s, QStringLiteral("fontsize"), font.pointSize());
    ini->writeBool(s, QStringLiteral("fontbold"), font.bold());
    ini->writeBool(s, QStringLiteral("fontitalic"), font.italic());
    ini->writeBool(s, QStringLiteral("fontunderline"), font.underline());
    ini->writeInteger(s, QStringLiteral("fontcolor"), colorToValue(Grid->palette().color(QPalette::Text)));
    // Without a bold title the stored sort column stays as it was.
    const int bold = boldColumn();
    if (bold >= 0)
        ini->writeString(s, QStringLiteral("SortField"), Grid->column(bold).FieldName);
    ini->writeInteger(s, QStringLiteral("width"), width());
    ini->writeInteger(s, QStringLiteral("height"), height());
    ini->writeInteger(s, QStringLiteral("left"), x());
    ini->writeInteger(s, QStringLiteral("top"), y());
}
