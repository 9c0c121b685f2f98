// The upload chain of the engine against a scripted site in this process,
// with no window: what goes out, in what order, and what is reported; and
// the site named at run time, whose host and port the connections, the Host
// lines and the watch address carry as given.
#include "engine/upload/uploadchain.h"

#include "engine/model/settings.h"
#include "engine/upload/accountcheck.h"
#include "fakesite.h"
#include "engine/net/connection.h"
#include "engine/net/routes.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/filepost.h"
#include "engine/protocol/login.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/uploadpage.h"
#include "engine/protocol/uploadtarget.h"

#include "uplark_config.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace uplark;

Q_DECLARE_METATYPE(FakeSite::End)

namespace {

const QString SiteHostText = QString::fromLatin1(SiteHost);

// The engine with a file to upload and the fake site; what it reports is
// written down as it comes, progress reports counted apart.
struct Rig
{
    explicit Rig(qsizetype fileSize = 300 * 1024, int pause = 20)
    {
        QVERIFY(site.start());
        site.route(routes);
        bytes = QByteArray(fileSize, 'v');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == fileSize);
        chain.setPauseBeforePost(pause);
        QObject::connect(&chain, &UploadChain::stepChanged, &chain, [this](UploadStep step) {
            // In the order of UploadStep.
            events << QStringList{u"connecting"_s, u"logging in"_s, u"uploading"_s, u"preparing"_s}
                          .value(int(step));
        });
        QObject::connect(&chain, &UploadChain::fileAnnounced, &chain,
                         [this](const QString &name, qint64 size) {
                             events << name + u' ' + QString::number(size);
                         });
        QObject::connect(&chain, &UploadChain::progressed, &chain,
                         [this](const UploadProgressView &view) {
                             ++progressReports;
                             lastView = view;
                         });
        QObject::connect(&chain, &UploadChain::finished, &chain,
                         [this](const QString &address) { events << address; });
        QObject::connect(&chain, &UploadChain::failed, &chain,
                         [this](UploadFailure failure, const QString &detail) {
                             failures << int(failure);
                             failureDetail = detail;
                             closedAtFailure = chain.allConnectionsClosed();
                         });
    }

    void start()
    {
        chain.start({u"user"_s, u"secret"_s}, path,
                    {"My clip", "line one\r\nline two", "tag1 tag2", "22"});
    }

    // Nothing open, nothing pending.
    bool stopped() const { return chain.allConnectionsClosed() && !chain.isPostPending(); }

    RouteTable routes; // outlives the chain's connections
    FakeSite site;
    UploadChain chain{routes};
    QTemporaryDir dir;
    QString path = dir.filePath(u"clip.wmv"_s);
    QByteArray bytes;
    QStringList events;
    int progressReports = 0;
    UploadProgressView lastView;
    QList<int> failures;
    QString failureDetail;
    bool closedAtFailure = false;
};

} // namespace

class TestUploadChain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wholeChain();
    void chainEnds_data();
    void chainEnds();
    void chainStops_data();
    void chainStops();
    void answersAreBounded();
    void siteNamedAtRunTime();
};

