// The upload job's rules, without any window: what it refuses before
// anything goes out, the conversion of the texts by the stand-in site's
// service, and what becomes of the stored account when the site refuses
// the login.
#include "engine/upload/uploadjob.h"

#include "engine/model/settings.h"
#include "engine/net/curlhttpclient.h"
#include "engine/net/routes.h"
#include "engine/upload/uploadchain.h"
#include "fakesite.h"
#include "siteprocess.h"

#include "uplark_config.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

// A job with its settings in a folder of its own; its connections and its
// conversion requests go through `routes`.
struct Fixture
{
    explicit Fixture(bool withHttp = false)
        : job(settings, withHttp ? &http : nullptr, routes, {})
    {
    }

    QTemporaryDir dir;
    SettingsStore settings{dir.path()};
    RouteTable routes;
    CurlHttpClient http{routes};
    UploadJob job;
};

// The texts from "title|description|category|tags".
VideoTexts texts(const QString &boxes)
{
    const QStringList b = boxes.split(u'|');
    return {b.at(0), b.at(1), b.at(2), b.at(3)};
}

} // namespace

class TestUploadJob : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_site.start(), qPrintable(m_site.errorString())); }
    void refusals_data();
    void refusals();
    void conversion();
    void loginRefused_data();
    void loginRefused();

private:
    SiteProcess m_site;
};

void TestUploadJob::refusals_data()
{
    QTest::addColumn<QString>("check"); // account "user|password", size, or texts
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message"); // empty: taken
    const QString ok;
    const QString maximum = u"This file is %1 MB in size. YouTube allows maximum 100 MB."_s;
    const QString decimal = QLocale::system().decimalPoint();
    const auto row = [](const char *name, const char *check, const QString &input,
                        const QString &message) {
        QTest::newRow(name) << QString::fromLatin1(check) << input << message;
    };
    // An account counts when name and password together have two characters.
    row("no account", "account", u"|"_s, u"You must set your YouTube account first."_s);
    row("one-character name, no password", "account", u"a|"_s,
        u"You must set your YouTube account first."_s);
    row("one character each", "account", u"a|b"_s, ok);
    row("exactly 100 MB", "size", u"104857600"_s, ok);
    row("rounds up to 100.01 MB", "size", u"104862843"_s,
        maximum.arg(u"100"_s + decimal + u"01"_s));
    row("3 GiB: its true size", "size", u"3221225472"_s, maximum.arg(u"3072"_s));
    row("title of spaces", "texts", u"   |D|Comedy|G"_s, u"Please enter a TITLE for your video."_s);
    row("description of spaces", "texts", u"T|  |Comedy|G"_s,
        u"Please enter a meaningful description for your video."_s);
    row("no category", "texts", u"T|D|Please select...|G"_s,
        u"Please select a category for your video."_s);
    row("tags of spaces", "texts", u"T|D|Comedy|  "_s,
        u"Please enter some TAGS in order for your video to be found easily.\r\n\r\n"
        "Seperate your tags by spaces."_s);
    row("category by number, texts at their limits", "texts",
        QString(60, u'x') + u'|' + QString(4999, u'x') + u"|19|"_s + QString(120, u'x'), ok);
    row("title too long", "texts", QString(61, u'x') + u"|D|Comedy|G"_s,
        u"The title may have at most 60 characters."_s);
    row("description too long", "texts", u"T|"_s + QString(5000, u'x') + u"|Comedy|G"_s,
        u"The description may have at most 4999 characters."_s);
}

void TestUploadJob::refusals()
{
    QFETCH(QString, check);
    QFETCH(QString, input);
    QFETCH(QString, message);
    Fixture f;
    std::optional<QString> refusal;
    if (check == u"account") {
        f.job.setAccount({input.section(u'|', 0, 0), input.section(u'|', 1)});
        refusal = f.job.checkAccount();
    } else if (check == u"size") {
        refusal = f.job.checkFileSize(input.toLongLong());
    } else if (const auto problem = f.job.checkVideoTexts(texts(input))) {
        refusal = problem->message;
    }
    QCOMPARE(refusal.value_or(QString()), message);
}

