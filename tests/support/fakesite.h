#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace uplark {
class RouteTable;
}

// A scripted stand-in for the video site, its upload server and the text
// conversion service, inside the test process, on ephemeral loopback ports.
// Each request is recognised by its first line; once it is complete (header
// plus Content-Length bytes) the fake writes the step's answer pieces 50 ms
// apart (or as the script says), as separate chunks.
class FakeSite : public QObject
{
    Q_OBJECT
public:
    enum Step { Login, UploadPage, MetadataForm, FilePost, Conversion, StepCount };

    // How a step's connection ends once its pieces are written.
    enum class End { Stay, Close, Reset };

    struct Script
    {
        bool silent = false; // read the request, never answer
        QList<QByteArray> pieces;
        End end = End::Stay;
        int interval = 50; // milliseconds between two pieces
    };

    // The default upload form names this host and port.
    static constexpr char UploadHost[] = "upload.invalid";
    static constexpr int UploadFormPort = 8080;

    FakeSite();

    bool start();
    // Points the site host (port 80) and the upload host at the fake.
    void route(uplark::RouteTable &routes) const;
    // The site's address for --site and --conversion-host ("127.0.0.1:PORT"),
    // for a client in another process; the upload form then names the upload
    // server by its address too.
    QString address();
    // Stop listening: new connections are refused, open ones stay.
    void refuseSite() { m_site.close(); }
    quint16 sitePort() const { return m_site.serverPort(); }
    quint16 uploadPort() const { return m_upload.serverPort(); }
    // Aborts the latest upload connection.
    void resetUpload();
    // Sends the upload host to a loopback port whose queue is full: a
    // connection to it stays in its opening phase for a long time.
    bool hangUploads(uplark::RouteTable &routes);

    // Answers by default: the cookie "LOGIN_INFO=fakecookie42", the token
    // "tok123", the upload form with addresser "addr77" and action
    // http://upload.invalid:8080/my_videos_post, "video_id=vid42&...", and
    // the converted texts "T", "D" and "G".
    Script scripts[StepCount];
    QByteArray received[StepCount]; // every byte of the latest request of each step
    int complete[StepCount] = {};   // complete requests of each step
    int uploadConnections = 0;
    // When the first and the latest bytes of the latest file post arrived
    // (milliseconds on `clock`), and how many came with the first.
    QElapsedTimer clock;
    qint64 firstPostByteAt = -1;
    qint64 lastPostByteAt = -1;
    qint64 firstPostBytes = 0;

Q_SIGNALS:
    void requestComplete(FakeSite::Step step);

private:
    struct Connection
    {
        int step = -1; // known once the request line has come
        bool done = false;
        QByteArray start; // bytes before that
    };
    void accept(QTcpServer &server, bool upload);
    void readFrom(QTcpSocket *socket, Connection &c);
    void writePieces(QPointer<QTcpSocket> socket, QList<QByteArray> pieces, End end, int interval);

    QTcpServer m_site;
    QTcpServer m_upload;
    QPointer<QTcpSocket> m_lastUpload;
    QTcpServer m_hanging; // never accepts; m_filler fills its queue
    QTcpSocket m_filler;
};
