#include "admin/HistoryAll.h"

#include "core/DayTime.h"
#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "db/TDataSet.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

ListWindowDecl TFrmHistoryAll::declaration(const std::shared_ptr<HistoryTexts> &texts)
{
    ListWindowDecl d(QStringLiteral("FrmHistoryAll"), tr("История изменений"), nullptr);
    d.OwnDataSet = [texts](TDataSet &ds) {
        ds.setObjectName(QStringLiteral("QryHistory"));
        declareHistoryFields(ds, texts, true);
    };
    // The filters are set first.
    d.OpenOnCreate = false;
    d.ReadOnly = true;
    d.GridEditable = false;
    d.NavigatorButtons = DBNavigator::MoveButtons() << DBNavigator::Refresh;
    d.Size = QSize(1240, 560);
    d.ReportHeadingOf = [](const TFrmKl &window) {
        const auto &self = static_cast<const TFrmHistoryAll &>(window);
        QString text = tr("С %1 по %2")
                           .arg(self.DateFrom->date().toString(DateText::shortDateFormat()),
                                self.DateTo->date().toString(DateText::shortDateFormat()));
        if (self.ComboUser->currentIndex() > 0)
            text += tr(", пользователь: %1").arg(self.ComboUser->currentText());
        if (self.ComboTable->currentIndex() > 0)
            text += tr(", таблица: %1").arg(self.ComboTable->currentText());
        return ReportHeading{text, true};
    };
    return d;
}

TFrmHistoryAll::TFrmHistoryAll(QWidget *parent) : TFrmKl(declaration(std::make_shared<HistoryTexts>()), parent)
{
    PanelFilter = createFilterPanel();
    windowLayout()->insertWidget(windowLayout()->indexOf(Panel1) + 1, PanelFilter);
    // Opened anyway by a user who may not: he sees nothing of it.
    if (!session().typeIn(Rights::Administration)) {
        ErrorBox(tr("У Вас нет прав доступа"));
        PanelFilter->setEnabled(false);
        return;
    }
    Guard::run([this] { FilterChange(); });
    Guard::connect(ComboUser, &QComboBox::currentIndexChanged, this, [this](int) { FilterChange(); });
    Guard::connect(ComboTable, &QComboBox::currentIndexChanged, this, [this](int) { FilterChange(); });
    for (QDateEdit *d : {DateFrom, DateTo})
        Guard::connect(d, &QDateEdit::dateChanged, this, [this](QDate) { FilterChange(); });
}

QWidget *TFrmHistoryAll::createFilterPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelFilter"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 4);
    auto labelled = [&](const QString &text, QWidget *control) {
        auto *label = new QLabel(text, panel);
        label->setBuddy(control);
        row->addWidget(label);
        row->addWidget(control);
        row->addSpacing(8);
    };

    ComboUser = new QComboBox(panel);
    ComboUser->setObjectName(QStringLiteral("ComboUser"));
    ComboUser->addItem(tr("Все"));
    if (session().typeIn(Rights::Administration))
        Guard::run([this] {
            TDataSet users;
            users.setSQL(QStringLiteral("select ID, login from users order by %1")
                             .arg(TDataSet::orderTerm(users.russianCi(QStringLiteral("login")))));
            users.Open();
            for (users.First(); !users.Eof(); users.Next())
                ComboUser->addItem(users.Fields().at(1)->AsString(), users.Fields().at(0)->AsInteger());
        });
    labelled(tr("Пользователь"), ComboUser);

    ComboTable = new QComboBox(panel);
    ComboTable->setObjectName(QStringLiteral("ComboTable"));
    ComboTable->addItem(tr("Все"));
    for (const QString &table : RowHistory::tables())
        ComboTable->addItem(RowHistory::tableTitle(table), table);
    labelled(tr("Таблица"), ComboTable);

    DateFrom = new QDateEdit(panel);
    DateFrom->setObjectName(QStringLiteral("DateFrom"));
    DateTo = new QDateEdit(panel);
    DateTo->setObjectName(QStringLiteral("DateTo"));
    const QDate today = Seams::now().date();
    for (QDateEdit *d : {DateFrom, DateTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(DateText::shortDateFormat());
        d->setMinimumWidth(110);
    }
    DateFrom->setDate(today.addDays(-30));
    DateTo->setDate(today);
    labelled(tr("С"), DateFrom);
    labelled(tr("По"), DateTo);
    row->addStretch();
    return panel;
}

void TFrmHistoryAll::FilterChange()
{
    TDataSet *ds = DsLoc->DataSet();
    ds->Close();
    // Whole days, the last one included. Every filter stands in the statement, "all" as a
    // flag: the parameters bound are always the statement's.
    ds->setSQL(historySelect() + QStringLiteral("where h.dt >= :d0 and h.dt < :d1 "
                                                "and (:anyuser = 1 or h.usr = :u) "
                                                "and (:anytable = 1 or h.tblname = :t) "
                                                "order by h.id desc"));
    ds->setParam(QStringLiteral("d0"), DayTime::of(DateFrom->date()));
    ds->setParam(QStringLiteral("d1"), DayTime::of(DateTo->date().addDays(1)));
    ds->setParam(QStringLiteral("anyuser"), ComboUser->currentIndex() > 0 ? 0 : 1);
    ds->setParam(QStringLiteral("u"), ComboUser->currentIndex() > 0 ? ComboUser->currentData().toInt() : 0);
    ds->setParam(QStringLiteral("anytable"), ComboTable->currentIndex() > 0 ? 0 : 1);
    ds->setParam(QStringLiteral("t"),
                 ComboTable->currentIndex() > 0 ? ComboTable->currentData().toString() : QString());
    ds->Open();
}
