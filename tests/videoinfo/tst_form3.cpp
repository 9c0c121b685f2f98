#include "formfixture.h"
#include "httpstub.h"
#include "platform/curlhttp.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <curl/curl.h>

using namespace Qt::StringLiterals;

namespace {

const QString TagsMessage = u"Please enter some TAGS in order for your video to be found easily."
                            "\r\n\r\nSeperate your tags by spaces."_s;

void fill(Form3 &d, const QString &title, const QString &dscr, int category, const QString &tags)
{
    d.RichTextBox1->setText(title);
    d.RichTextBox2->setPlainText(dscr);
    d.Combo1->setCurrentIndex(category);
    d.RichTextBox3->setText(tags);
}

void showAndActivate(QWidget &w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

void paste(QWidget *box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class TestForm3 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void keyboard();
    void checks_data();
    void checks();
    void categories_data();
    void categories();
    void okSequence();
    void descriptionLineBreaks_data();
    void descriptionLineBreaks();
    void limits_data();
    void limits();
    void leaving_data();
    void leaving();
    void conversionFails_data();
    void conversionFails();
    void conversionFailsOnTheNetwork_data();
    void conversionFailsOnTheNetwork();
    void reopenAfterCancel();
    void fromBrowseToLogin();
};

void TestForm3::keyboard()
{
    MainWindowFixture f;
    Form3 d(*f.main);
    showAndActivate(d);
    QCOMPARE(QApplication::focusWidget(), d.RichTextBox1);

    // Tab order; a tab in the description moves on instead of being typed.
    const QList<QWidget *> order = {d.RichTextBox2, d.Combo1, d.RichTextBox3, d.Picture1,
                                    d.Picture2, d.RichTextBox1};
    for (QWidget *next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QVERIFY(d.RichTextBox2->toPlainText().isEmpty());

    // Access keys move the focus to the box under their caption.
    const QList<std::pair<Qt::Key, QWidget *>> keys = {{Qt::Key_D, d.RichTextBox2},
                                                       {Qt::Key_C, d.Combo1},
                                                       {Qt::Key_A, d.RichTextBox3},
                                                       {Qt::Key_T, d.RichTextBox1}};
    for (const auto &[key, box] : keys) {
        QTest::keyClick(&d, key, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), box);
    }

    // Space on the focused OK button runs OK: here the title check.
    d.Picture1->setFocus();
    QTest::keyClick(d.Picture1, Qt::Key_Space);
    QCOMPARE(f.t.messages.texts(), QStringList{u"Please enter a TITLE for your video."_s});
    QCOMPARE(QApplication::focusWidget(), d.RichTextBox1);
}

void TestForm3::checks_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("dscr");
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("tags");
    QTest::addColumn<QString>("message"); // empty: all checks pass
    QTest::addColumn<QString>("focus");

    const QString title = u"Please enter a TITLE for your video."_s;
    const QString dscr = u"Please enter a meaningful description for your video."_s;
    const QString category = u"Please select a category for your video."_s;
    QTest::newRow("all empty: only the title message") << u""_s << u""_s << 0 << u""_s << title
                                                       << u"RichTextBox1"_s;
    QTest::newRow("title of spaces") << u"   "_s << u"d"_s << 3 << u"t"_s << title
                                     << u"RichTextBox1"_s;
    QTest::newRow("title filled: description next") << u"T"_s << u""_s << 0 << u""_s << dscr
                                                    << u"RichTextBox2"_s;
    QTest::newRow("description of spaces") << u"T"_s << u"  "_s << 3 << u"t"_s << dscr
                                           << u"RichTextBox2"_s;
    QTest::newRow("texts filled, no category") << u"T"_s << u"D"_s << 0 << u"G"_s << category
                                               << u"Combo1"_s;
    QTest::newRow("no tags") << u"T"_s << u"D"_s << 1 << u""_s << TagsMessage
                             << u"RichTextBox3"_s;
    QTest::newRow("tags of spaces") << u"T"_s << u"D"_s << 1 << u"    "_s << TagsMessage
                                    << u"RichTextBox3"_s;
    QTest::newRow("one-letter title passes") << u"x"_s << u"D"_s << 1 << u"G"_s << QString()
                                             << QString();
    QTest::newRow("description of line breaks passes") << u"T"_s << u"\n\n"_s << 1 << u"G"_s
                                                       << QString() << QString();
    QTest::newRow("a tab is not a space") << u"\t"_s << u"\t"_s << 1 << u"\t"_s << QString()
                                          << QString();
    QTest::newRow("title of brackets passes, sent empty") << u"<>"_s << u"D"_s << 1 << u"G"_s
                                                          << QString() << QString();
}

void TestForm3::checks()
{
    QFETCH(QString, title);
    QFETCH(QString, dscr);
    QFETCH(int, category);
    QFETCH(QString, tags);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    MainWindowFixture f;
    AnswerLikeTheService(f.t.http);
    Form3 d(*f.main);
    showAndActivate(d);
    fill(d, title, dscr, category, tags);
    d.Label3_Click();

    if (message.isEmpty()) {
        QVERIFY(f.t.messages.shown.isEmpty());
        QCOMPARE(f.t.http.requests.size(), 1);
        QVERIFY(d.isHidden());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        if (title == u"<>")
            QVERIFY(f.t.http.requests.first().body.startsWith("title=&dscr=D&"));
        return;
    }
    QCOMPARE(f.t.messages.texts(), QStringList{message});
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    QCOMPARE(f.t.messages.shown.first().buttons, MsgButtons::Ok);
    QCOMPARE(f.t.messages.shown.first().title, u"Uplark"_s);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    // Nothing else happened: the dialog stays as it was.
    QVERIFY(f.t.http.requests.isEmpty());
    QVERIFY(d.isVisible() && d.isEnabled());
    QCOMPARE(d.Label4, u"Label4"_s);
    QCOMPARE(d.RichTextBox1->text(), title);
    QCOMPARE(d.RichTextBox2->toPlainText(), dscr);
    QCOMPARE(d.Combo1->currentIndex(), category);
    QVERIFY(f.fileChosen());
    QVERIFY(f.fieldsUntouched());
}

void TestForm3::categories_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("id");
    const QList<std::pair<QString, QByteArray>> list = {
        {u"Autos & Vehicles"_s, "2"},      {u"Comedy"_s, "23"},
        {u"Education"_s, "27"},            {u"Entertainment"_s, "24"},
        {u"Film & Animation"_s, "1"},      {u"Howto & Style"_s, "26"},
        {u"Music"_s, "10"},                {u"News & Politics"_s, "25"},
        {u"Nonprofits & Activism"_s, "29"}, {u"People & Blogs"_s, "22"},
        {u"Pets & Animals"_s, "15"},       {u"Science & Technology"_s, "28"},
        {u"Sports"_s, "17"},               {u"Travel & Events"_s, "19"}};
    for (int i = 0; i < list.size(); ++i)
        QTest::addRow("%d", i + 1) << i + 1 << list.at(i).first << list.at(i).second;
}

