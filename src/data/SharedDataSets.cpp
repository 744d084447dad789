#include "data/SharedDataSets.h"

#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"

#include <QCoreApplication>
#include <QSqlQuery>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("Tdm", text); }

TDataSet *table(Tdm *owner, const char *name, const char *tableName)
{
    auto *ds = new TDataSet(owner);
    ds->setObjectName(QString::fromLatin1(name));
    ds->setTableName(QString::fromLatin1(tableName));
    return ds;
}

// The login compares logins without regard to case, every letter included: of two logins
// that differ only so, one could never log in. SQLite's own NOCASE folds Latin letters only,
// so the program compares them itself.
void refuseLoginTaken(Tdm *owner, TDataSet &users)
{
    const QString login = users.FieldByName(QStringLiteral("login"))->AsString();
    if (login.isEmpty())
        return;
    const QVariant id = users.FieldByName(QStringLiteral("ID"))->value();
    QSqlQuery q(owner->connection());
    Backend::exec(q, QStringLiteral("SELECT ID, login FROM users"));
    while (q.next()) {
        if (id.isValid() && q.value(0).toInt() == id.toInt())
            continue;
        // The same login twice is the user's own affair, as it always was.
        const QString other = q.value(1).toString();
        if (other != login && other.compare(login, Qt::CaseInsensitive) == 0)
            throw TavrellError(tr("Логин «%1» уже есть (как «%2»): при входе логины, которые отличаются "
                                  "только регистром букв, не различаются. Выберите другой логин.")
                                   .arg(login, other));
    }
}

}  // namespace

