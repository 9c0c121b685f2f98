// The requests of the upload chain byte for byte, the scanners of its
// answers as they grow and of the conversion service's, the split of the
// upload address, the progress figures and the number formats.
#include "engine/protocol/filepost.h"
#include "engine/protocol/login.h"
#include "engine/protocol/markers.h"
#include "engine/protocol/textconversion.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/uploadpage.h"
#include "engine/protocol/uploadresult.h"
#include "engine/protocol/uploadtarget.h"
#include "engine/texts/numbers.h"
#include "engine/texts/progress.h"

#include "uplark_config.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using namespace uplark;

using Scanner = std::optional<QByteArray> (*)(const QByteArray &);
Q_DECLARE_METATYPE(Scanner)

namespace {

const QByteArray UserAgent = "User-Agent: Uplark 1.0 (" + QByteArray(ConversionHost) + ")";

QByteArray lines(const QByteArrayList &list)
{
    return list.join("\r\n");
}

// Form parts from "name=value" items, each closed by a boundary line; an item
// without "=" is a part with its header line only.
QByteArray formParts(const QByteArrayList &items)
{
    QByteArrayList l{"--Xu02=$"};
    for (const QByteArray &item : items) {
        const qsizetype eq = item.indexOf('=');
        l << "Content-Disposition: form-data; name=\"" + item.left(eq < 0 ? item.size() : eq) + '"'
          << "";
        if (eq >= 0)
            l << item.mid(eq + 1);
        l << "--Xu02=$";
    }
    return lines(l);
}

// The split of an address as "scheme|host|port|path|query".
std::optional<QByteArray> splitParts(const QByteArray &address)
{
    const UrlParts p = splitUrl(address);
    return p.scheme + '|' + p.host + '|' + QByteArray::number(p.port) + '|' + p.path + '|'
           + p.query;
}

} // namespace

class TestUploadExchanges : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requests();
    void scanners_data();
    void scanners();
    void answersAsTheyGrow_data();
    void answersAsTheyGrow();
    void uploadVerdict_data();
    void uploadVerdict();
    void conversionAnswer_data();
    void conversionAnswer();
    void progress_data();
    void progress();
    void numbers_data();
    void numbers();
};

void TestUploadExchanges::requests()
{
    const QByteArray cookie = "LOGIN_INFO=c00kie";
    const QByteArray accept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    // The login: the password's "&" escaped and counted in the length.
    QCOMPARE(
        loginRequest("site.example", u"u"_s, u"p&"_s),
        lines({"POST /signup?next=/my_account HTTP/1.1", accept, "Accept-Language: en-GB",
               UserAgent, "Content-Length: 86", "Content-Type: application/x-www-form-urlencoded",
               "Host: site.example", "Connection: Keep-Alive", "",
               "current_form=loginForm&next=%2Fmy_account&username=u&password=p%26&"
               "action_login=Log+In",
               "", ""}));

    // The upload page: three CR LF pairs at the end.
    QCOMPARE(uploadPageRequest("site.example", cookie),
             lines({"GET /my_videos_upload HTTP/1.1", accept, "Accept-Language: en-GB",
                    "Cookie: " + cookie, UserAgent, "Host: site.example", "Connection: Keep-Alive",
                    "", "", ""}));

    // The metadata form: a 1347-byte body, CR LF CR LF after it.
    const QByteArray metadata =
        formParts(QByteArray("field_myvideo_title=title&field_myvideo_descr=dd&language=EN&"
                             "field_myvideo_categories=23&field_myvideo_keywords=tags&"
                             "ignore_broadcast_settings=0&field_privacy=public&field_date_mon=0&"
                             "field_date_day=0&field_date_yr=0&location=&allow_comments=Yes&"
                             "allow_comment_ratings=Yes&allow_responses=Yes&allow_ratings=Yes&"
                             "allow_embedding=Yes&allow_syndication=Yes&"
                             "action_upload=Upload a video...")
                      .split('&'))
        + "--";
    QCOMPARE(metadataRequest("site.example", cookie),
             lines({"POST /my_videos_upload HTTP/1.1", accept, "Accept-Language: slm",
                    "Content-Type: multipart/form-data; charset=utf-8; boundary=Xu02=$",
                    "Cookie: " + cookie, UserAgent, "Content-Length: 1347", "Host: site.example",
                    "Connection: Keep-Alive", "", metadata, "", ""}));

    // The file post, with CR, LF, NUL and the boundary in the file.
    const QByteArray file("\r\n--Xu02=$\r\n\0\0\r--Xu02=$--\n\r\n", 27);
    const FilePostFields f{"tag1 tag2", "caf\xc3\xa9", "one\r\ntwo", "22", "addr77", cookie};
    const QByteArray body =
        formParts(QByteArrayList{"field_command=myvideo_submit", "field_myvideo_keywords=" + f.tags,
                                 "field_myvideo_title=" + f.title,
                                 "field_myvideo_descr=" + f.description,
                                 "field_myvideo_categories=" + f.category, "language=EN",
                                 "field_privacy=public", "field_private_share_entities",
                                 "addresser=" + f.addresser}
                  + QByteArray("contact=&field_date_day=0&field_date_yr=0&field_date_mon=0&"
                               "location=&allow_comments=Yes&allow_comment_ratings=Yes&"
                               "allow_responses=Yes&allow_embedding=Yes&allow_offweb&"
                               "allow_ratings=Yes&allow_syndication=Yes")
                        .split('&'))
        + "\r\nContent-Disposition: form-data; name=\"field_uploadfile\"; filename=\"/v/clip\""
          "\r\nContent-Type: video/x-ms-wmv\r\n\r\n"
        + file + "\r\n--Xu02=$--";
    QCOMPARE(buildFilePost(file, splitUrl("http://up.example:8080/x?q=1"), "\"/v/clip\"", f),
             lines({"POST /my_videos_post HTTP/1.1", "Accept: */*", UserAgent, "Host: up.example",
                    "Content-Type: multipart/form-data; boundary=Xu02=$",
                    "Content-Length: " + QByteArray::number(body.size()), "Cookie: " + cookie,
                    "Connection: Keep-Alive", "", body}));
}