void TestForm3::categories()
{
    QFETCH(int, position);
    QFETCH(QString, item);
    QFETCH(QByteArray, id);
    MainWindowFixture f;
    AnswerLikeTheService(f.t.http);
    Form3 d(*f.main);
    d.show();
    QCOMPARE(d.Combo1->count(), 15);
    QCOMPARE(d.Combo1->itemText(0), u"Please select..."_s);
    QCOMPARE(d.Combo1->itemText(position), item);
    fill(d, u"T"_s, u"D"_s, position, u"G"_s);
    d.Label3_Click();
    QCOMPARE(f.main->videocat, id);
    QCOMPARE(Form3::CategoryId(item.toLower()), QByteArray());
}

void TestForm3::okSequence()
{
    MainWindowFixture f;
    AnswerLikeTheService(f.t.http);
    Form3 d(*f.main);
    showAndActivate(d);
    d.Text1 = u"clip.avi"_s;
    fill(d, u"50% off & more"_s, u"caf\u00e9\n2 < 3 + [_ULK-AMP_]"_s, 7, u"a <b> c"_s);

    // What the windows look like while the request runs.
    bool disabled = false, handedOver = false, uploading = false, fieldsOld = false;
    auto answer = f.t.http.onPost;
    f.t.http.onPost = [&](const ScriptedHttp::Request &r) {
        disabled = !d.isEnabled();
        handedOver = d.Label4 == u"vorn"_s;
        uploading = f.uploading();
        fieldsOld = f.fieldsUntouched();
        answer(r);
    };
    QSignalSpy arrived(&f.site, &QTcpServer::newConnection);
    QTest::mouseClick(d.Picture1->hotspot(), Qt::LeftButton);

    QVERIFY(disabled);
    QVERIFY(handedOver);
    QVERIFY(uploading);
    QVERIFY(fieldsOld);
    QVERIFY(f.t.messages.shown.isEmpty());

    QCOMPARE(f.t.http.requests.size(), 1);
    const ScriptedHttp::Request r = f.t.http.requests.first();
    QCOMPARE(r.url, "http://" + QByteArray(ConversionHost) + "/conversions/str.asp");
    QCOMPARE(r.contentType, QByteArray("application/x-www-form-urlencoded;charset=utf-8"));
    QCOMPARE(r.body, QByteArray("title=50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_]"
                                "[_ULK-SPACE_]more"
                                "&dscr=caf\xC3\xA9[_ULK-CRLF_]2[_ULK-SPACE_][_ULK-SPACE_]3"
                                "[_ULK-SPACE_]+[_ULK-SPACE_][_ULK-AMP_]"
                                "&tags=a[_ULK-SPACE_]b[_ULK-SPACE_]c"));
    // The boxes show the cleaned texts.
    QCOMPARE(d.RichTextBox2->toPlainText(), u"caf\u00e9\n2  3 + [_ULK-AMP_]"_s);
    QCOMPARE(d.RichTextBox3->text(), u"a b c"_s);

    QCOMPARE(f.main->videotitle, QByteArray("50% off & more"));
    QCOMPARE(f.main->videodscr, QByteArray("caf\xC3\xA9\r\n2  3 + &"));
    QCOMPARE(f.main->videotags, QByteArray("a b c"));
    QCOMPARE(f.main->videocat, QByteArray("10"));
    QCOMPARE(d.Text1, QString::fromLatin1(EchoAnswer(r.body)));
    QCOMPARE(d.Text2, QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_]"
                                 "[_ULK-SPACE_]more"));
    QCOMPARE(d.Text4, QByteArray("a[_ULK-SPACE_]b[_ULK-SPACE_]c"));
    QVERIFY(d.Text3.startsWith("caf\xC3\xA9[_ULK-CRLF_]"));

    // Unloaded, the main window left uploading, the login connection opening.
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.Label4, u"vorn"_s);
    QVERIFY(f.uploading());
    QCOMPARE(f.main->Winsock1->RemoteHost(), QString::fromLatin1(SiteHost));
    QCOMPARE(f.main->Winsock1->RemotePort(), 80);
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
}

