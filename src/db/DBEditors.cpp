#include "db/DBEditors.h"

#include "core/Guard.h"

#include <QKeyEvent>

// ---------------------------------------------------------------------------------------
// TFieldDataLink

void TFieldDataLink::setDataSource(TDataSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        connect(source, &TDataSource::dataChange, this, [this](TField *) { emit refresh(); });
        connect(source, &TDataSource::stateChange, this, &TFieldDataLink::refresh);
        connect(source, &TDataSource::dataSetChanged, this, &TFieldDataLink::refresh);
        connect(source, &TDataSource::updateRecord, this, &TFieldDataLink::updateRecord);
    }
    emit refresh();
}

void TFieldDataLink::setDataField(const QString &name)
{
    m_fieldName = name;
    emit refresh();
}

TField *TFieldDataLink::field() const
{
    TDataSet *ds = dataSet();
    return ds ? ds->FindField(m_fieldName) : nullptr;
}

bool TFieldDataLink::canModify() const
{
    TDataSet *ds = dataSet();
    TField *f = field();
    return ds && f && ds->Active() && ds->CanModify() && !f->ReadOnly();
}

bool TFieldDataLink::edit()
{
    TDataSet *ds = dataSet();
    if (!ds)
        return false;
    if (ds->isEditing())
        return true;
    return Guard::run([ds] { ds->Edit(); });
}

// ---------------------------------------------------------------------------------------
// DBEdit

DBEdit::DBEdit(QWidget *parent) : QLineEdit(parent), m_link(new TFieldDataLink(this))
{
    connect(m_link, &TFieldDataLink::refresh, this, [this] {
        if (!m_userModified)
            showField();
    });
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_userModified)
            return;
        // Marked first: entering editing refreshes the editors, which must keep the text.
        m_userModified = true;
        if (!m_link->canModify() || !m_link->edit()) {
            m_userModified = false;
            showField();
        }
    });
    connect(this, &QLineEdit::returnPressed, this, [this] { commit(); });
    connect(m_link, &TFieldDataLink::updateRecord, this, [this](bool *stored) {
        if (!commit())
            *stored = false;
    });
}

void DBEdit::showField()
{
    TField *f = m_link->field();
    TDataSet *ds = m_link->dataSet();
    if (!f || !ds || !ds->Active()) {
        setText(QString());
        setMaxLength(32767);
        QLineEdit::setReadOnly(true);
        return;
    }
    const bool text = f->DataType() == FieldType::String || f->DataType() == FieldType::FixedChar;
    setMaxLength(text && f->Size() > 0 ? f->Size() : 32767);
    QString t = ds->isEditing() || f->isLookup() ? f->AsString() : f->DisplayText();
    if (f->isLookup())
        t = f->DisplayText();
    if (f->DataType() == FieldType::FixedChar)
        t.truncate(TField::unpadded(t).size());
    setText(t);
    QLineEdit::setReadOnly(!m_link->canModify());
}

bool DBEdit::commit()
{
    if (!m_userModified || m_committing)
        return true;
    TField *f = m_link->field();
    if (!f)
        return true;
    m_committing = true;
    const QString t = text();
    const bool ok = Guard::run([&] {
        if (!m_link->dataSet()->isEditing())
            m_link->dataSet()->Edit();
        f->setText(t);
    });
    m_committing = false;
    if (ok) {
        m_userModified = false;
        showField();
    }
    return ok;
}

void DBEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    if (!commit())
        setFocus();  // a value the field refuses keeps the user here
}

void DBEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && m_userModified) {
        m_userModified = false;
        showField();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

DBDateEdit::DBDateEdit(QWidget *parent) : DBEdit(parent) { setPlaceholderText(DateText::shortDateFormat()); }

// ---------------------------------------------------------------------------------------
// DBComboBox

DBComboBox::DBComboBox(QWidget *parent) : QComboBox(parent), m_link(new TFieldDataLink(this))
{
    setEditable(false);
    connect(m_link, &TFieldDataLink::refresh, this, &DBComboBox::showField);
    connect(this, qOverload<int>(&QComboBox::activated), this, &DBComboBox::choose);
}

void DBComboBox::showField()
{
    TField *f = m_link->field();
    const QString t = f ? f->AsString().trimmed() : QString();
    setCurrentIndex(t.isEmpty() ? -1 : findText(t));
    setEnabled(f != nullptr);
}

void DBComboBox::choose(int index)
{
    TField *f = m_link->field();
    if (!f || index < 0)
        return;
    const QString t = itemText(index);
    if (!m_link->canModify() || !m_link->edit() || !Guard::run([&] { f->setText(t); }))
        showField();
}

// ---------------------------------------------------------------------------------------
// DBLookupComboBox

DBLookupComboBox::DBLookupComboBox(QWidget *parent) : QComboBox(parent), m_link(new TFieldDataLink(this))
{
    setEditable(false);
    connect(m_link, &TFieldDataLink::refresh, this, &DBLookupComboBox::showField);
    connect(this, qOverload<int>(&QComboBox::activated), this, &DBLookupComboBox::choose);
}

void DBLookupComboBox::watch(TDataSet *list)
{
    if (m_list)
        disconnect(m_list, nullptr, this, nullptr);
    m_list = list;
    if (list) {
        connect(list, &TDataSet::modelReset, this, &DBLookupComboBox::reloadList);
        connect(list, &TDataSet::rowChanged, this, &DBLookupComboBox::reloadList);
        connect(list, &TDataSet::rowInserted, this, &DBLookupComboBox::reloadList);
        connect(list, &TDataSet::rowRemoved, this, &DBLookupComboBox::reloadList);
    }
    reloadList();
}

void DBLookupComboBox::setDataField(const QString &name)
{
    m_link->setDataField(name);
    TField *f = m_link->field();
    if (f && f->isLookup()) {
        m_keyField = f->LookupKeyFields();
        m_listField = f->LookupResultField();
        watch(f->LookupDataSet());
    }
    showField();
}

void DBLookupComboBox::setListSource(TDataSet *list, const QString &keyField, const QString &listField)
{
    m_keyField = keyField;
    m_listField = listField;
    watch(list);
}

void DBLookupComboBox::reloadList()
{
    const QSignalBlocker block(this);
    clear();
    m_keys.clear();
    if (m_list && m_list->Active()) {
        const TField *key = m_list->FindField(m_keyField);
        const TField *text = m_list->FindField(m_listField);
        if (key && text)
            for (int p = 0; p < m_list->RecordCount(); ++p) {
                const int r = m_list->rowIndexAt(p);
                m_keys.append(key->valueAt(r));
                addItem(text->valueAt(r).toString());
            }
    }
    showField();
}

void DBLookupComboBox::showField()
{
    TField *f = m_link->field();
    if (!f) {
        setCurrentIndex(-1);
        return;
    }
    // The key the record holds: the lookup's key field, or the data field itself.
    TDataSet *ds = m_link->dataSet();
    const TField *keyHolder = f->isLookup() ? ds->FindField(f->KeyFields()) : f;
    const QVariant k = keyHolder ? keyHolder->value() : QVariant();
    int idx = -1;
    if (k.isValid())
        for (int i = 0; i < m_keys.size(); ++i)
            if (m_keys.at(i).toString() == k.toString()) {
                idx = i;
                break;
            }
    const QSignalBlocker block(this);
    setCurrentIndex(idx);
}

void DBLookupComboBox::choose(int index)
{
    TField *f = m_link->field();
    if (!f || index < 0 || index >= m_keys.size())
        return;
    TDataSet *ds = m_link->dataSet();
    TField *keyHolder = f->isLookup() ? ds->FindField(f->KeyFields()) : f;
    const QVariant key = m_keys.at(index);
    if (!m_link->canModify() || !m_link->edit() || !Guard::run([&] { keyHolder->setValue(key); }))
        showField();
}

// ---------------------------------------------------------------------------------------
// DBMemo

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent), m_link(new TFieldDataLink(this))
{
    // Tab moves on to the next control, as in every other editor of a form; notes have no
    // use for tab characters, and a keyboard user must be able to leave the memo.
    setTabChangesFocus(true);
    connect(m_link, &TFieldDataLink::updateRecord, this, [this](bool *stored) {
        if (!commit())
            *stored = false;
    });
    connect(m_link, &TFieldDataLink::refresh, this, [this] {
        if (!m_userModified)
            showField();
    });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_updating || m_userModified)
            return;
        m_userModified = true;
        if (!m_link->canModify() || !m_link->edit()) {
            m_userModified = false;
            showField();
        }
    });
}

namespace {

// The editor knows only LF; the stored notes break their lines with CR LF.
QString asEdited(const QString &stored)
{
    QString t = stored;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

}  // namespace

void DBMemo::showField()
{
    TField *f = m_link->field();
    m_updating = true;
    const QString t = f ? asEdited(f->AsString()) : QString();
    if (toPlainText() != t)
        setPlainText(t);
    m_updating = false;
    QPlainTextEdit::setReadOnly(!m_link->canModify());
}

bool DBMemo::commit()
{
    if (!m_userModified)
        return true;
    TField *f = m_link->field();
    if (!f)
        return true;
    const QString typed = toPlainText();
    bool ok = true;
    // Text the user left as it was keeps its stored bytes, whatever its line breaks.
    if (typed != asEdited(f->AsString())) {
        QString t = typed;
        t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        ok = Guard::run([&] {
            if (!m_link->dataSet()->isEditing())
                m_link->dataSet()->Edit();
            f->setText(t);
        });
    }
    if (ok) {
        m_userModified = false;
        showField();
    }
    return ok;
}

void DBMemo::focusOutEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusOutEvent(e);
    if (!commit())
        setFocus();
}

// ---------------------------------------------------------------------------------------
// DBText

DBText::DBText(QWidget *parent) : QLabel(parent), m_link(new TFieldDataLink(this))
{
    connect(m_link, &TFieldDataLink::refresh, this, [this] {
        TField *f = m_link->field();
        setText(f ? f->DisplayText() : QString());
    });
}