void TestUploadExchanges::scanners_data()
{
    QTest::addColumn<Scanner>("scan");
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QByteArray>("found"); // null: nothing found
    const auto row = [](const char *name, Scanner scan, const QByteArray &chunk,
                        const QByteArray &found) { QTest::newRow(name) << scan << chunk << found; };
    using Found = std::optional<QByteArray>;
    const Scanner Cookie = [](const QByteArray &piece) -> Found { return scanLoginCookie(piece); };
    const Scanner Outcome = [](const QByteArray &piece) -> Found {
        return QByteArray::number(int(scanLoginAnswer(piece)));
    };
    const auto Named = [](LoginOutcome outcome) { return QByteArray::number(int(outcome)); };
    // What lies between the first and the second marker "--".
    const Scanner SecondPiece = [](const QByteArray &text) -> Found {
        return splitPiece(text, "--", 1);
    };
    row("token", uploadPageToken, "<script>\nvar gXSRF_token = 'Ab9_x';\nvar o = 1;", "Ab9_x");
    row("token: the name without the whole opening", uploadPageToken, "gXSRF_token = 'a';", {});
    row("addresser: a value before the name is not it", uploadFormAddresser,
        "<input value=\"wrong\"> addresser value=\"right\">", "right");
    row("addresser without a value", uploadFormAddresser, "<input name=\"addresser\">", {});
    row("action", uploadFormAction,
        "<form enctype=\"multipart/form-data\" action=\"http://up:81/post?a=1\" name=\"f\">",
        "http://up:81/post?a=1");
    row("action before the enctype", uploadFormAction,
        "<form action=\"http://u/p\" enctype=\"multipart/form-data\" name=\"f\">", {});
    const Scanner VideoId = [](const QByteArray &answer) { return scanVideoId(answer); };
    row("video id cut at &", VideoId, "HTTP/1.1 200 OK\r\n\r\nvideo_id=abc123&x=1", "abc123");
    row("VIDEO_ID in upper case", VideoId, "VIDEO_ID=abc&", {});
    // The upload address split into its parts.
    row("all parts", splitParts, "http://up.example:8080/my_videos_post?a=1&b=2",
        "http|up.example|8080|/my_videos_post|a=1&b=2");
    row("port but no slash: all of it is the host", splitParts, "http://up.example:8080",
        "http|up.example:8080|0|/|");
    row("no scheme", splitParts, "h:81/post", "|h|81|/post|");
    row("port beyond TCP", splitParts, "http://h:70000/p", "http|h|0|/p|");
    // The login answer.
    row("login: rejection wins over cookie", Outcome,
        "Set-Cookie: LOGIN_INFO=abc\r\n\r\nPlease check your username",
        Named(LoginOutcome::CheckYour));
    row("login: first rejection in marker order wins", Outcome,
        "Sorry, your login was incorrect. You had too many", Named(LoginOutcome::TooManyFailures));
    row("login: other case ignored", Outcome,
        "login_info=1 PLEASE CHECK YOUR sorry, your login was incorrect.",
        Named(LoginOutcome::NoDecision));
    row("cookie with attributes", Cookie,
        "HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=s3ss10n; path=/; HttpOnly\r\n"
        "Location: /my_account\r\n\r\n",
        "LOGIN_INFO=s3ss10n");
    row("cookie cut at the second marker", Cookie, "LOGIN_INFO=aLOGIN_INFO=b", "LOGIN_INFO=a");
    // A control character ends the cookie: nothing after it reaches a request.
    row("cookie: bare LF before a header of the site's choosing", Cookie,
        "Set-Cookie: LOGIN_INFO=abc\nHost: evil.example\r\n", "LOGIN_INFO=abc");
    row("cookie: NUL", Cookie, QByteArray("LOGIN_INFO=ab\0cd; path=/;", 25), "LOGIN_INFO=ab");
    // What a watch address may carry of a video id.
    const Scanner Safe = [](const QByteArray &id) -> Found {
        return QByteArray(isAddressSafe(id) ? "safe" : "refused");
    };
    row("id: letters, digits, -_ and an escape", Safe, "Ab-9_%41", "safe");
    row("id: terminal escape", Safe, "\x1b]0;X\x07", "refused");
    row("id: space, quote or <", Safe, "a b\"<", "refused");
    row("id: % without two hex digits", Safe, "a%4", "refused");
    row("id: byte outside ASCII", Safe, "caf\xc3\xa9", "refused");
    row("id: empty", Safe, "", "refused");
    // Pieces between markers: occurrences do not overlap.
    row("piece: overlapping occurrences", SecondPiece, "a---b", "-b");
}