void TestForm3::descriptionLineBreaks_data()
{
    QTest::addColumn<QString>("pasted"); // empty: typed with Enter
    QTest::addColumn<QByteArray>("dscr");
    QTest::newRow("typed with Enter") << QString() << QByteArray("a\r\nb");
    QTest::newRow("pasted with a lone LF") << u"a\nb"_s << QByteArray("a\r\nb");
    QTest::newRow("pasted with CR LF") << u"a\r\nb"_s << QByteArray("a\r\nb");
    QTest::newRow("pasted with a lone CR") << u"a\rb"_s << QByteArray("a\r\nb");
    QTest::newRow("empty line between") << u"a\n\nb"_s << QByteArray("a\r\n\r\nb");
}

void TestForm3::descriptionLineBreaks()
{
    QFETCH(QString, pasted);
    QFETCH(QByteArray, dscr);
    MainWindowFixture f;
    AnswerLikeTheService(f.t.http);
    Form3 d(*f.main);
    showAndActivate(d);
    fill(d, u"T"_s, QString(), 1, u"G"_s);
    if (pasted.isEmpty()) {
        d.RichTextBox2->setFocus();
        QTest::keyClicks(d.RichTextBox2, u"a"_s);
        QTest::keyClick(d.RichTextBox2, Qt::Key_Return);
        QTest::keyClicks(d.RichTextBox2, u"b"_s);
    } else {
        paste(d.RichTextBox2, pasted);
    }
    // The user sees as many lines as travel.
    QCOMPARE(d.RichTextBox2->blockCount(), int(dscr.count("\r\n")) + 1);
    d.Label3_Click();
    QCOMPARE(f.main->videodscr, dscr);
}

