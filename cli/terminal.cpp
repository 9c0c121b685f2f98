#include "cli/terminal.h"

#include "cli/progressline.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

int interruptPipe[2] = {-1, -1};
volatile std::sig_atomic_t interruptSeen = 0;
struct sigaction previousAction
{ };

extern "C" void onInterrupt(int)
{
    interruptSeen = 1;
    const char byte = 1;
    // The pipe is non-blocking; a full pipe already holds the news.
    [[maybe_unused]] const ssize_t written = ::write(interruptPipe[1], &byte, 1);
}

void writeTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

int terminalColumns(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

QString terminalSafe(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F)
            safe += u"\\x"_s + QString::number(u, 16).rightJustified(2, u'0');
        else if (u >= 0x80 && u <= 0x9F)
            safe += u"\\u00"_s + QString::number(u, 16);
        else
            safe += c;
    }
    return safe;
}

void writeOut(const QString &text)
{
    writeTo(stdout, text);
}

void writeErr(const QString &text)
{
    writeTo(stderr, text);
}

std::optional<QString> readPassword(const QString &prompt, bool *interrupted)
{
    *interrupted = false;
    const bool terminal = isTerminal(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        writeErr(prompt);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            quiet.c_lflag |= ECHONL;
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    // Byte by byte, so that nothing after the line is taken from the input
    // and a Ctrl+C (EINTR) is seen at once.
    QByteArray line;
    bool complete = false;
    for (;;) {
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) {
            if (InterruptWatcher::wasInterrupted()) {
                *interrupted = true;
                break;
            }
            continue;
        }
        if (got <= 0) {
            complete = !line.isEmpty();
            break;
        }
        if (c == '\n') {
            complete = true;
            break;
        }
        line.append(c);
    }
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        if (*interrupted)
            writeErr(u"\n"_s);
    }
    if (!complete || *interrupted)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

StatusLine::StatusLine(bool wanted)
    : m_terminal(wanted && isTerminal(STDERR_FILENO))
{
}

int StatusLine::columns() const
{
    return terminalColumns(STDERR_FILENO);
}

StatusLine::~StatusLine()
{
    finish();
}

void StatusLine::show(const QString &text)
{
    if (!m_terminal)
        return;
    // Back to the line's start, the text, and the rest of the old text erased.
    writeErr(u"\r"_s + fitToWidth(terminalSafe(text), columns()) + u"\x1b[K"_s);
    m_open = true;
}

void StatusLine::finish()
{
    if (!m_open)
        return;
    writeErr(u"\n"_s);
    m_open = false;
}

void StatusLine::clear()
{
    if (!m_open)
        return;
    writeErr(u"\r\x1b[K"_s);
    m_open = false;
}

InterruptWatcher::InterruptWatcher(QObject *parent)
    : QObject(parent)
{
    interruptSeen = 0;
    if (::pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(interruptPipe[0], bytes, sizeof bytes) > 0) { }
        Q_EMIT interrupted();
    });
    struct sigaction action
    { };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read of the terminal returns with EINTR.
    action.sa_flags = 0;
    ::sigaction(SIGINT, &action, &previousAction);
}

InterruptWatcher::~InterruptWatcher()
{
    ::sigaction(SIGINT, &previousAction, nullptr);
    delete m_notifier;
    if (interruptPipe[0] >= 0) {
        ::close(interruptPipe[0]);
        ::close(interruptPipe[1]);
        interruptPipe[0] = interruptPipe[1] = -1;
    }
}

bool InterruptWatcher::wasInterrupted()
{
    return interruptSeen != 0;
}

} // namespace uplark