void TestUploadChain::wholeChain()
{
    // Figures with separators that differ from the C locale's.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Rig r(3000000, 1000);
    // An upload address without a port means port 80.
    r.routes.add(u"upload.invalid"_s, 80, u"127.0.0.1"_s, r.site.uploadPort());
    // Answers in several chunks: markers repeated in later chunks change nothing.
    r.site.scripts[FakeSite::Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=first; path=/;\r\n\r\n",
        "Set-Cookie: LOGIN_INFO=again; path=/;\r\n", "Sorry, your login was incorrect."};
    r.site.scripts[FakeSite::UploadPage].pieces = {
        "x.gXSRF_token = 'partial';", "var gXSRF_token = 'first';", "var gXSRF_token = 'again';"};
    const QByteArray form =
        "<form enctype=\"multipart/form-data\" action=\"http://upload.invalid/p%1\" name=\"f\">";
    r.site.scripts[FakeSite::MetadataForm].pieces = {
        "<input name=\"addresser\" value=\"addrA\">", QByteArray(form).replace("%1", "1"),
        QByteArray(form).replace("%1", "2") + "<input name=\"addresser\" value=\"addrB\">"};
    // The upload answer cut after its status line, inside the marker and
    // inside the id: the whole id is taken once its end has come, and the
    // first complete one wins.
    r.site.scripts[FakeSite::FilePost].pieces = {"HTTP/1.1 303 See Other\r\n",
                                                 "Location: /u?vid",
                                                 "eo_id=vid",
                                                 "42&s=ok\r\n\r\n",
                                                 "<p>no id</p>",
                                                 "video_id=x&"};

    QElapsedTimer clock;
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(r.chain.isPostPending(), 10000);
    clock.start();
    // The post waits a second after the upload form.
    QTRY_COMPARE_WITH_TIMEOUT(r.site.uploadConnections, 1, 5000);
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(r.chain.uploadAnswers().endsWith("video_id=x&"), 15000);
    const QString address = u"http://"_s + SiteHostText + u"/watch?v=vid42"_s;
    QCOMPARE(r.events, (QStringList{u"connecting"_s, u"logging in"_s, u"clip.wmv 3000000"_s,
                                    u"uploading"_s, u"preparing"_s, address}));
    QVERIFY(r.failures.isEmpty());
    QCOMPARE(r.chain.stage(), UploadChain::Stage::Done);
    QCOMPARE(r.lastView.kilobytes, u"2930 Kb uploaded so far, remaining 0 Kb"_s);
    QVERIFY(r.progressReports > 1);
    QCOMPARE(r.chain.loginCookie(), QByteArray("LOGIN_INFO=first"));
    QCOMPARE(r.chain.uploadToken(), QByteArray("first"));
    QCOMPARE(r.chain.uploadAction(), QByteArray("http://upload.invalid/p1"));
    // Every request byte for byte, as the site received it.
    const QByteArray cookie = "LOGIN_INFO=first";
    QCOMPARE(r.site.received[FakeSite::Login], loginRequest(SiteHost, u"user"_s, u"secret"_s));
    QCOMPARE(r.site.received[FakeSite::UploadPage], uploadPageRequest(SiteHost, cookie));
    QCOMPARE(r.site.received[FakeSite::MetadataForm], metadataRequest(SiteHost, cookie));
    QVERIFY(
        r.site.received[FakeSite::FilePost]
        == buildFilePost(r.bytes, splitUrl("http://upload.invalid/p1"), quotedPath(r.path),
                         {"tag1 tag2", "My clip", "line one\r\nline two", "22", "addrA", cookie}));
    QLocale::setDefault(QLocale::c());
}

void TestUploadChain::chainEnds_data()
{
    // Cancel leaves every wait of the chain: the upload stops, every
    // connection is closed and nothing is reported after it.
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("reached"); // requests the site saw, upload connections included
    QTest::newRow("cancel during the login") << u"cancel login"_s << 1;
    QTest::newRow("cancel while the upload page is awaited") << u"cancel page"_s << 2;
    QTest::newRow("cancel while the metadata form is awaited") << u"cancel form"_s << 3;
    QTest::newRow("cancel in the pause before the post") << u"cancel pause"_s << 3;
    QTest::newRow("cancel while the upload server opens") << u"cancel opening"_s << 3;
    QTest::newRow("cancel during the send") << u"cancel send"_s << 4;
    QTest::newRow("cancel while the video id is awaited") << u"cancel id"_s << 4;
    QTest::newRow("site connection refused") << u"refuse site"_s << 0;
    QTest::newRow("upload connection dropped mid-send") << u"drop send"_s << 4;
}