void TestForm3::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("before"); // characters already in the box
    QTest::addColumn<int>("at");     // cursor position; -1 at the end
    QTest::addColumn<QString>("added");
    QTest::addColumn<bool>("typed"); // else pasted
    QTest::addColumn<int>("kept");   // how much of `added` stays
    const QString b100(100, u'b');
    QTest::newRow("title: 61st character typed")
        << u"RichTextBox1"_s << 60 << -1 << u"b"_s << true << 0;
    QTest::newRow("title: 60th character typed")
        << u"RichTextBox1"_s << 59 << -1 << u"b"_s << true << 1;
    QTest::newRow("title: long paste") << u"RichTextBox1"_s << 0 << -1 << b100 << false << 60;
    QTest::newRow("title: paste in the middle")
        << u"RichTextBox1"_s << 50 << 10 << b100 << false << 10;
    QTest::newRow("description: 5000th typed")
        << u"RichTextBox2"_s << 4999 << -1 << u"b"_s << true << 0;
    QTest::newRow("description: 4999th typed")
        << u"RichTextBox2"_s << 4998 << -1 << u"b"_s << true << 1;
    QTest::newRow("description: long paste")
        << u"RichTextBox2"_s << 0 << -1 << QString(6000, u'b') << false << 4999;
    QTest::newRow("description: paste over the limit")
        << u"RichTextBox2"_s << 4990 << -1 << b100 << false << 9;
    QTest::newRow("description: paste in the middle")
        << u"RichTextBox2"_s << 4990 << 100 << b100 << false << 9;
    QTest::newRow("description: no half of a surrogate pair")
        << u"RichTextBox2"_s << 4998 << -1 << u"\U0001F3AC\U0001F3AC"_s << false << 0;
    QTest::newRow("description: a whole emoji fits")
        << u"RichTextBox2"_s << 4997 << -1 << u"\U0001F3AC\U0001F3AC"_s << false << 2;
    QTest::newRow("tags: 121st typed") << u"RichTextBox3"_s << 120 << -1 << u"b"_s << true << 0;
    QTest::newRow("tags: long paste") << u"RichTextBox3"_s << 100 << -1 << b100 << false << 20;
}

void TestForm3::limits()
{
    QFETCH(QString, box);
    QFETCH(int, before);
    QFETCH(int, at);
    QFETCH(QString, added);
    QFETCH(bool, typed);
    QFETCH(int, kept);
    MainWindowFixture f;
    Form3 d(*f.main);
    showAndActivate(d);
    QWidget *w = d.findChild<QWidget *>(box);
    QVERIFY(w);
    const QString start(before, u'a');
    if (at < 0)
        at = before;
    auto *plain = qobject_cast<QPlainTextEdit *>(w);
    auto *line = qobject_cast<QLineEdit *>(w);
    if (plain) {
        plain->setPlainText(start);
        QTextCursor cursor = plain->textCursor();
        cursor.setPosition(at);
        plain->setTextCursor(cursor);
    } else {
        line->setText(start);
        line->setCursorPosition(at);
    }
    w->setFocus();
    if (typed)
        QTest::keyClicks(w, added);
    else
        paste(w, added);
    // What fits of the new text is kept, where it was put.
    const QString text = plain ? plain->toPlainText() : line->text();
    QCOMPARE(text, start.left(at) + added.left(kept) + start.mid(at));
}

void TestForm3::leaving_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << u"cancel"_s;
    QTest::newRow("Esc") << u"esc"_s;
    QTest::newRow("close box") << u"close"_s;
    QTest::newRow("Command1") << u"command1"_s;
    QTest::newRow("Enter on the focused Cancel") << u"enter"_s;
}

void TestForm3::leaving()
{
    QFETCH(QString, way);
    MainWindowFixture f;
    // Whatever the window showed, it returns to its file-chosen display.
    f.main->Picture11->setVisible(true);
    f.main->Label12->setVisible(true);
    f.main->Label6->setVisible(true);
    f.main->Label9->setVisible(true);
    f.main->Label11->setVisible(true);
    f.main->ProgressBar1->setVisible(true);
    f.main->Picture10->setVisible(false);
    f.main->Picture8->setVisible(false);

    Form3 d(*f.main);
    showAndActivate(d);
    fill(d, u"T"_s, u"D"_s, 2, u"G"_s);
    if (way == u"cancel")
        QTest::mouseClick(d.Picture2->hotspot(), Qt::LeftButton);
    else if (way == u"esc")
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else if (way == u"close")
        QVERIFY(d.close());
    else if (way == u"command1")
        d.Command1->click();
    else if (way == u"enter") {
        d.Picture2->setFocus();
        QTest::keyClick(d.Picture2, Qt::Key_Return);
    }

    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(f.fileChosen());
    QVERIFY(f.fieldsUntouched());
    QVERIFY(f.t.http.requests.isEmpty());
    QVERIFY(f.t.messages.shown.isEmpty());
    QVERIFY(f.main->Winsock1->RemoteHost().isEmpty());
}

