#pragma once
// The application's general error display. Qt does not carry exceptions through its
// event loop, so every user action enters the code through Guard::run: an error that the
// action does not catch itself is shown here with its own text and the action stops.
// The window stays open; a row being edited stays in editing (the data layer never
// leaves its state on a failed post).
#include <QString>
#include <functional>

class QObject;

namespace Guard {
// Runs the action; returns false when it raised an error (already shown).
bool run(const std::function<void()> &action);
// Shows an error text in the general error display.
void showError(const QString &text);
// Connects a signal to a guarded action (for buttons, actions, menu entries).
template <typename Sender, typename Signal, typename Fn>
void connect(Sender *sender, Signal signal, QObject *context, Fn fn);
}  // namespace Guard

#include <QObject>
template <typename Sender, typename Signal, typename Fn>
void Guard::connect(Sender *sender, Signal signal, QObject *context, Fn fn)
{
    QObject::connect(sender, signal, context,
                     [fn](auto &&...args) { Guard::run([&] { fn(std::forward<decltype(args)>(args)...); }); });
}