void TestUploadChain::chainEnds()
{
    QFETCH(QString, stage);
    QFETCH(int, reached);
    const bool error = !stage.startsWith(u"cancel"_s);
    Rig r(stage.endsWith(u"send"_s) ? 16 * 1024 * 1024 : 300 * 1024,
          stage == u"cancel pause" ? 1000 : 20);
    bool cancelled = false;
    const auto cancel = [&] {
        r.chain.cancel();
        cancelled = true;
    };
    // Cancels once the site has the request of a step that never answers.
    const auto cancelAt = [&](FakeSite::Step step) {
        r.site.scripts[step].silent = true;
        connect(
            &r.site, &FakeSite::requestComplete, &r.chain,
            [&, step](FakeSite::Step done) {
                if (done == step)
                    cancel();
            },
            Qt::QueuedConnection);
    };
    if (stage == u"cancel login") {
        // The cookie would come in a later chunk.
        r.site.scripts[FakeSite::Login].pieces.prepend("HTTP/1.1 200 OK\r\n");
        connect(&r.site, &FakeSite::requestComplete, &r.chain, cancel, Qt::QueuedConnection);
    } else if (stage == u"cancel page") {
        cancelAt(FakeSite::UploadPage);
    } else if (stage == u"cancel form") {
        cancelAt(FakeSite::MetadataForm);
    } else if (stage == u"cancel id") {
        cancelAt(FakeSite::FilePost);
    } else if (stage == u"cancel pause" || stage == u"cancel opening") {
        if (stage == u"cancel opening")
            QVERIFY(r.site.hangUploads(r.routes));
        connect(&r.chain, &UploadChain::stepChanged, this, [&](UploadStep step) {
            if (step == UploadStep::Uploading)
                QTimer::singleShot(stage == u"cancel pause" ? 0 : 300, &r.chain, cancel);
        });
    } else if (stage == u"cancel send") {
        r.site.scripts[FakeSite::FilePost].silent = true;
        connect(&r.chain, &UploadChain::progressed, this, cancel);
    } else if (stage == u"refuse site") {
        r.site.refuseSite();
    } else {
        connect(&r.chain, &UploadChain::progressed, &r.site, &FakeSite::resetUpload);
    }

    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(cancelled || !r.failures.isEmpty(), 15000);
    QCOMPARE(r.failures, error ? QList<int>{int(UploadFailure::ConnectionError)} : QList<int>());
    QCOMPARE(r.chain.stage(), error ? UploadChain::Stage::Failed : UploadChain::Stage::Idle);
    // The connections are closed before the failure is reported.
    QCOMPARE(r.closedAtFailure, error);
    QVERIFY(r.stopped());
    // Nothing is sent later (bytes already on their way may still land),
    // not even a post that was waiting for its pause.
    QTest::qWait(200);
    const qsizetype received = r.site.received[FakeSite::FilePost].size();
    QTest::qWait(stage == u"cancel pause" ? 1200 : 300);
    QCOMPARE(r.site.received[FakeSite::FilePost].size(), received);
    QCOMPARE(r.site.complete[FakeSite::Login] + r.site.complete[FakeSite::UploadPage]
                 + r.site.complete[FakeSite::MetadataForm] + r.site.uploadConnections,
             reached);
    QCOMPARE(r.failures.size(), error ? 1 : 0);
    QVERIFY(r.events.filter(u"/watch?v="_s).isEmpty());
    // Only a post whose answer was awaited arrived complete.
    QCOMPARE(r.site.complete[FakeSite::FilePost], stage == u"cancel id" ? 1 : 0);
}

