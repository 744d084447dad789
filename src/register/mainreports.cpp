// The equipment reports of the main window: the list to the report window, by mail and to
// a CSV file, the equipment by department, and the record card of the current item.
#include "register/main.h"

#include "core/MsgBox.h"
#include "export/MSWord.h"
#include "export/sg2csv.h"
#include "export/sg2mail.h"
#include "export/sg2word.h"

namespace {

const QString CR = QStringLiteral("\r");

// Every report starts so: false (after the message) when no document can be had.
bool startReport(TMSWord &word)
{
    if (!word.Open()) {
        ErrorBox(TFrmmain::tr("Не могу открыть msWord"));
        return false;
    }
    word.NewDocument();
    return true;
}

void bold(TMSWord &word) { word.Word()->command(QStringLiteral("bold"), {true}); }

}  // namespace

void TFrmmain::ExpToWordExecute()
{
    TMSWord word;
    if (!startReport(word))
        return;
    word.InsertTitle(tr("Список ведомственной огртехники") + CR);
    GridToWord(Grid, Qry, word, false);
    word.Show();
}

void TFrmmain::ExpToMailExecute() { GridToMail(windowTitle(), Grid, Qry, true); }

void TFrmmain::ExpToExcelExecute() { GridToCSV(windowTitle(), Grid, Qry, true); }

void TFrmmain::ActPrintCardExecute()
{
    TMSWord word;
    if (!startReport(word))
        return;
    const auto text = [this](const char *field) { return Qry->FieldByName(QString::fromLatin1(field))->AsString(); };
    // Bold is sent twice around the title; what that makes of it is the document's affair.
    bold(word);
    word.InsertTitle(tr("Учетная карточка") + CR);
    bold(word);
    word.InsertTitle(text("Proizvod") + QStringLiteral(" : ") + text("Name") + CR);
    word.InsertTitle(tr("Номер :") + text("Nomer") + tr(" Серия :") + text("Seria") + CR);
    for (const QString &field : {QStringLiteral("D_vup"), QStringLiteral("Состояние"), QStringLiteral("Отдел"),
                                 QStringLiteral("form"), QStringLiteral("Resurs"), QStringLiteral("Info")})
        FieldToWord(word, Qry->FieldByName(field), true);
    word.Show();
}

void TFrmmain::ViewTechOnOtdelExecute()
{
    TMSWord word;
    if (!startReport(word))
        return;
    word.InsertTitle(tr("Список техники по отделам") + CR);

    // The view lists every item with its department, ordered by department name; the view
    // cannot name the program's text order, so the query asks for it again.
    TDataSet view(this);
    view.setObjectName(QStringLiteral("TblTechOnOtdels"));
    view.setSQL(QStringLiteral("select * from VIEWTechOnOtdels order by %1")
                    .arg(TDataSet::orderTerm(view.russianCi(QStringLiteral("Name")))));
    view.addField(QStringLiteral("Otdel"), FieldType::Integer);
    view.addField(QStringLiteral("Name"), FieldType::String, 65);
    view.addField(QStringLiteral("izd"), FieldType::String, 76).setReadOnly(true);
    view.Open();
    const TField *otdel = view.FieldByName(QStringLiteral("Otdel"));
    const TField *name = view.FieldByName(QStringLiteral("Name"));
    const TField *izd = view.FieldByName(QStringLiteral("izd"));
    int previous = -1;
    for (view.First(); !view.Eof(); view.Next()) {
        // An item without department reads 0 and gets a heading of its own.
        const int key = otdel->AsInteger();
        if (key != previous) {
            bold(word);  // on before every heading and never off again
            word.InsertTitle(tr("Отдел:") + name->AsString() + CR);
            previous = key;
        }
        word.Insert(izd->AsString() + CR);
    }
    view.Close();
    word.Show();
}
