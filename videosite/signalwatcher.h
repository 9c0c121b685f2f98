#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace videosite {

// Turns the Unix signals it watches into a Qt signal on the event loop. The
// signal handler only writes the signal number into a pipe; everything else
// happens when the event loop reads it.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void signalReceived(int signalNumber);

private:
    static void handle(int signalNumber);
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    QList<int> m_signals;
};

} // namespace videosite
