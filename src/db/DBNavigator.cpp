#include "db/DBNavigator.h"

#include "core/Guard.h"
#include "core/Seams.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

DBNavigator::Buttons DBNavigator::AllButtons()
{
    return {First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh};
}
DBNavigator::Buttons DBNavigator::ListButtons()
{
    return {First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel};
}
DBNavigator::Buttons DBNavigator::MoveButtons() { return {First, Prior, Next, Last}; }

QStringList DBNavigator::russianHints()
{
    return {tr("К первой записи"),    tr("Предыдущая записи"), tr("Следующая запись"), tr("К последней записи"),
            tr("Добавить запись"),    tr("Удалить"),           tr("Редактировать"),    tr("Сохранить изменения"),
            tr("Отменить изменения"), tr("Обновить данные")};
}

QStringList DBNavigator::standardHints()
{
    return {tr("First record"),  tr("Prior record"), tr("Next record"), tr("Last record"), tr("Insert record"),
            tr("Delete record"), tr("Edit record"),  tr("Post edit"),   tr("Cancel edit"), tr("Refresh data")};
}

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    static const char *const names[ButtonCount] = {"nbFirst",  "nbPrior", "nbNext", "nbLast",   "nbInsert",
                                                   "nbDelete", "nbEdit",  "nbPost", "nbCancel", "nbRefresh"};
    // Glyphs that read the same on every desktop style.
    static const char *const glyphs[ButtonCount] = {"|◀", "◀", "▶", "▶|", "+", "−", "▲", "✓", "✕", "↻"};
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setText(QString::fromUtf8(glyphs[i]));
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::NoFocus);
        b->setMinimumWidth(25);
        lay->addWidget(b);
        m_buttons[i] = b;
        const Button which = Button(i);
        connect(b, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
    }
    setHints(russianHints());
    updateButtons();
}

void DBNavigator::setDataSource(TDataSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        connect(source, &TDataSource::dataChange, this, &DBNavigator::updateButtons);
        connect(source, &TDataSource::stateChange, this, &DBNavigator::updateButtons);
        connect(source, &TDataSource::dataSetChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::setVisibleButtons(const Buttons &buttons)
{
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setVisible(buttons.contains(Button(i)));
}

bool DBNavigator::isButtonVisible(Button b) const { return !m_buttons[b]->isHidden(); }

void DBNavigator::setHints(const QStringList &hints)
{
    m_hints = hints;
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setToolTip(hints.value(i));
}

void DBNavigator::updateButtons()
{
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    const bool active = ds && ds->Active();
    const bool editing = active && ds->isEditing();
    const bool canModify = active && ds->CanModify();
    const bool empty = !active || ds->IsEmpty();
    const bool up = active && !empty && !ds->isFirst();
    const bool down = active && !empty && !ds->isLast();
    m_buttons[First]->setEnabled(up);
    m_buttons[Prior]->setEnabled(up);
    m_buttons[Next]->setEnabled(down);
    m_buttons[Last]->setEnabled(down);
    m_buttons[Insert]->setEnabled(canModify);
    m_buttons[Delete]->setEnabled(canModify && !empty);
    m_buttons[Edit]->setEnabled(canModify && !editing);
    m_buttons[Post]->setEnabled(canModify && editing);
    m_buttons[Cancel]->setEnabled(canModify && editing);
    m_buttons[Refresh]->setEnabled(active && !editing);
}

void DBNavigator::act(Button b)
{
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds)
        return;
    switch (b) {
    case First: ds->First(); break;
    case Prior: ds->Prior(); break;
    case Next: ds->Next(); break;
    case Last: ds->Last(); break;
    case Insert: ds->Insert(); break;
    case Delete:
        if (m_confirmDelete && Seams::dialogs().message(Dialogs::Icon::Question, tr("Confirm"), tr("Delete record?"),
                                                        Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok)
            return;
        ds->Delete();
        break;
    case Edit: ds->Edit(); break;
    case Post: ds->Post(); break;
    case Cancel: ds->Cancel(); break;
    case Refresh: ds->Refresh(); break;
    }
}

void DBNavigator::BtnClick(Button b)
{
    if (!m_buttons[b]->isEnabled())
        return;
    // The button may be pressed while an editor still holds a typed value: let it commit.
    if (QWidget *fw = QApplication::focusWidget())
        fw->clearFocus();
    Guard::run([&] { act(b); });
    updateButtons();
    emit clicked(b);
}
