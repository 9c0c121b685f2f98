#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;

namespace uplark {

// One window per user and display. The first start listens on a local
// socket; a later start connects, hands over its request (raise the window,
// and take a file when one is given) and ends with the window's answer.
//
// The exchange is one line each way. Asked: "raise\n", or "open " + the
// file's absolute path in UTF-8 + "\n". Answered with one word + "\n":
// "raised" (no file given), "opening" (the window takes the file through
// Browse's checks, and shows what they refuse), "busy" (an upload is under
// way or a dialog is open: the file is not taken).
enum class HandOverAnswer { Raised, Opening, Busy };

// The socket's name for this user and display: in the user's private
// runtime folder where there is one, else a name with the user's id.
QString instanceSocketName();

// The running window's side.
class InstanceServer : public QObject
{
    Q_OBJECT
public:
    // Handles each request: the path (empty: none) in, the answer out.
    using Handler = std::function<HandOverAnswer(const QString &path)>;

    explicit InstanceServer(Handler handler, QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens on `name`; a socket left over by a start that crashed is
    // replaced. False when another window listens there already.
    bool listen(const QString &name);

private:
    void onConnection();

    Handler m_handler;
    QLocalServer *m_server;
};

// A later start's side: hands the request to the window listening on
// `name` and returns its answer; nothing when no window listens, when the
// socket there is another user's, or when it does not answer within
// `timeoutMs`. It blocks, and is meant for start-up,
// before any window of the program exists.
std::optional<HandOverAnswer> handOverToRunningWindow(const QString &name, const QString &path,
                                                      int timeoutMs = 5000);

} // namespace uplark
