#include "repairs/rashrep.h"

#include "core/DayTime.h"
#include "core/Guard.h"
#include "core/Seams.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

void TFrmRashRep::declareQuery(TDataSet &query)
{
    query.setObjectName(QStringLiteral("qry"));
    // Summed per resource first, so that only those sums are grouped by name and unit (as
    // the program compares texts, on every backend). A line without quantity adds nothing;
    // a resource with no quantity at all in the period shows an empty sum. Listed by name and
    // unit, one order on every backend.
    query.setSQL(QStringLiteral("SELECT resurs.Name, SUM(s.summ) AS summ, resurs.Ed_izmer\n"
                                "FROM (SELECT rem_res.res_id, SUM(rem_res.cnt) AS summ\n"
                                "      FROM remont INNER JOIN\n"
                                "      rem_res ON remont.id = rem_res.rem_id\n"
                                "      WHERE remont.Nach_rem BETWEEN :d0 AND :d1\n"
                                "      GROUP BY rem_res.res_id) s INNER JOIN\n"
                                "resurs ON s.res_id = resurs.id\n"
                                "GROUP BY %1, %2\n"
                                "ORDER BY %3, %4")
                     .arg(query.russianCi(QStringLiteral("resurs.Name")),
                          query.russianCi(QStringLiteral("resurs.Ed_izmer")),
                          TDataSet::orderTerm(query.russianCi(QStringLiteral("resurs.Name"))),
                          TDataSet::orderTerm(query.russianCi(QStringLiteral("resurs.Ed_izmer")))));
    query.addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(tr("Название"));
    query.addField(QStringLiteral("Ed_izmer"), FieldType::String, 12).setDisplayLabel(tr("Ед. изм."));
    query.addField(QStringLiteral("summ"), FieldType::Float).setDisplayLabel(tr("Израсходовано")).setReadOnly(true);
}

ListWindowDecl TFrmRashRep::declaration()
{
    ListWindowDecl d(QStringLiteral("FrmRashRep"), tr("Сумма израсходованных средств"), nullptr);
    d.OwnDataSet = &TFrmRashRep::declareQuery;
    d.Size = QSize(560, 400);
    d.ReadOnly = true;
    d.GridEditable = false;
    // The period is set first; then the window runs the query itself.
    d.OpenOnCreate = false;
    // The report names the period under its title.
    d.ReportHeadingOf = [](const TFrmKl &window) {
        const auto &self = static_cast<const TFrmRashRep &>(window);
        auto day = [](const QDate &d) { return DateText::format(DayTime::of(d)); };
        return ReportHeading{
            tr("На период с %1 по %2").arg(day(self.d0->date()), day(self.d1->date())) + QLatin1Char('\r'), true};
    };
    return d;
}

TFrmRashRep::TFrmRashRep(QWidget *parent) : TFrmKl(declaration(), parent)
{
    qry = DsLoc->DataSet();

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *row = new QHBoxLayout(Panel2);
    row->setContentsMargins(4, 2, 4, 4);
    auto *from = new QLabel(QStringLiteral("C"), Panel2);  // a Latin C, as the window always showed
    from->setObjectName(QStringLiteral("Label1"));
    auto *to = new QLabel(tr("По"), Panel2);
    to->setObjectName(QStringLiteral("Label2"));
    d0 = new QDateEdit(Panel2);
    d0->setObjectName(QStringLiteral("d0"));
    d1 = new QDateEdit(Panel2);
    d1->setObjectName(QStringLiteral("d1"));
    for (QDateEdit *d : {d0, d1}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(DateText::shortDateFormat());
        d->setMinimumWidth(110);
    }
    from->setBuddy(d0);
    to->setBuddy(d1);
    row->addWidget(from);
    row->addWidget(d0);
    row->addSpacing(8);
    row->addWidget(to);
    row->addWidget(d1);
    row->addStretch();
    windowLayout()->insertWidget(windowLayout()->indexOf(Panel1) + 1, Panel2);

    // Opening: the font is the template's; then today and one calendar month back.
    const QDate today = Seams::today().date();
    {
        const QSignalBlocker b0(d0), b1(d1);
        d1->setDate(today);
        d0->setDate(monthBefore(today));
    }
    Guard::run([this] { d0Change(); });
    for (QDateEdit *d : {d0, d1})
        Guard::connect(d, &QDateEdit::dateChanged, this, [this](QDate) { d0Change(); });
}

QDate TFrmRashRep::monthBefore(const QDate &today) { return today.addMonths(-1); }

void TFrmRashRep::d0Change()
{
    // A failed run leaves the list closed (empty) until the next change of a date.
    qry->Close();
    qry->setParam(QStringLiteral("d0"), DayTime::of(d0->date()));
    qry->setParam(QStringLiteral("d1"), DayTime::of(d1->date()));
    qry->Open();
}
