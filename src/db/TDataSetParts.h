#pragma once
// What the parts of the dataset (TDataSet*.cpp) share, and nobody else needs.
#include "db/TDataSet.h"

#include <QCoreApplication>

// One condition of a filter: "field op literal".
struct TDataSet::FilterTerm {
    QString field;
    enum Op { Eq, Ne, Lt, Gt, Le, Ge } op = Eq;
    QVariant literal;  // text or number as written
};

namespace DataSetParts {

inline QString tr(const char *text) { return QCoreApplication::translate("TDataSet", text); }

inline bool isText(FieldType t) { return t == FieldType::String || t == FieldType::FixedChar || t == FieldType::Memo; }

// The type a field's values compare as: a lookup's is that of the field it shows.
inline FieldType comparedType(const TField *f)
{
    if (f->isLookup() && f->LookupDataSet())
        if (const TField *r = f->LookupDataSet()->FindField(f->LookupResultField()))
            return r->DataType();
    return f->DataType();
}

}  // namespace DataSetParts