void TestUploadExchanges::scanners()
{
    QFETCH(Scanner, scan);
    QFETCH(QByteArray, chunk);
    QFETCH(QByteArray, found);
    const std::optional<QByteArray> value = scan(chunk);
    QCOMPARE(value.has_value(), !found.isNull());
    if (value)
        QCOMPARE(*value, found);
}

void TestUploadExchanges::answersAsTheyGrow_data()
{
    // An answer in pieces: the scanner finds nothing until the piece
    // numbered `from` (counted from 1) has come, then the value, whatever
    // the pieces after it hold.
    QTest::addColumn<Scanner>("scan");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<int>("from"); // 0: never
    QTest::addColumn<QByteArray>("found");
    const auto row = [](const char *name, Scanner scan, const QByteArrayList &pieces, int from,
                        const QByteArray &found) {
        QTest::newRow(name) << scan << pieces << from << found;
    };
    using Found = std::optional<QByteArray>;
    const Scanner LoggedIn = [](const QByteArray &answer) -> Found {
        if (scanLoginAnswer(answer) != LoginOutcome::LoggedIn)
            return std::nullopt;
        return scanLoginCookie(answer);
    };
    const Scanner Rejected = [](const QByteArray &answer) -> Found {
        const LoginOutcome outcome = scanLoginAnswer(answer);
        if (outcome == LoginOutcome::NoDecision || outcome == LoginOutcome::LoggedIn)
            return std::nullopt;
        return QByteArray::number(int(outcome));
    };
    const Scanner VideoId = [](const QByteArray &answer) { return scanVideoId(answer); };
    row("video id: cut inside the id", VideoId, {"video_id=Vid", "_777x&status=ok"}, 2, "Vid_777x");
    row("video id: cut inside the marker", VideoId, {"vid", "eo_id=a1&"}, 2, "a1");
    row("video id: ended by a second marker", VideoId, {"video_id=a", "bvideo_id=c&"}, 2, "ab");
    row("token: cut inside its closing", uploadPageToken, {"var gXSRF_token = 'Ab9", "_x'", ";\n"},
        3, "Ab9_x");
    row("token: cut inside the opening", uploadPageToken, {"var gXSRF_to", "ken = 'T';"}, 2, "T");
    row("action: cut before its end", uploadFormAction,
        {"<form enctype=\"multipart/form-data\" action=\"http://up:81/p", "ost\" na", "me=\"f\">"},
        3, "http://up:81/post");
    row("addresser: cut inside the value", uploadFormAddresser,
        {"<input name=\"addresser\" value=\"ad", "dr77\">"}, 2, "addr77");
    row("addresser: no value before the next one", uploadFormAddresser,
        {"<label for=\"addresser\">", "<input name=\"addresser\" value=\"a\">"}, 0, {});
    row("cookie: whole only at its line's end", LoggedIn,
        {"Set-Cookie: LOGIN_I", "NFO=ab", "c; path=/; HttpOnly\r\n"}, 3, "LOGIN_INFO=abc");
    row("rejection split between pieces", Rejected, {"Please che", "ck your name"}, 2,
        QByteArray::number(int(LoginOutcome::CheckYour)));
    // Markers that overlap: a value is not taken while an opening marker that
    // begins before the closing one's end could still complete.
    const Scanner Overlapping = [](const QByteArray &text) {
        return completeBetween(text, "<ab", "a");
    };
    row("overlapping markers", Overlapping, {"<abx<a", "b"}, 2, "x");
}

