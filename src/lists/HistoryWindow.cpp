#include "lists/HistoryWindow.h"

#include "core/MsgBox.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"
#include "export/GridColumns.h"

#include <QLocale>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QStyle>

namespace {

#define T(text) QT_TRANSLATE_NOOP("TFrmHistory", text)

// clang-format off
struct TableRow {
    const char *table;
    const char *title;
    const char *rights;  // Rights; null: everyone logged in
};
const TableRow Tables[] = {
    {"izdel", T("Оргтехника"), nullptr},
    {"remont", T("Ремонты"), Rights::RepairHistory},
    {"rem_op", T("Операции ремонта"), Rights::RepairHistory},
    {"rem_res", T("Ресурсы ремонта"), Rights::RepairHistory},
    {"zajav", T("Заявки"), Rights::Requests},
    {"vidu", T("Виды ремонта"), Rights::Administration},
    {"states", T("Состояния"), Rights::Administration},
    {"resurs", T("Ресурсы"), Rights::Administration},
    {"operations", T("Операции"), Rights::Administration},
    {"otdel", T("Отделы"), Rights::Administration},
    {"users", T("Пользователи"), Rights::Administration},
};

// How a stored value reads.
enum class Kind { Text, Number, Date, Password, Lookup };

// The names a key stands for: the source's table and its name column.
struct Source {
    const char *name;
    const char *table;
    const char *column;
};
const Source Sources[] = {
    {"states", "States", "Name"},        {"otdel", "otdel", "Name"},       {"vidu", "vidu", "Name"},
    {"operations", "Operations", "Name"}, {"remopstate", "RemOpState", "StateName"},
    {"resurs", "resurs", "Name"},        {"zaj_states", "zaj_states", "StateName"},
};
const char *const Items = "izdel";

// The columns' labels are the titles the program's grids and editors give them.
struct FieldRow {
    const char *table;
    const char *field;
    const char *label;  // null: the column's name
    Kind kind;
    const char *source;  // Lookup: Sources' name or Items
};
const FieldRow Fields[] = {
    {"izdel", "id", nullptr, Kind::Number, nullptr},
    {"izdel", "name", T("Название"), Kind::Text, nullptr},
    {"izdel", "proizvod", T("Тип"), Kind::Text, nullptr},
    {"izdel", "d_vup", T("Дата вып"), Kind::Date, nullptr},
    {"izdel", "seria", T("Серия"), Kind::Text, nullptr},
    {"izdel", "nomer", T("Номер"), Kind::Text, nullptr},
    {"izdel", "curstate", T("Состояние"), Kind::Lookup, "states"},
    {"izdel", "otdel", T("Отдел"), Kind::Lookup, "otdel"},
    {"izdel", "d_pred", nullptr, Kind::Date, nullptr},
    {"izdel", "d_sled", nullptr, Kind::Date, nullptr},
    {"izdel", "d_otpr", nullptr, Kind::Date, nullptr},
    {"izdel", "d_poluh", nullptr, Kind::Date, nullptr},
    {"izdel", "form", T("Формат"), Kind::Text, nullptr},
    {"izdel", "info", T("Дополнительная информация"), Kind::Text, nullptr},
    {"izdel", "resurs", T("Ресурс"), Kind::Text, nullptr},
    {"remont", "id", nullptr, Kind::Number, nullptr},
    {"remont", "kod_vida", T("Вид работ"), Kind::Lookup, "vidu"},
    {"remont", "kod_izd", T("Изделие"), Kind::Lookup, Items},
    {"remont", "otdel", T("Отдел"), Kind::Text, nullptr},
    {"remont", "prichina", T("Причина"), Kind::Text, nullptr},
    {"remont", "nach_rem", T("Начало"), Kind::Date, nullptr},
    {"remont", "okonh_rem", T("Окончание"), Kind::Date, nullptr},
    {"remont", "specialist", T("Специалист"), Kind::Text, nullptr},
    {"rem_op", "rem_id", nullptr, Kind::Number, nullptr},
    {"rem_op", "op_id", T("Операция"), Kind::Lookup, "operations"},
    {"rem_op", "dt", T("Дата"), Kind::Date, nullptr},
    {"rem_op", "state", T("Состояние"), Kind::Lookup, "remopstate"},
    {"rem_res", "rem_id", nullptr, Kind::Number, nullptr},
    {"rem_res", "res_id", T("Ресурс"), Kind::Lookup, "resurs"},
    {"rem_res", "cnt", T("Количество"), Kind::Number, nullptr},
    {"zajav", "id", nullptr, Kind::Number, nullptr},
    {"zajav", "izd", T("Изделие"), Kind::Lookup, Items},
    {"zajav", "otdel", T("Отдел"), Kind::Lookup, "otdel"},
    {"zajav", "opis", T("Описание"), Kind::Text, nullptr},
    {"zajav", "data", T("Дата"), Kind::Date, nullptr},
    {"zajav", "prim", T("Дополнительная текстовая информация"), Kind::Text, nullptr},
    {"zajav", "state", T("Состояние"), Kind::Lookup, "zaj_states"},
    {"zajav", "fio", T("ФИО заявившего"), Kind::Text, nullptr},
    {"zajav", "phone", T("Телефон"), Kind::Text, nullptr},
    {"zajav", "mayby", T("Возможная причина"), Kind::Text, nullptr},
    {"vidu", "id", nullptr, Kind::Number, nullptr},
    {"vidu", "name", T("Название"), Kind::Text, nullptr},
    {"states", "id", nullptr, Kind::Number, nullptr},
    {"states", "name", T("Состояние"), Kind::Text, nullptr},
    {"resurs", "id", nullptr, Kind::Number, nullptr},
    {"resurs", "name", T("Название"), Kind::Text, nullptr},
    {"resurs", "ed_izmer", T("Ед. изм."), Kind::Text, nullptr},
    {"operations", "id", nullptr, Kind::Number, nullptr},
    {"operations", "name", T("Операция"), Kind::Text, nullptr},
    {"otdel", "id", nullptr, Kind::Number, nullptr},
    {"otdel", "name", T("Название"), Kind::Text, nullptr},
    {"users", "id", nullptr, Kind::Number, nullptr},
    {"users", "login", T("Логин"), Kind::Text, nullptr},
    {"users", "passw", T("Пароль"), Kind::Password, nullptr},
    {"users", "tp", T("Тип"), Kind::Text, nullptr},
    {"users", "lastenter", T("Посл. вход"), Kind::Date, nullptr},
};
// clang-format on

QString text(const char *s) { return QCoreApplication::translate("TFrmHistory", s); }

const FieldRow *fieldRow(const QString &table, const QString &field)
{
    for (const FieldRow &row : Fields)
        if (table == QLatin1String(row.table) && field == QLatin1String(row.field))
            return &row;
    return nullptr;
}

// The embedded file keeps "yyyy-MM-dd HH:mm:ss.zzz", the server ISO with a 'T'.
QDateTime storedDateTime(QString s)
{
    if (s.size() > 10 && s.at(10) == QLatin1Char(' '))
        s[10] = QLatin1Char('T');
    return QDateTime::fromString(s, Qt::ISODateWithMs);
}

QString fieldText(const TField &f, const char *name)
{
    return f.DataSet()->FieldByName(QLatin1String(name))->AsString();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Tables, rights and labels

namespace RowHistory {

QStringList tables()
{
    QStringList out;
    for (const TableRow &row : Tables)
        out << QLatin1String(row.table);
    return out;
}

QString tableTitle(const QString &table)
{
    for (const TableRow &row : Tables)
        if (table == QLatin1String(row.table))
            return text(row.title);
    return table;
}

bool mayView(const QString &table)
{
    const Session &s = session();
    if (s.CurrentUserType.isEmpty())
        return false;
    for (const TableRow &row : Tables)
        if (table == QLatin1String(row.table))
            return !row.rights || s.typeIn(row.rights);
    return false;
}

QString fieldLabel(const QString &table, const QString &field)
{
    const FieldRow *row = fieldRow(table, field);
    return row && row->label ? text(row->label) : field;
}

}  // namespace RowHistory

// ---------------------------------------------------------------------------------------
// HistoryTexts

void HistoryTexts::load(TDataSet &rows)
{
    m_names.clear();
    for (const Source &source : Sources) {
        TDataSet names;
        names.setSQL(
            QStringLiteral("select id, %1 from %2").arg(QLatin1String(source.column), QLatin1String(source.table)));
        names.Open();
        QHash<QString, QString> &to = m_names[QLatin1String(source.name)];
        for (names.First(); !names.Eof(); names.Next())
            to.insert(names.Fields().at(0)->AsString(), names.Fields().at(1)->AsString());
    }
    // Items are many: only those the rows name, a few hundred keys to a query.
    QSet<int> items;
    if (rows.Active()) {
        const TField *table = rows.FieldByName(QStringLiteral("tblname"));
        const TField *field = rows.FieldByName(QStringLiteral("field"));
        const TField *was = rows.FieldByName(QStringLiteral("was"));
        const TField *became = rows.FieldByName(QStringLiteral("became"));
        for (int i = 0; i < rows.RecordCount(); ++i) {
            const TDataSet::ActiveRow at(&rows, rows.rowIndexAt(i));
            const FieldRow *row = fieldRow(table->AsString(), field->AsString());
            if (!row || row->kind != Kind::Lookup || qstrcmp(row->source, Items) != 0)
                continue;
            for (const TField *value : {was, became}) {
                bool ok = false;
                const int key = value->AsString().toInt(&ok);
                if (ok)
                    items.insert(key);
            }
        }
    }
    QList<int> keys(items.begin(), items.end());
    QHash<QString, QString> &itemNames = m_names[QLatin1String(Items)];
    for (qsizetype from = 0; from < keys.size(); from += 500) {
        QStringList some;
        for (qsizetype i = from; i < qMin(from + 500, keys.size()); ++i)
            some << QString::number(keys.at(i));
        TDataSet names;
        names.setSQL(QStringLiteral("select id, Name from izdel where id in (%1)").arg(some.join(QLatin1Char(','))));
        names.Open();
        for (names.First(); !names.Eof(); names.Next())
            itemNames.insert(names.Fields().at(0)->AsString(), names.Fields().at(1)->AsString());
    }
}

QString HistoryTexts::nameOf(const QString &source, const QString &key) const
{
    // A name that is gone: the key as stored.
    return m_names.value(source).value(key, key);
}

QString HistoryTexts::label(const QString &table, const QString &rowKey, const QString &field) const
{
    const QString column = RowHistory::fieldLabel(table, field);
    const QString line = rowKey.section(QLatin1Char('/'), 1);
    if (table == QLatin1String("rem_op"))
        return QCoreApplication::translate("TFrmHistory", "Операция «%1»: %2")
            .arg(nameOf(QStringLiteral("operations"), line), column);
    if (table == QLatin1String("rem_res"))
        return QCoreApplication::translate("TFrmHistory", "Ресурс «%1»: %2")
            .arg(nameOf(QStringLiteral("resurs"), line), column);
    return column;
}

QString HistoryTexts::value(const QString &table, const QString &field, const QVariant &stored) const
{
    const FieldRow *row = fieldRow(table, field);
    if (row && row->kind == Kind::Password)
        return QString();
    if (stored.isNull() || !stored.isValid())
        return QString();
    const QString s = stored.toString();
    switch (row ? row->kind : Kind::Text) {
    case Kind::Date: {
        const QDateTime dt = storedDateTime(s);
        return dt.isValid() ? DateText::format(dt) : s;
    }
    case Kind::Number: {
        bool ok = false;
        const qlonglong whole = s.toLongLong(&ok);
        if (ok)
            return QString::number(whole);
        const double d = s.toDouble(&ok);
        return ok ? QLocale().toString(d, 'g', 15) : s;
    }
    case Kind::Lookup: return nameOf(QLatin1String(row->source), s);
    default: return s;
    }
}

// ---------------------------------------------------------------------------------------
// The dataset

QString historySelect()
{
    return QStringLiteral("select h.id, h.dt, u.login, h.tblname, h.rowkey, h.action, h.field, h.was, h.became "
                          "from history h left outer join users u on u.ID = h.usr ");
}

QString changeOrder()
{
    // The columns of every table, in their order: the same on both backends.
    static QString byColumn;
    if (byColumn.isEmpty()) {
        QStringList tables;
        const QSqlDatabase db = dm->connection();
        for (const QString &t : RowHistory::tables()) {
            const QSqlRecord columns = db.record(t);
            QStringList cases;
            for (int i = 0; i < columns.count(); ++i)
                cases << QStringLiteral("when '%1' then %2").arg(columns.fieldName(i).toLower()).arg(i);
            if (!cases.isEmpty())
                tables << QStringLiteral("when '%1' then case h.field %2 end").arg(t, cases.join(QLatin1Char(' ')));
        }
        if (!tables.isEmpty())
            byColumn = QStringLiteral("case h.tblname %1 end").arg(tables.join(QLatin1Char(' ')));
    }
    const QString column = byColumn.isEmpty() ? QStringLiteral("0") : byColumn;
    return QStringLiteral("order by max(h.id) over (partition by h.dt, h.usr, h.tblname, h.rowkey, h.action) desc, "
                          "%1, h.id desc")
        .arg(column);
}

void declareHistoryFields(TDataSet &ds, const std::shared_ptr<HistoryTexts> &texts, bool tableAndKey)
{
    ds.addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    ds.addField(QStringLiteral("dt"), FieldType::DateTime).setDisplayLabel(text(T("Дата и время")));
    ds.addField(QStringLiteral("login"), FieldType::String, 20)
        .setDisplayLabel(text(T("Пользователь")))
        .setDisplayWidth(12);
    ds.addField(QStringLiteral("tblname"), FieldType::String, 20)
        .setDisplayLabel(text(T("Таблица")))
        .setVisible(tableAndKey)
        .setDisplayWidth(16)
        .setOnGetText([](const TField &f) { return RowHistory::tableTitle(f.AsString()); });
    ds.addField(QStringLiteral("rowkey"), FieldType::String, 40)
        .setDisplayLabel(text(T("Запись")))
        .setVisible(tableAndKey)
        .setDisplayWidth(10);
    ds.addField(QStringLiteral("action"), FieldType::FixedChar, 1).setVisible(false);
    ds.addField(QStringLiteral("field"), FieldType::String, 20)
        .setDisplayLabel(text(T("Поле")))
        .setDisplayWidth(24)
        .setOnGetText([texts](const TField &f) {
            return texts->label(fieldText(f, "tblname"), fieldText(f, "rowkey"), f.AsString());
        });
    const auto value = [texts](bool before) {
        return [texts, before](const TField &f) {
            const QString table = fieldText(f, "tblname"), field = fieldText(f, "field");
            if (!before && fieldRow(table, field) && fieldRow(table, field)->kind == Kind::Password)
                return QCoreApplication::translate("TFrmHistory", "изменён");
            return texts->value(table, field, f.value());
        };
    };
    ds.addField(QStringLiteral("was"), FieldType::Memo)
        .setDisplayLabel(text(T("Было")))
        .setDisplayWidth(26)
        .setOnGetText(value(true));
    ds.addField(QStringLiteral("became"), FieldType::Memo)
        .setDisplayLabel(text(T("Стало")))
        .setDisplayWidth(26)
        .setOnGetText(value(false));
    ds.setReadOnly(true);
    // The names the rows need, read with the rows (before a grid shows them).
    QObject::connect(&ds, &TDataSet::modelReset, &ds, [texts, &ds] { texts->load(ds); });
    // The report, the mail and the export write what the list shows.
    exportShownTexts(&ds);
}

// ---------------------------------------------------------------------------------------
// The window of one row

ListWindowDecl TFrmHistory::declaration(const QString &table, const QString &key, const QString &rowName,
                                        const std::shared_ptr<HistoryTexts> &texts)
{
    ListWindowDecl d(QStringLiteral("FrmHistory"), text(T("История изменений")), nullptr);
    d.OwnDataSet = [table, key, texts](TDataSet &ds) {
        ds.setObjectName(QStringLiteral("QryHistory"));
        // Each part reads the index (tblname, rowkey, id) alone.
        QString where = QStringLiteral("where h.tblname = :t and h.rowkey = :k ");
        if (table == QLatin1String("remont")) {
            // Its operations' and resources' keys begin with the repair's: "200/1". The range
            // reads the index; the prefix check keeps it exact.
            where = QStringLiteral("where (h.tblname = :t and h.rowkey = :k) or "
                                   "(h.tblname in ('rem_op', 'rem_res') and h.rowkey > :lo and h.rowkey < :hi "
                                   "and substr(h.rowkey, 1, :n) = :prefix) ");
            ds.setParam(QStringLiteral("lo"), key + QLatin1Char('/'));
            ds.setParam(QStringLiteral("hi"), key + QLatin1Char('0'));  // '0' follows '/'
            ds.setParam(QStringLiteral("n"), int(key.size() + 1));
            ds.setParam(QStringLiteral("prefix"), key + QLatin1Char('/'));
        }
        ds.setSQL(historySelect() + where + changeOrder());
        ds.setParam(QStringLiteral("t"), table);
        ds.setParam(QStringLiteral("k"), key);
        declareHistoryFields(ds, texts, false);
    };
    d.ReadOnly = true;
    d.GridEditable = false;
    d.NavigatorButtons = DBNavigator::MoveButtons() << DBNavigator::Refresh;
    d.Size = QSize(1000, 420);
    d.ReportHeadingOf = [rowName](const TFrmKl &) { return ReportHeading{rowName, true}; };
    return d;
}

TFrmHistory::TFrmHistory(const QString &table, const QString &key, const QString &rowName, QWidget *parent)
    : TFrmKl(declaration(table, key, rowName, std::make_shared<HistoryTexts>()), parent)
{
}

void showRowHistory(const QString &table, const QString &key, const QString &rowName, QWidget *parent)
{
    if (!RowHistory::mayView(table)) {
        ErrorBox(QCoreApplication::translate("TFrmHistory", "У Вас нет прав доступа"));
        return;
    }
    if (key.isEmpty())
        return;
    showModal<TFrmHistory>(table, key, rowName, parent);
}

QString itemTitle(const QString &name, const QString &series, const QString &number)
{
    return QCoreApplication::translate("TFrmHistory", "%1, серия %2, номер %3")
        .arg(name.trimmed(), series.trimmed(), number.trimmed());
}

#undef T