void TestForm3::conversionFails_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("no answer") << false << QByteArray();
    QTest::newRow("error page") << true << QByteArray("<h1>Not Found</h1>");
    QTest::newRow("no <TAGS>") << true << QByteArray("<TITLE>T</TITLE><DSCR>D</DSCR>");
    QTest::newRow("no <TITLE>") << true << QByteArray("<DSCR>D</DSCR><TAGS>G</TAGS>");
    QTest::newRow("lower-case markers")
        << true << QByteArray("<title>T</title><dscr>D</dscr><tags>G</tags>");
}

void TestForm3::conversionFails()
{
    QFETCH(bool, answered);
    QFETCH(QByteArray, answer);
    MainWindowFixture f;
    HttpReply reply;
    reply.ok = answered;
    reply.status = 200;
    reply.body = answer;
    if (!answered)
        reply.error = u"Could not connect"_s;
    f.t.http.replies = {reply};
    Form3 d(*f.main);
    showAndActivate(d);
    fill(d, u"<b>T</b>"_s, u"D"_s, 5, u"G H"_s);
    QSignalSpy arrived(&f.site, &QTcpServer::newConnection);
    d.Label3_Click();

    QCOMPARE(f.t.messages.texts(), QStringList{u"Connection error!"_s});
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    QCOMPARE(f.t.messages.shown.first().buttons, MsgButtons::Ok);
    // The dialog stays, editable, with the texts as they now stand.
    QVERIFY(d.isVisible());
    QVERIFY(d.isEnabled());
    QCOMPARE(d.Label4, u"Label4"_s);
    QCOMPARE(d.RichTextBox1->text(), u"bT/b"_s);
    QCOMPARE(d.RichTextBox3->text(), u"G H"_s);
    QCOMPARE(d.Combo1->currentIndex(), 5);
    QVERIFY(f.fileChosen());
    QVERIFY(f.fieldsUntouched());
    QVERIFY(f.main->Winsock1->RemoteHost().isEmpty());

    // OK again, and this time the service answers.
    AnswerLikeTheService(f.t.http);
    d.Label3_Click();
    QVERIFY(d.isHidden());
    QCOMPARE(f.main->videotitle, QByteArray("bT/b"));
    QCOMPARE(f.main->videocat, QByteArray("1"));
    QVERIFY(f.uploading());
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
    QCOMPARE(f.t.messages.shown.size(), 1);
}

void TestForm3::conversionFailsOnTheNetwork_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("nothing listens") << false;
    QTest::newRow("answer without markers") << true;
}

void TestForm3::conversionFailsOnTheNetwork()
{
    QFETCH(bool, listening);
    MainWindowFixture f;
    std::unique_ptr<HttpStub> stub;
    quint16 port = 0;
    if (listening) {
        stub = std::make_unique<HttpStub>(HttpStub::Mode::Answer,
                                          HttpStub::Response("<html>Service moved</html>"));
        port = stub->port();
    } else {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    // The conversion host has routes of its own: it may share its name with
    // the site host, which the fixture routes elsewhere.
    RouteTable conversionRoutes;
    conversionRoutes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s, port);
    CurlHttpRequest curl(conversionRoutes);
    f.t.platform.http = &curl;

    Form3 d(*f.main);
    showAndActivate(d);
    d.Text1 = u"clip.avi"_s;
    fill(d, u"T"_s, u"D"_s, 5, u"G"_s);
    d.Label3_Click();

    QCOMPARE(f.t.messages.texts(), QStringList{u"Connection error!"_s});
    QVERIFY(d.isVisible() && d.isEnabled());
    QCOMPARE(d.Label4, u"Label4"_s);
    QCOMPARE(d.RichTextBox1->text(), u"T"_s);
    QVERIFY(f.fileChosen());
    QVERIFY(f.fieldsUntouched());
    // An answer that came is kept as it was; none leaves the file name.
    QCOMPARE(d.Text1, listening ? u"<html>Service moved</html>"_s : u"clip.avi"_s);
    if (listening) {
        QCOMPARE(stub->requests().size(), 1);
        QVERIFY(stub->requests().first().endsWith("\r\n\r\ntitle=T&dscr=D&tags=G"));
    }
}

