// Sends one file post through Uplark's own code: the file opened and measured
// (FilePostSource), then read slice by slice as the connection component
// (TcpConnection) drains it to the socket. Prints the whole time from opening
// the file to the upload server's answer, the longest the event loop was kept
// from a 5 ms timer meanwhile, and the peak memory above the idle program.
// With a CA file, the post goes over TLS to https://localhost:PORT, trusting
// that authority (the handshake is part of the time).
//
//   uplark_bench FILE PORT [CA_FILE]   (the sink listens on 127.0.0.1:PORT)
#include "engine/net/connection.h"
#include "engine/net/heaptuning.h"
#include "engine/protocol/filepost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTimer>

#include <cstdio>

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
    // As the program does at its start.
    keepTransferBuffersInHeap();
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: uplark_bench FILE PORT [CA_FILE]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int port = QByteArray(argv[2]).toInt();
    const bool tls = argc == 4;
    RouteTable routes;
    if (tls) {
        routes.addAuthorities(QSslCertificate::fromPath(QString::fromLocal8Bit(argv[3])));
        // The certificate names localhost; the sink listens on IPv4.
        routes.add(u"localhost"_s, quint16(port), u"127.0.0.1"_s, quint16(port));
    }
    TcpConnection connection(routes);

    // A 5 ms timer: how late it fires shows how long the event loop was
    // kept busy by the upload.
    constexpr qint64 TickNs = 5'000'000;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    QElapsedTimer sinceTick;
    qint64 worstLateNs = 0;
    bool measuring = false;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        if (measuring)
            worstLateNs = qMax(worstLateNs, sinceTick.nsecsElapsed() - TickNs);
        sinceTick.restart();
    });
    // Warm up what the send uses before taking the idle figure: over TLS,
    // the TLS library and the trusted authorities too.
    if (tls) {
        QSslSocket::supportsSsl();
        routes.trustedAuthorities();
    }
    QCoreApplication::processEvents();
    const long long idle = peakKilobytes();

    QByteArray answer;
    int exitCode = 0;
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

    QElapsedTimer clock;
    clock.start();
    measuring = true;
    sinceTick.start();
    tick.start();
    QString error;
    const QByteArray address = (tls ? "https://localhost:" : "http://127.0.0.1:")
                               + QByteArray::number(port) + "/my_videos_post";
    std::unique_ptr<FilePostSource> post = FilePostSource::open(
        path, quotedPath(path), splitUrl(address),
        {"bench", "Benchmark", "A benchmark upload", "22", "addr", "LOGIN_INFO=x"}, &error);
    if (!post) {
        std::fprintf(stderr, "uplark_bench: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 requestSize = post->size();
    QObject::connect(&connection, &TcpConnection::connected, &app,
                     [&] { connection.send(std::move(post)); });
    const UrlParts target = splitUrl(address);
    connection.connectTo(QString::fromLatin1(target.host), targetPort(target), isTlsTarget(target));
    app.exec();
    const qint64 done = clock.nsecsElapsed();
    // The stretch after the last tick counts as well.
    worstLateNs = qMax(worstLateNs, sinceTick.nsecsElapsed() - TickNs);
    measuring = false;
    if (exitCode != 0)
        return exitCode;
    const long long peak = peakKilobytes();
    std::printf("request_bytes=%lld total_s=%.4f stall_ms=%.2f idle_kb=%lld peak_kb=%lld "
                "above_idle_kb=%lld\n",
                (long long)requestSize, done / 1e9, qMax<qint64>(worstLateNs, 0) / 1e6, idle, peak,
                peak - idle);
    return 0;
}