void TestUploadChain::chainStops_data()
{
    // Whose answer is replaced (none and staying: silent past a stall
    // limit); -1: the file is gone instead; -2: the upload server never
    // takes the connection.
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<FakeSite::End>("end");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("detail");
    const auto row = [](const char *name, int step, const QByteArrayList &pieces, FakeSite::End end,
                        UploadFailure f, const QString &detail = {}) {
        QTest::newRow(name) << step << pieces << end << int(f) << detail;
    };
    const FakeSite::End stay = FakeSite::End::Stay, close = FakeSite::End::Close;
    row("upload address without a host", FakeSite::MetadataForm,
        {"<form enctype=\"multipart/form-data\" action=\"/post\" name=\"f\">"}, stay,
        UploadFailure::InvalidHost);
    QTest::newRow("file unreadable for the post")
        << -1 << QByteArrayList() << stay << int(UploadFailure::UnreadableFile)
        << u"No such file"_s;
    // The exchange can never get what it waits for: a connection error of
    // its step, named with the host and port it went to.
    const UploadFailure error = UploadFailure::ConnectionError;
    const char *names[] = {"login", "upload page", "metadata form", "upload server"};
    const QString closed = u": the connection was closed before the answer was complete"_s;
    const QString stalled = u": no byte moved for 0.4 s"_s;
    for (int step = FakeSite::Login; step <= FakeSite::FilePost; ++step) {
        const QString where =
            QString::fromLatin1(names[step]) + u" "_s
            + (step == FakeSite::FilePost ? u"upload.invalid:8080"_s : SiteHostText + u":80"_s);
        QTest::addRow("%s: closed at once", names[step])
            << step << QByteArrayList() << close << int(error) << where + closed;
        QTest::addRow("%s: silent past the stall limit", names[step])
            << step << QByteArrayList() << stay << int(error) << where + stalled;
    }
    row("upload server never takes the connection", -2, {}, stay, error,
        u"upload server upload.invalid:8080"_s + stalled);
    row("upload page: reset", FakeSite::UploadPage, {}, FakeSite::End::Reset, error,
        u"upload page "_s + SiteHostText + u":80: "_s);
    row("metadata form: closed after part of an answer", FakeSite::MetadataForm,
        {"HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n<html>"}, close, error, closed);
    // The upload server's answer is judged once it is whole.
    row("answer without video_id, closed", FakeSite::FilePost,
        {"HTTP/1.1 200 OK\r\n\r\n", "VIDEO_ID=abc&"}, close, UploadFailure::NoVideoId,
        u"upload server upload.invalid:8080: the answer (status 200) holds no video id"_s);
    row("answer without video_id, whole by its length", FakeSite::FilePost,
        {"HTTP/1.1 413 Too Large\r\nContent-Length: 5\r\n\r\n", "large"}, stay,
        UploadFailure::NoVideoId, u"(status 413)"_s);
    row("5xx: the site could not store the video", FakeSite::FilePost,
        {"HTTP/1.1 507 Insufficient Storage\r\nContent-Length: 0\r\n\r\n"}, stay,
        UploadFailure::NotStored, u"upload server upload.invalid:8080: status 507"_s);
    row("escape bytes in the video id", FakeSite::FilePost,
        {"HTTP/1.1 303 See Other\r\nLocation: /u?video_id=\x1b]0;X\x07&s=ok\r\n\r\n"}, stay,
        UploadFailure::NoVideoId, u"characters an address cannot hold"_s);
}

void TestUploadChain::chainStops()
{
    QFETCH(int, step);
    QFETCH(QByteArrayList, pieces);
    QFETCH(FakeSite::End, end);
    QFETCH(int, failure);
    QFETCH(QString, detail);
    Rig r;
    if (step == -1) {
        QVERIFY(QFile::remove(r.path));
    } else if (step == -2 || (pieces.isEmpty() && end == FakeSite::End::Stay)) {
        r.chain.setStallLimit(400);
        if (step == -2)
            QVERIFY(r.site.hangUploads(r.routes));
        else
            r.site.scripts[step].silent = true;
    } else {
        r.site.scripts[step].pieces = pieces;
        r.site.scripts[step].end = end;
    }
    QElapsedTimer clock;
    clock.start();
    r.start();
    QTRY_COMPARE_WITH_TIMEOUT(r.failures.size(), 1, 10000);
    if (detail.endsWith(u"no byte moved for 0.4 s"_s))
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(r.failures[0], failure);
    QVERIFY2(r.failureDetail.contains(detail), qPrintable(r.failureDetail));
    // A connection error closes everything before it is reported.
    if (failure == int(UploadFailure::ConnectionError))
        QVERIFY(r.closedAtFailure && r.stopped());
    if (step == FakeSite::Login || step < 0)
        QVERIFY(r.stopped());
    // One report; nothing moves on after it.
    QTest::qWait(200);
    QCOMPARE(r.failures.size(), 1);
    QCOMPARE(r.site.uploadConnections, step == FakeSite::FilePost ? 1 : 0);
    QVERIFY(r.events.filter(u"/watch?v="_s).isEmpty()); // no address
}