void TestForm3::reopenAfterCancel()
{
    MainWindowFixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"My Clip.AVI"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    f.main->fname = path;

    struct Seen
    {
        bool opened = false;
        QString title, selected, text1, dscr, tags, category, label4;
        bool titleFocused = false;
    };
    const auto look = [](Seen &seen, Form3 *d) {
        if (!d)
            return;
        seen.opened = true;
        seen.title = d->RichTextBox1->text();
        seen.selected = d->RichTextBox1->selectedText();
        seen.text1 = d->Text1;
        seen.dscr = d->RichTextBox2->toPlainText();
        seen.tags = d->RichTextBox3->text();
        seen.category = d->Combo1->currentText();
        seen.label4 = d->Label4;
        seen.titleFocused = QApplication::focusWidget() == d->RichTextBox1;
    };

    Seen first, second, gone;
    WhenDialogOpens([&](Form3 *d) {
        look(first, d);
        if (!d)
            return;
        // Typing replaces the suggested title.
        QTest::keyClicks(d->RichTextBox1, u"New"_s);
        fill(*d, d->RichTextBox1->text(), u"Some words"_s, 4, u"x y"_s);
        QTest::mouseClick(d->Picture2->hotspot(), Qt::LeftButton);
    });
    f.main->Label5_Click();
    QVERIFY(first.opened);
    QCOMPARE(first.title, u"My Clip.AVI"_s);
    QCOMPARE(first.selected, u"My Clip.AVI"_s);
    QCOMPARE(first.text1, u"My Clip.AVI"_s);
    QVERIFY(first.titleFocused);
    QVERIFY(f.fileChosen());
    QVERIFY(f.fieldsUntouched());

    WhenDialogOpens([&](Form3 *d) {
        look(second, d);
        if (d)
            d->close();
    });
    f.main->Label5_Click();
    QVERIFY(second.opened);
    QCOMPARE(second.title, u"My Clip.AVI"_s);
    QVERIFY(second.dscr.isEmpty());
    QVERIFY(second.tags.isEmpty());
    QCOMPARE(second.category, u"Please select..."_s);
    QCOMPARE(second.label4, u"Label4"_s);

    // A file that has gone since it was chosen suggests no title.
    QVERIFY(QFile::remove(path));
    WhenDialogOpens([&](Form3 *d) {
        look(gone, d);
        if (d)
            d->close();
    });
    f.main->Label5_Click();
    QVERIFY(gone.opened);
    QVERIFY(gone.title.isEmpty());
    QVERIFY(gone.text1.isEmpty());
}

void TestForm3::fromBrowseToLogin()
{
    MainWindowFixture f;
    AnswerLikeTheService(f.t.http);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"trip.mpg"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(3 * 1048576));
    file.close();
    f.t.files.paths = {path};
    showAndActivate(*f.main);
    QTest::mouseClick(f.main->Picture8->hotspot(), Qt::LeftButton); // back to no file
    QTest::mouseClick(f.main->Picture9->hotspot(), Qt::LeftButton);
    QVERIFY(!f.main->Picture10->isHidden());

    bool opened = false;
    WhenDialogOpens([&](Form3 *d) {
        if (!d)
            return;
        opened = true;
        QTest::keyClicks(QApplication::focusWidget(), u"My trip"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), u"Snow & sun"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        d->Combo1->setCurrentText(u"Travel & Events"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), u"snow trip"_s);
        QTest::mouseClick(d->Picture1->hotspot(), Qt::LeftButton);
    });
    QSignalSpy arrived(&f.site, &QTcpServer::newConnection);
    QTest::mouseClick(f.main->Picture10->hotspot(), Qt::LeftButton);

    QVERIFY(opened);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(f.uploading());
    QVERIFY(!f.main->Text1->isHidden());
    QCOMPARE(f.main->videotitle, QByteArray("My trip"));
    QCOMPARE(f.main->videodscr, QByteArray("Snow & sun"));
    QCOMPARE(f.main->videotags, QByteArray("snow trip"));
    QCOMPARE(f.main->videocat, QByteArray("19"));
    QCOMPARE(f.main->fname, path);
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
