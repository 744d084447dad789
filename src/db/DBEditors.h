#pragma once
// Editors bound to a field of a data source's current record. They show the field's
// text, follow every change of the record, put the dataset into editing when the user
// changes something, and store the value when the user leaves the editor. A value the
// field refuses is shown by the general error display and the editor keeps the focus.
//
//     auto *e = new DBEdit(this);
//     e->setDataSource(DsLoc);
//     e->setDataField("Name");        // accepts at most the field's size
#include "db/TDataSet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

// The connection of one editor to one field.
class TFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TFieldDataLink(QObject *parent) : QObject(parent) {}
    void setDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    void setDataField(const QString &name);
    const QString &DataField() const { return m_fieldName; }
    TDataSet *dataSet() const { return m_source ? m_source->DataSet() : nullptr; }
    TField *field() const;
    // The field can be changed by the user now or after Edit.
    bool canModify() const;
    // Puts the dataset into editing (through the general error display).
    bool edit();

signals:
    // The record, the data or the field changed: the editor shows the field again.
    void refresh();
    // The dataset is about to post or move: the editor stores a typed value now, and sets
    // *stored to false when the field refuses it (TDataSet::UpdateRecord).
    void updateRecord(bool *stored);

private:
    QPointer<TDataSource> m_source;
    QString m_fieldName;
};

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source) { m_link->setDataSource(source); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    TField *field() const { return m_link->field(); }
    // Stores a changed text in the field; false (error shown) when the field refuses it.
    bool commit();

protected:
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    virtual void showField();

    TFieldDataLink *m_link;
    bool m_userModified = false;
    bool m_committing = false;
};

// A date (and time) in the short date format; a text that is not a date is refused.
class DBDateEdit : public DBEdit {
    Q_OBJECT
public:
    explicit DBDateEdit(QWidget *parent = nullptr);
};

// A drop-down of a fixed list of texts; choosing one stores it.
class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source) { m_link->setDataSource(source); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    TField *field() const { return m_link->field(); }
    // Shows the entry equal to the field's text (blanks around it ignored), or none.
    void showField();

private:
    void choose(int index);
    TFieldDataLink *m_link;
};

// A drop-down of the rows of a lookup: either a lookup field's, or a list dataset's
// `listField` stored as its `keyField` into the data field.
class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source) { m_link->setDataSource(source); }
    void setDataField(const QString &name);
    void setListSource(TDataSet *list, const QString &keyField, const QString &listField);
    TField *field() const { return m_link->field(); }
    void showField();
    void reloadList();

private:
    void choose(int index);
    void watch(TDataSet *list);
    TFieldDataLink *m_link;
    QPointer<TDataSet> m_list;
    QString m_keyField, m_listField;
    QVariantList m_keys;
};

// A multi-line text; Tab leaves it for the next control.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source) { m_link->setDataSource(source); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    TField *field() const { return m_link->field(); }
    bool commit();

protected:
    void focusOutEvent(QFocusEvent *e) override;

private:
    void showField();
    TFieldDataLink *m_link;
    bool m_updating = false;
    bool m_userModified = false;
};

// A read-only display of the field's text.
class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source) { m_link->setDataSource(source); }
    void setDataField(const QString &name) { m_link->setDataField(name); }

private:
    TFieldDataLink *m_link;
};