void TestUploadExchanges::answersAsTheyGrow()
{
    QFETCH(Scanner, scan);
    QFETCH(QByteArrayList, pieces);
    QFETCH(int, from);
    QFETCH(QByteArray, found);
    QByteArray answer;
    for (int i = 1; i <= pieces.size(); ++i) {
        answer += pieces.at(i - 1);
        const std::optional<QByteArray> value = scan(answer);
        QVERIFY2(value.has_value() == (from > 0 && i >= from), qPrintable(QString::number(i)));
        if (value)
            QCOMPARE(*value, found);
    }
}

void TestUploadExchanges::uploadVerdict_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("verdict"); // "waiting", "id ID", "5xx STATUS", "none STATUS"
    const QByteArray ok = "HTTP/1.1 303 See Other\r\n";
    QTest::newRow("cut after the status line: the id still comes")
        << QByteArrayList{ok, "Location: /x?video_id=v1&s=ok\r\n\r\n"} << false << u"id v1"_s;
    QTest::newRow("status line alone: waiting") << QByteArrayList{ok} << false << u"waiting"_s;
    QTest::newRow("5xx as soon as its status has come")
        << QByteArrayList{"HTTP/1.1 507 ", "Insufficient Storage\r\n\r\nvideo_id=x&"} << false
        << u"5xx 507"_s;
    QTest::newRow("status cut inside its digits: waiting")
        << QByteArrayList{"HTTP/1.1 50"} << false << u"waiting"_s;
    QTest::newRow("interim 100 passed over")
        << QByteArrayList{"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 500 Oops\r\n"} << false
        << u"5xx 500"_s;
    QTest::newRow("whole by Content-Length, no id")
        << QByteArrayList{"HTTP/1.1 413 Too Large\r\ncontent-length: 4\r\n\r\n", "full"} << false
        << u"none 413"_s;
    QTest::newRow("id running to the end of a whole answer")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nvideo_id=ab"} << false
        << u"id ab"_s;
    QTest::newRow("whole once its last chunk has come")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "4\r\nvide\r\n",
                          "3;x=y\r\no_i\r\n0\r\n", "\r\n"}
        << false << u"none 200"_s;
    QTest::newRow("bytes past its Content-Length are not the answer's")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", "video_id=x&"} << false
        << u"none 200"_s;
    QTest::newRow("closed before its Content-Length: cut off")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nvideo_id=ab"} << true
        << u"waiting"_s;
    QTest::newRow("no status line, closed")
        << QByteArrayList{"<p>no id</p>"} << true << u"none 0"_s;
    QTest::newRow("no status line, id whole")
        << QByteArrayList{"video_id=q&"} << false << u"id q"_s;
}

void TestUploadExchanges::uploadVerdict()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, closed);
    ReceivedAnswer answer;
    for (const QByteArray &piece : pieces)
        answer.append(piece);
    const UploadVerdict v = scanUploadAnswer(answer, closed);
    using Kind = UploadVerdict::Kind;
    const QString text = v.kind == Kind::Waiting       ? u"waiting"_s
                         : v.kind == Kind::VideoId     ? u"id "_s + QString::fromLatin1(v.videoId)
                         : v.kind == Kind::ServerError ? u"5xx "_s + QString::number(v.status)
                                                       : u"none "_s + QString::number(v.status);
    QTEST(text, "verdict");
}

