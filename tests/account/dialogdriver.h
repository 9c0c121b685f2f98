#pragma once

#include "account/form2.h"
#include "app/form1.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>

// A stand-in for the site's login page on an ephemeral loopback port: it keeps
// every complete request and answers each with `answer`, chunk by chunk,
// `gapMs` apart. With no answer it keeps the connection open and silent.
class FakeLoginSite : public QObject
{
public:
    FakeLoginSite()
    {
        listening = server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                ++connections;
                sockets.append(s);
                auto *buffer = new QByteArray;
                connect(s, &QObject::destroyed, this, [buffer] { delete buffer; });
                connect(s, &QTcpSocket::disconnected, this, [this] { ++disconnections; });
                connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
                    *buffer += s->readAll();
                    if (requestComplete(*buffer)) {
                        requests.append(*buffer);
                        buffer->clear();
                        respond(s);
                    }
                });
            }
        });
    }

    quint16 port() const { return server.serverPort(); }

    bool listening = false;
    QList<QByteArray> answer;
    int gapMs = 0;
    bool closeAfterAnswer = false;
    QList<QByteArray> requests;
    int connections = 0;
    int disconnections = 0;
    int chunksSent = 0;
    QList<QPointer<QTcpSocket>> sockets;

private:
    // Headers, the body Content-Length announces and the two CR LF after it.
    static bool requestComplete(const QByteArray &data)
    {
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray marker = "\r\nContent-Length: ";
        const qsizetype at = data.indexOf(marker);
        if (at < 0 || at > end)
            return true;
        const qsizetype lineEnd = data.indexOf("\r\n", at + marker.size());
        const qsizetype length = data.mid(at + marker.size(), lineEnd - at - marker.size()).toLongLong();
        return data.size() >= end + 4 + length + 4;
    }

    void respond(QTcpSocket *s)
    {
        QPointer<QTcpSocket> socket(s);
        for (int i = 0; i < answer.size(); ++i) {
            const QByteArray chunk = answer.at(i);
            const bool last = i == answer.size() - 1;
            QTimer::singleShot(i * gapMs, this, [this, socket, chunk, last] {
                if (!socket || socket->state() != QAbstractSocket::ConnectedState)
                    return;
                socket->write(chunk);
                socket->flush();
                ++chunksSent;
                if (last && closeAfterAnswer)
                    socket->disconnectFromHost();
            });
        }
    }

    QTcpServer server;
};

// Opens the account dialog from the main window's account button, as the
// user does, and runs `drive` on it once it is up. Returns when the dialog has
// closed: false when it had to be closed after `limitMs`, so a test always
// ends.
inline bool OpenAccountDialog(Form1 &main, const std::function<void(Form2 &)> &drive,
                              int limitMs = 20000)
{
    bool timedOut = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (auto *dialog = qobject_cast<Form2 *>(QApplication::activeModalWidget())) {
            poll.stop();
            drive(*dialog);
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &limit, [&] {
        if (auto *dialog = qobject_cast<Form2 *>(QApplication::activeModalWidget())) {
            timedOut = true;
            dialog->reject();
        }
    });
    poll.start();
    limit.start(limitMs);
    QTest::mouseClick(main.Picture2->hotspot(), Qt::LeftButton);
    return !timedOut;
}