void SharedDataSets::createSharedDataSets(Tdm *owner)
{
    m_owner = owner;
    auto newRec = [this](TDataSet &ds) { TblNewRec(ds); };

    TblOtdel = table(owner, "TblOtdel", "otdel");
    TblOtdel->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    TblOtdel->addField(QStringLiteral("Name"), FieldType::String, 65).setDisplayLabel(tr("Название"));
    TblOtdel->OnNewRecord = newRec;

    // The directories of 30 characters show 100 characters wide.
    TblStates = table(owner, "TblStates", "States");
    TblStates->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    TblStates->addField(QStringLiteral("Name"), FieldType::String, 30)
        .setDisplayLabel(tr("Состояние"))
        .setDisplayWidth(100);
    TblStates->OnNewRecord = newRec;

    TblOperations = table(owner, "TblOperations", "Operations");
    TblOperations->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    TblOperations->addField(QStringLiteral("Name"), FieldType::String, 30)
        .setDisplayLabel(tr("Операция"))
        .setDisplayWidth(100);
    TblOperations->OnNewRecord = newRec;

    Tblresurs = table(owner, "Tblresurs", "resurs");
    Tblresurs->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    Tblresurs->addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(tr("Название"));
    Tblresurs->addField(QStringLiteral("Ed_izmer"), FieldType::String, 12).setDisplayLabel(tr("Ед. изм."));
    Tblresurs->OnNewRecord = newRec;

    Tblvidu = table(owner, "Tblvidu", "vidu");
    Tblvidu->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    Tblvidu->addField(QStringLiteral("Name"), FieldType::String, 30)
        .setDisplayLabel(tr("Название"))
        .setDisplayWidth(100);
    Tblvidu->OnNewRecord = newRec;

    TblUsers = table(owner, "TblUsers", "users");
    TblUsers->addField(QStringLiteral("ID"), FieldType::Integer).setVisible(false);
    TblUsers->addField(QStringLiteral("login"), FieldType::String, 20).setDisplayLabel(tr("Логин"));
    TblUsers->addField(QStringLiteral("passw"), FieldType::String, 20)
        .setDisplayLabel(tr("Пароль"))
        // An empty password is an empty text: the login matches it with an empty entry, never a null.
        .setOnSetText([](TField &f, const QString &text) { f.setValue(text.isEmpty() ? QStringLiteral("") : text); });
    TblUsers->addField(QStringLiteral("tp"), FieldType::FixedChar, 1)
        .setDisplayLabel(tr("Тип"))
        .setOnSetText([](TField &f, const QString &text) {
            const QString tp = Tdm::TblUserstpSetText(text);
            f.setValue(tp.isEmpty() ? QVariant() : QVariant(tp));
        });
    TblUsers->addField(QStringLiteral("LastEnter"), FieldType::DateTime)
        .setDisplayLabel(tr("Посл. вход"))
        .setReadOnly(true);
    TblUsers->OnNewRecord = newRec;
    TblUsers->BeforePost = [owner](TDataSet &ds) {
        TField *passw = ds.FieldByName(QStringLiteral("passw"));
        if (passw->value().isNull())
            passw->setValue(QStringLiteral(""));
        refuseLoginTaken(owner, ds);
    };

    TblZStates = table(owner, "TblZStates", "zaj_states");            // all columns
    TableRemOpState = table(owner, "TableRemOpState", "RemOpState");  // all columns

    // The items as the lookups of the repairs and the requests show them: name, series,
    // number and department. Only these are kept: the register's other columns would make
    // this a second full copy of the main list (tens of megabytes on a large register).
    TblIsdel = table(owner, "TblIsdel", "izdel");
    TblIsdel->addField(QStringLiteral("id"), FieldType::Integer);
    TblIsdel->addField(QStringLiteral("Name"), FieldType::String, 30);
    TblIsdel->addField(QStringLiteral("Seria"), FieldType::String, 12);
    TblIsdel->addField(QStringLiteral("Nomer"), FieldType::String, 15).setDisplayLabel(tr("Номер"));
    TblIsdel->addField(QStringLiteral("otdel"), FieldType::Integer);
    TblIsdel
        ->addLookupField(QStringLiteral("Отдел"), QStringLiteral("otdel"), TblOtdel, QStringLiteral("id"),
                         QStringLiteral("Name"), 65)
        .setDisplayLabel(tr("Отдел"));

    Tblzajav = table(owner, "Tblzajav", "zajav");
    Tblzajav->addField(QStringLiteral("Data"), FieldType::DateTime).setDisplayLabel(tr("Дата"));
    Tblzajav->addField(QStringLiteral("Opis"), FieldType::String, 50)
        .setDisplayLabel(tr("Описание"))
        .setDisplayWidth(30);
    Tblzajav
        ->addLookupField(QStringLiteral("Изделие"), QStringLiteral("izd"), TblIsdel, QStringLiteral("id"),
                         QStringLiteral("Name"), 40)
        .setDisplayLabel(tr("Изделие"))
        .setDisplayWidth(30)
        .setLookupDetail({QStringLiteral("Seria"), QStringLiteral("Nomer")});
    Tblzajav->addField(QStringLiteral("Prim"), FieldType::Memo).setVisible(false);
    Tblzajav->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    Tblzajav->addField(QStringLiteral("izd"), FieldType::Integer).setVisible(false);
    Tblzajav->addField(QStringLiteral("Otdel"), FieldType::Integer).setVisible(false);
    Tblzajav->addField(QStringLiteral("State"), FieldType::Integer).setVisible(false);
    Tblzajav
        ->addLookupField(QStringLiteral("Состояние"), QStringLiteral("State"), TblZStates, QStringLiteral("id"),
                         QStringLiteral("StateName"), 30)
        .setDisplayLabel(tr("Состояние"));
    Tblzajav->addField(QStringLiteral("fio"), FieldType::String, 30)
        .setDisplayLabel(tr("ФИО заявившего"))
        .setVisible(false);
    Tblzajav->addField(QStringLiteral("Phone"), FieldType::String, 13).setDisplayLabel(tr("Телефон")).setVisible(false);
    Tblzajav->addField(QStringLiteral("MayBy"), FieldType::String, 50)
        .setDisplayLabel(tr("Возможная причина"))
        .setVisible(false);
    Tblzajav
        ->addLookupField(QStringLiteral("Отдел"), QStringLiteral("Otdel"), TblOtdel, QStringLiteral("id"),
                         QStringLiteral("Name"), 65)
        .setDisplayLabel(tr("Отдел"))
        .setVisible(false);
    Tblzajav->OnNewRecord = [this](TDataSet &ds) { TblzajavNewRecord(ds); };
}

void SharedDataSets::TblNewRec(TDataSet &dataSet)
{
    // The key is taken the moment the record starts; a cancelled record leaves a gap.
    const int id = m_owner->GetNewId(dataSet.TableName());
    dataSet.FieldByName(QStringLiteral("id"))->setValue(id);
}

void SharedDataSets::TblzajavNewRecord(TDataSet &dataSet)
{
    TblNewRec(dataSet);
    dataSet.FieldByName(QStringLiteral("Data"))->setValue(Seams::today());
}
