#pragma once
// A list window (the toolbar's template) over chosen items of the test database: the
// fields id "Код", Name "Название", Seria "Серия" and Info "Примечание", in id order.
#include "TestSupport.h"
#include "db/TDataSet.h"
#include "lists/klfrm.h"

#include <memory>

class ItemListWindow {
public:
    // `where` selects the items ("id in (101, 103)"); empty for all of them.
    explicit ItemListWindow(const QString &where = QString(), const QString &caption = QStringLiteral("Изделия"))
    {
        QString sql = QStringLiteral("select id, Name, Seria, Info from izdel");
        if (!where.isEmpty())
            sql += QStringLiteral(" where ") + where;
        dataSet.setSQL(sql + QStringLiteral(" order by id"));
        dataSet.setUpdateTable(QStringLiteral("izdel"));
        dataSet.addField(QStringLiteral("id"), FieldType::Integer).setDisplayLabel(QStringLiteral("Код"));
        dataSet.addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(QStringLiteral("Название"));
        dataSet.addField(QStringLiteral("Seria"), FieldType::String, 12).setDisplayLabel(QStringLiteral("Серия"));
        dataSet.addField(QStringLiteral("Info"), FieldType::Memo).setDisplayLabel(QStringLiteral("Примечание"));
        window = std::make_unique<TFrmKl>(ListWindowDecl(QStringLiteral("FrmKl"), caption, &dataSet));
    }

    TFrmKl &w() { return *window; }
    TDBGrid &grid() { return *window->grid; }

    // The grid shows exactly these fields.
    void showColumns(const QStringList &fields, const QList<int> &widths = {})
    {
        for (int i = 0; i < fields.size(); ++i)
            window->grid->addColumn(fields.at(i), QString(), widths.value(i, -1));
    }

    TDataSet dataSet;
    std::unique_ptr<TFrmKl> window;
};