void TestUploadChain::answersAreBounded()
{
    Rig r;
    const QByteArray filler(40 * 1024, 'x');
    r.site.scripts[FakeSite::Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=c; path=/;\r\n\r\n", filler, filler + "end"};
    r.site.scripts[FakeSite::FilePost].pieces = {"video_id=v1&", filler, filler, filler + "last"};
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(r.chain.uploadAnswers().endsWith("last"), 15000);
    QTRY_VERIFY(r.chain.loginAnswers().endsWith("end"));
    // The newest 64 KiB of each are kept.
    QCOMPARE(r.chain.loginAnswers().size(), UploadChain::AnswerKept);
    QCOMPARE(r.chain.uploadAnswers().size(), UploadChain::AnswerKept);
    QVERIFY(r.failures.isEmpty());
}

void TestUploadChain::siteNamedAtRunTime()
{
    // A name with a port of its own: connections, Host lines and the watch address carry it.
    Rig r; // its routes lead the upload host of the form to the fake
    // A slow login answer that keeps coming is no stall: the cookie after
    // 900 ms, a line every 300 ms, with a stall limit of 400 ms.
    r.site.scripts[FakeSite::Login].interval = 300;
    r.site.scripts[FakeSite::Login].pieces = {"HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n",
                                              "X-Slow: 2\r\n",
                                              "Set-Cookie: LOGIN_INFO=c; path=/;\r\n\r\n"};
    r.routes.add(u"videos.example"_s, 8123, u"127.0.0.1"_s, r.site.sitePort());
    const QString text = u"Videos.Example:8123"_s;
    SiteAddress at;
    QVERIFY(parseSiteAddress(text, &at, nullptr));
    const QByteArray authority = text.toLatin1();

    // The account check: asked without the spaces around the texts, and
    // stored as typed once the site lets it in.
    SettingsStore settings(r.dir.path());
    AccountCheck check(settings, r.routes, at);
    QSignalSpy checked(&check, &AccountCheck::finished);
    check.start({u" user "_s, u" p&w"_s});
    QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 1, 10000);
    QCOMPARE(checked[0][0].value<LoginOutcome>(), LoginOutcome::LoggedIn);
    QCOMPARE(r.site.received[FakeSite::Login], loginRequest(authority, u"user"_s, u"p&w"_s));
    QVERIFY(check.isStored() && !check.isRunning());
    QCOMPARE(storedAccount(settings).password, u" p&w"_s);

    UploadChain chain(r.routes, at);
    chain.setPauseBeforePost(0);
    chain.setStallLimit(400);
    QSignalSpy finished(&chain, &UploadChain::finished);
    QSignalSpy failed(&chain, &UploadChain::failed);
    chain.start({u"user"_s, u"secret"_s}, r.path, {"t", "d", "g", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 15000);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(finished[0][0].toString(), u"http://"_s + text + u"/watch?v=vid42"_s);
    const QByteArray cookie = chain.loginCookie();
    QCOMPARE(r.site.received[FakeSite::UploadPage], uploadPageRequest(authority, cookie));
    QCOMPARE(r.site.received[FakeSite::MetadataForm], metadataRequest(authority, cookie));
}

QTEST_GUILESS_MAIN(TestUploadChain)
#include "tst_uploadchain.moc"