void TestUploadExchanges::conversionAnswer_data()
{
    QTest::addColumn<QByteArray>("section"); // an answer section
    QTest::addColumn<QByteArray>("result");  // the bytes that section yields
    QTest::newRow("tokens") << QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_][_ULK-AMP_][_ULK-CRLF_]x")
                            << QByteArray("50% &\r\nx");
    // The escapes in every case are the percent decoding's own table.
    QTest::newRow("escapes") << QByteArray("%41%62c%e9%zz%4") << QByteArray("Abc\xE9%zz%4");
    QTest::newRow("plain spaces and breaks")
        << QByteArray("a b\r\nc\nd") << QByteArray("a b\r\nc\nd");
}

void TestUploadExchanges::conversionAnswer()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, result);
    // The sections in another order than asked, among other text.
    const QByteArray answer = "<html><TAGS>" + section + "</TAGS>\r\n<TITLE>" + section
                              + "</TITLE><DSCR>" + section + "</DSCR></html>";
    QVERIFY(hasConversionSections(answer));
    const ConvertedTexts t = readConversionAnswer(answer);
    QCOMPARE(t.title, result);
    QCOMPARE(t.description, result);
    QCOMPARE(t.tags, result);
    // Without "</TAGS>" the tags run to the end of the answer.
    QCOMPARE(readConversionAnswer("<TITLE></TITLE><DSCR></DSCR><TAGS>" + section).tags, result);
    // A page without the sections, such as a server's "not found", is no answer.
    QVERIFY(!hasConversionSections("<html>" + section + "</html>"));
}

void TestUploadExchanges::progress_data()
{
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("previousBar");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("view"); // bar|percent|kilobyte line[|finished]
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const qint64 MiB = 1048576;
    QTest::newRow("the locale's separator while uploading")
        << qint64(2000000) << qint64(5000000) << 0 << QLocale(QLocale::German, QLocale::Germany)
        << u"40|40%|1.953 Kb uploaded so far, remaining 2.930 Kb"_s;
    QTest::newRow("513 bytes over: finished, plain digits")
        << MiB + 513 << MiB << 100 << us
        << u"100|100%|1024 Kb uploaded so far, remaining 0 Kb|finished"_s;
    QTest::newRow("past 100: the bar keeps its value")
        << qint64(100501) << qint64(100000) << 98 << us
        << u"98|98%|98 Kb uploaded so far, remaining 0 Kb"_s;
}

void TestUploadExchanges::progress()
{
    QFETCH(qint64, sent);
    QFETCH(qint64, size);
    QFETCH(int, previousBar);
    QFETCH(QLocale, locale);
    const UploadProgressView v = uploadProgress(sent, size, previousBar, locale);
    QTEST(QString::number(v.bar) + u'|' + v.percent + u'|' + v.kilobytes
              + (v.finished ? u"|finished"_s : QString()),
          "view");
}

void TestUploadExchanges::numbers_data()
{
    QTest::addColumn<bool>("inKilobytes"); // otherwise megabytes
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    const auto mb = [](const char *name, qint64 bytes, const QString &en, const QString &de) {
        QTest::newRow(name) << false << bytes << en << de;
    };
    const auto kb = [](const char *name, qint64 bytes, const QString &en, const QString &de) {
        QTest::newRow(name) << true << bytes << en << de;
    };
    mb("MB: largest that rounds to 100", 104862842, u"100"_s, u"100"_s);
    mb("MB: 1.5, one decimal", 1572864, u"1.5"_s, u"1,5"_s);
    // 0.125 MB: the half hundredth goes to the even neighbour.
    mb("MB: half hundredth to even", 131072, u"0.12"_s, u"0,12"_s);
    kb("Kb: 100 MB, grouped", 104857600, u"102,400"_s, u"102.400"_s);
    kb("Kb: one and a half to even 2", 1536, u"2"_s, u"2"_s);
    kb("Kb: negative half to even", -2560, u"-2"_s, u"-2"_s);
}

void TestUploadExchanges::numbers()
{
    QFETCH(bool, inKilobytes);
    QFETCH(qint64, bytes);
    for (const char *column : {"english", "german"}) {
        const QLocale locale = qstrcmp(column, "english") == 0
                                   ? QLocale(QLocale::English, QLocale::UnitedStates)
                                   : QLocale(QLocale::German, QLocale::Germany);
        QTEST(inKilobytes ? groupedNumber(kilobytes(bytes), locale) : megabytesText(bytes, locale),
              column);
    }
}

QTEST_APPLESS_MAIN(TestUploadExchanges)
#include "tst_uploadexchanges.moc"
