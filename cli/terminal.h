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

// The width of the terminal on `fd` in columns; $COLUMNS or 80 when it
// does not say.
int terminalColumns(int fd);

// The text with every control character (C0, DEL and C1) written as an
// escape such as "\x1b", so that nothing a site or a file name supplies can
// act on the terminal.
QString terminalSafe(const QString &text);

// Writes `text` to standard output or standard error as UTF-8, at once.
void writeOut(const QString &text);
void writeErr(const QString &text);

// A password from standard input: typed without echo after `prompt` (on
// standard error) when standard input is a terminal, otherwise the first
// line read from it. The line end is not part of it. Nothing when standard
// input ended before a line or Ctrl+C was pressed (`interrupted` then says
// so); the terminal's echo is restored in every case.
std::optional<QString> readPassword(const QString &prompt, bool *interrupted);

// One line on standard error rewritten in place while it is a terminal
// (and the line is wanted); nothing at all otherwise. Each text is made
// terminal-safe and cut to fit the terminal's width.
class StatusLine
{
public:
    explicit StatusLine(bool wanted = true);
    ~StatusLine();
    bool isShown() const { return m_terminal; }
    // The terminal's width now.
    int columns() const;
    void show(const QString &text);
    // Ends the line and keeps it, so that what follows starts on a line of
    // its own.
    void finish();
    // Erases the line, so that what follows takes its place.
    void clear();

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
