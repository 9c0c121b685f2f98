// Sends one file post through Uplark's own code: the file read straight into
// the request (ReadFilePost), the request handed whole to the connection
// component (TcpConnection), which feeds it to the socket. Prints the times and the
// peak memory above the idle program.
//
//   uplark_bench FILE PORT   (the sink listens on 127.0.0.1:PORT)
#include "site/filepost.h"
#include "site/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <utility>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

// Peak resident memory of this process in kB (VmHWM).
long long peakKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: uplark_bench FILE PORT\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int port = QByteArray(argv[2]).toInt();
    RouteTable routes;
    TcpConnection connection(routes);
    // Warm up what the send uses before taking the idle figure.
    QCoreApplication::processEvents();
    const long long idle = peakKilobytes();

    QElapsedTimer clock;
    clock.start();
    QString error;
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(port) + "/my_videos_post";
    const URLParts target = SplitURL(address);
    QByteArray request = ReadFilePost(
        path, target, {"bench", "Benchmark", "A benchmark upload", "22", "addr", "LOGIN_INFO=x"},
        &error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "uplark_bench: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 requestSize = request.size();
    const qint64 built = clock.nsecsElapsed();

    QByteArray answer;
    qint64 connectedAt = 0;
    int exitCode = 0;
    QObject::connect(&connection, &TcpConnection::connected, &app, [&] {
        connectedAt = clock.nsecsElapsed();
        connection.send(std::exchange(request, QByteArray()));
    });
    QObject::connect(&connection, &TcpConnection::dataArrived, &app, [&] {
        answer += connection.takeReceived();
        if (answer.contains("video_id="))
            app.quit();
    });
    QObject::connect(&connection, &TcpConnection::failed, &app, [&](int, const QString &text) {
        std::fprintf(stderr, "uplark_bench: %s\n", qPrintable(text));
        exitCode = 1;
        app.quit();
    });
    const qint64 sendStart = clock.nsecsElapsed();
    connection.connectTo(u"127.0.0.1"_s, port);
    app.exec();
    const qint64 done = clock.nsecsElapsed();
    if (exitCode != 0)
        return exitCode;
    const long long peak = peakKilobytes();
    std::printf("request_bytes=%lld build_s=%.4f send_s=%.4f total_s=%.4f idle_kb=%lld "
                "peak_kb=%lld above_idle_kb=%lld\n",
                (long long)requestSize, built / 1e9, (done - sendStart) / 1e9, done / 1e9, idle,
                peak, peak - idle);
    Q_UNUSED(connectedAt);
    return 0;
}
