#pragma once
// What a report is written to: the receiver of the word-processor command stream.
// Commands are the word processor's own names with positional arguments:
//   "FileNew"; "Filepagesetup" 6 ints; "Insert" text; "CenterPara"; "LeftPara";
//   "TableInsertTable" 6 ints (2nd = columns, 3rd = rows); "TableColumnWidth" int (points);
//   "CharRight"; "EndOfColumn"; "TableInsertRow"; "TableDeleteRow"; "AppShow"; "bold" bool.
// A sink that cannot carry out a command raises TavrellError.
#include <QString>
#include <QVariantList>

class DocumentSink {
public:
    virtual ~DocumentSink() = default;
    virtual void command(const QString &name, const QVariantList &args = {}) = 0;
};
