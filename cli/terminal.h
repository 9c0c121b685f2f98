#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

namespace uplark {

// What the command line needs of the terminal: whether a stream is one,
// a password typed without echo, the one progress line on standard error,
// and Ctrl+C.

bool isTerminal(int fd);

// Writes `text` to standard output or standard error as UTF-8, at once.
void writeOut(const QString &text);
void writeErr(const QString &text);

// A password from standard input: typed without echo after `prompt` (on
// standard error) when standard input is a terminal, otherwise the first
// line read from it. The line end is not part of it. Nothing when standard
// input ended before a line or Ctrl+C was pressed (`interrupted` then says
// so); the terminal's echo is restored in every case.
std::optional<QString> readPassword(const QString &prompt, bool *interrupted);

// One line on standard error rewritten in place while it is a terminal;
// nothing at all otherwise.
class StatusLine
{
public:
    StatusLine();
    ~StatusLine();
    void show(const QString &text);
    // Ends the line, so that what follows starts on a line of its own.
    void finish();

private:
    bool m_terminal;
    bool m_open = false;
};

// Turns SIGINT into the `interrupted` signal, delivered by the event loop.
// The handler only writes a byte to a pipe; only one watcher may exist at a
// time. While it exists, a blocking read of the terminal returns on Ctrl+C
// instead of being restarted.
class InterruptWatcher : public QObject
{
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    // Ctrl+C was pressed since the watcher began.
    static bool wasInterrupted();

Q_SIGNALS:
    void interrupted();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace uplark
