#include "desktop/seams/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <iterator>

#include <unistd.h>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// A request or an answer is one short line; anything longer is not one.
constexpr qsizetype MaxLine = 64 * 1024;

QString displayName()
{
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qgetenv("DISPLAY");
    if (display.isEmpty())
        display = qgetenv("QT_QPA_PLATFORM");
    // Only the characters a file name may safely hold.
    QString name;
    for (const char c : display) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                           || (c >= '0' && c <= '9') || c == '.' || c == '-';
        name += plain ? QChar::fromLatin1(c) : QChar(u'_');
    }
    return name.isEmpty() ? u"none"_s : name;
}

const QByteArray AnswerWords[] = {"raised", "opening", "busy"};

// True when the socket at `name` is the user's own: in the shared temporary
// folder another user could have put one there first, to be handed paths
// and to keep this user's window from opening.
bool ownSocket(const QString &name)
{
    const QFileInfo socket(QDir::isAbsolutePath(name) ? name : QDir::temp().filePath(name));
    return socket.exists() && socket.ownerId() == getuid();
}

} // namespace

QString instanceSocketName()
{
    // XDG_RUNTIME_DIR is the user's own (mode 0700); elsewhere the socket
    // lands in the shared temporary folder, where the user's id keeps users
    // apart and the socket is made for its owner alone.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(u"uplark-"_s + displayName());
    return u"uplark-%1-%2"_s.arg(getuid()).arg(displayName());
}

InstanceServer::InstanceServer(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::onConnection);
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listen(const QString &name)
{
    // A window that listens there answers a connection. A socket left over
    // by one that crashed does not, and is replaced. (Listening alone would
    // not tell: a server made for its owner alone replaces any socket file
    // in its place, a live one too.)
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

void InstanceServer::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxLine)
                    socket->abort();
                return;
            }
            QByteArray line = socket->readLine(MaxLine);
            line.chop(1);
            QString path;
            if (line.startsWith("open "))
                path = QString::fromUtf8(line.mid(5));
            else if (line != "raise") {
                socket->abort();
                return;
            }
            socket->write(AnswerWords[int(m_handler(path))] + '\n');
            socket->disconnectFromServer();
        });
    }
}

std::optional<HandOverAnswer> handOverToRunningWindow(const QString &name, const QString &path,
                                                      int timeoutMs)
{
    if (!ownSocket(name))
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    const QByteArray request =
        path.isEmpty() ? QByteArray("raise\n") : "open " + path.toUtf8() + '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return std::nullopt;
    }
    QByteArray answer = socket.readLine(MaxLine);
    answer.chop(1);
    for (int i = 0; i < int(std::size(AnswerWords)); ++i)
        if (answer == AnswerWords[i])
            return HandOverAnswer(i);
    return std::nullopt;
}

} // namespace uplark
