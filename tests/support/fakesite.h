#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;
class RouteTable;

// A scripted stand-in for the video site and its upload server, inside the
// test process, on ephemeral loopback ports. Each request is recognised by
// its first line; once it is complete (header plus Content-Length bytes) the
// fake writes the step's answer pieces one by one, 50 ms apart, so that they
// arrive as separate chunks. Tests can push further bytes with send().
class FakeSite : public QObject
{
    Q_OBJECT
public:
    enum Step { Login, UploadPage, MetadataForm, FilePost, StepCount };

    struct Script
    {
        enum Mode {
            Answer, // write `pieces`
            Silent, // read the request, never answer
            Reset,  // abort the connection once the request is complete
        };
        Mode mode = Answer;
        QList<QByteArray> pieces;
        // Upload server only: abort the connection once this many bytes
        // have arrived (before the request is complete); -1 for never.
        qint64 resetAfter = -1;
    };

    // The upload form names this host and port; route() sends it to the
    // fake upload server.
    static constexpr char UploadHost[] = "upload.invalid";
    static constexpr int UploadFormPort = 8080;

    FakeSite();
    ~FakeSite() override;

    bool start();
    // Points the site host (port 80) and the upload host at the fake.
    void route(RouteTable &routes) const;
    // Stops listening on the upload port: connections to it are refused.
    void refuseUploads();
    // Stops listening on the site port; open connections stay.
    void refuseSite();

    quint16 sitePort() const { return m_site.serverPort(); }
    quint16 uploadPort() const { return m_uploadPort; }

    // Answers written by default: the cookie, the token, the upload form with
    // addresser "addr77" and action http://upload.invalid:8080/my_videos_post,
    // and "video_id=vid42&...".
    Script scripts[StepCount];

    // Writes `bytes` on the latest connection of `step`.
    void send(Step step, const QByteArray &bytes);
    // Aborts the latest connection of `step`.
    void reset(Step step);

    // Every byte received on the latest connection of each step.
    QByteArray received[StepCount];
    // Requests of each step seen (complete or not).
    int requests[StepCount] = {};
    // Complete requests of each step.
    int complete[StepCount] = {};
    // Connections accepted on the site and the upload port.
    int siteConnections = 0;
    int uploadConnections = 0;

    static QByteArray stepName(Step step);

Q_SIGNALS:
    void requestComplete(FakeSite::Step step);

private:
    struct Connection;
    void accept(QTcpServer &server, bool upload);
    void readFrom(Connection *c);
    void answer(Connection *c);
    void writePieces(QPointer<QTcpSocket> socket, QList<QByteArray> pieces);

    QTcpServer m_site;
    QTcpServer m_upload;
    quint16 m_uploadPort = 0;
    QList<Connection *> m_connections;
    QPointer<QTcpSocket> m_latest[StepCount];
};

// A loopback port whose listening socket never accepts and whose queue is
// full: a connection to it stays in its opening phase for a long time.
class HangingPort
{
public:
    HangingPort();
    ~HangingPort();
    quint16 port() const { return m_port; }
    bool isValid() const { return m_port != 0; }

private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};
