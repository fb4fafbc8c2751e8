#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace widgets {

// Runs a button or menu handler. An engine error (kdb::Error) is shown in the error box with
// the engine's message and the handler is left unfinished; kdb::Abort ends it silently; any
// other exception is shown as an error too. No exception ever leaves: none crosses a Qt event.
// Returns true when the handler ran to its end.
bool guarded(const std::function<void()>& handler, QWidget* parent = nullptr);

// Connects a signal to a handler that runs guarded.
template <class Sender, class Signal>
QMetaObject::Connection onSignal(Sender* sender, Signal signal, QObject* context,
                                 std::function<void()> handler)
{
    QWidget* parent = qobject_cast<QWidget*>(context);
    return QObject::connect(sender, signal, context,
                            [handler = std::move(handler), parent]() { guarded(handler, parent); });
}

} // namespace widgets