void TestUploadJob::conversion()
{
    // The texts go to the service with "<" and ">" taken out and every line
    // break as CR LF, and come back as the UTF-8 bytes the site is sent; a
    // typed placeholder token comes back as what it stands for.
    Fixture f(true);
    f.routes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s, m_site.sitePort());
    const std::optional<VideoInfo> info = f.job.convertTexts(
        texts(u"50% off & more|caf\u00e9 \u65e5\u672c \U0001F3AC\u2029"
              "2 < 3 + 1 [_ULK-AMP_] %41%62c\n%zz %4|Autos & Vehicles|<a> caf\u00e9"_s));
    QVERIFY(info);
    QCOMPARE(info->title, QByteArray("50% off & more"));
    QCOMPARE(info->description, QByteArray("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC"
                                           "\r\n2  3 + 1 & %41%62c\r\n%zz %4"));
    QCOMPARE(info->tags, QByteArray("a caf\xC3\xA9"));
    QCOMPARE(info->category, QByteArray("2"));
    // What differs from the typed texts, and whether "<" and ">" explain it:
    // the description also lost its typed token.
    const UploadJob::ChangedTexts changed =
        UploadJob::changedTexts(texts(u"50% off & more|a [_ULK-AMP_] b|Music|<a> caf\u00e9"_s),
                                {"50% off & more", "a & b", "a caf\xC3\xA9", "10"});
    QCOMPARE(changed.names, (QStringList{u"description"_s, u"tags"_s}));
    QVERIFY(!changed.onlyAngleBrackets);
    QVERIFY(UploadJob::changedTexts(texts(u"<T>|D|Music|G"_s), {"T", "D", "G", "10"})
                .onlyAngleBrackets);

    // No service at the conversion host, or no way to ask: no information,
    // and why, with the service's host and port.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    f.routes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s,
                 closed.serverPort());
    closed.close();
    QString why;
    QVERIFY(!f.job.convertTexts(texts(u"T|D|Comedy|G"_s), &why));
    QCOMPARE(why, u"text conversion "_s + QString::fromLatin1(ConversionHost)
                      + u":80: Connection refused"_s);
    QVERIFY(!Fixture().job.convertTexts(texts(u"T|D|Comedy|G"_s)));
}

void TestUploadJob::loginRefused_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("forgotten");
    QTest::newRow("rejected: forgotten")
        << QByteArray("Please check your username") << int(UploadFailure::AccountRejected) << true;
    // The site refuses every login for a while, the right one too.
    QTest::newRow("too many login failures: kept")
        << QByteArray("You had too many login failures.")
        << int(UploadFailure::TooManyLoginFailures) << false;
}

void TestUploadJob::loginRefused()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, failure);
    QFETCH(bool, forgotten);
    Fixture f;
    FakeSite site;
    QVERIFY(site.start());
    site.route(f.routes);
    site.scripts[FakeSite::Login].pieces = {"HTTP/1.1 200 OK\r\n\r\n" + answer};
    QVERIFY(storeAccount(f.settings, {u"user"_s, u"secret"_s}));
    f.job.loadAccount();
    QSignalSpy forgets(&f.job, &UploadJob::accountForgotten);
    QList<int> failures;
    bool storedWhileReported = false;
    connect(&f.job, &UploadJob::failed, this, [&](UploadFailure why) {
        failures << int(why);
        storedWhileReported = storedAccount(f.settings).isSet() && f.job.hasAccount();
    });
    f.job.start(f.dir.filePath(u"clip.wmv"_s), {"t", "d", "g", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(failures, QList<int>{failure}, 10000);
    // The failure is reported first, with the account still there.
    QVERIFY(storedWhileReported);
    QVERIFY(f.job.chain().allConnectionsClosed() && !f.job.chain().isPostPending());
    QCOMPARE(forgets.size(), forgotten ? 1 : 0);
    QCOMPARE(f.job.hasAccount(), !forgotten);
    QCOMPARE(storedAccount(f.settings).user, forgotten ? QString() : u"user"_s);
}

QTEST_GUILESS_MAIN(TestUploadJob)
#include "tst_uploadjob.moc"
