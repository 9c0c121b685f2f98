// The video information dialog: its checks, its limits, its ways out, and
// what it hands to the upload job's conversion and takes back.
#include "desktop/windows/videoinfodialog.h"

#include "doubles.h"
#include "engine/upload/uploadjob.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// A platform and an upload job whose conversion service answers with
// `reply`, unless told otherwise.
struct Fixture
{
    Fixture() { http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}}; }

    TestPlatform t;
    ScriptedHttp http;
    UploadJob job{t.settings, &http, t.platform.routes, t.platform.addresses};
};

// The boxes as "title|description|tags|category"; fill() takes the same form.
QString shown(const VideoInfoDialog &d)
{
    return child<QLineEdit>(d, "titleEdit")->text() + u'|'
           + child<QPlainTextEdit>(d, "descriptionEdit")->toPlainText() + u'|'
           + child<QLineEdit>(d, "tagsEdit")->text() + u'|'
           + child<QComboBox>(d, "categoryCombo")->currentText();
}

void fill(VideoInfoDialog &d, const QString &boxes)
{
    const QStringList b = boxes.split(u'|');
    child<QLineEdit>(d, "titleEdit")->setText(b.at(0));
    child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(b.at(1));
    child<QLineEdit>(d, "tagsEdit")->setText(b.at(2));
    child<QComboBox>(d, "categoryCombo")->setCurrentText(b.at(3));
}

} // namespace

class TestVideoInfoDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refused_data();
    void refused();
    void limits_data();
    void limits();
    void leaving_data();
    void leaving();
    void ok();
};

void TestVideoInfoDialog::refused_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<QString>("focus"); // where a check puts it; empty: the conversion fails
    QTest::newRow("title of spaces") << u"   |D|G|Comedy"_s << u"titleEdit"_s;
    QTest::newRow("description of spaces") << u"T|  ||"_s << u"descriptionEdit"_s;
    QTest::newRow("no category") << u"T|D||"_s << u"categoryCombo"_s;
    QTest::newRow("tags of spaces") << u"T|D|  |Comedy"_s << u"tagsEdit"_s;
    QTest::newRow("conversion fails") << u"<b>T</b>|D|G|Film & Animation"_s << QString();
}

void TestVideoInfoDialog::refused()
{
    QFETCH(QString, boxes);
    QFETCH(QString, focus);
    Fixture f;
    f.http.reply = {}; // no answer
    VideoInfoDialog d(f.t.platform, f.job, u"clip"_s);
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    QSignalSpy failed(&d, &VideoInfoDialog::conversionFailed);
    d.show();
    fill(d, boxes);
    child<QWidget>(d, "okButton")->setFocus();
    QTest::keyClick(child<QWidget>(d, "okButton"), Qt::Key_Space); // OK
    // The job's refusal, or a connection error, in a critical message.
    QCOMPARE(f.t.messages.shown.size(), 1);
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    // The dialog stays, editable, with nothing to hand over.
    QVERIFY(d.isVisible() && d.isEnabled() && d.videoInfo().category.isEmpty());
    // Only a conversion tells the caller that the upload starts, and that it failed.
    QCOMPARE(started.size(), focus.isEmpty() ? 1 : 0);
    QCOMPARE(failed.size(), started.size());
    QCOMPARE(f.http.requests.size(), started.size());
    if (!focus.isEmpty()) {
        QCOMPARE(d.focusWidget()->objectName(), focus);
    } else { // after a failed conversion, with the texts as they now stand
        QCOMPARE(f.t.messages.texts(), QStringList{u"Connection error!"_s});
        QCOMPARE(shown(d), u"bT/b|D|G|Film & Animation"_s);
    }
}

void TestVideoInfoDialog::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("before"); // characters already in the box
    QTest::addColumn<int>("back");   // the paste goes this many characters before their end
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("kept"); // how much of it stays
    const QString b100(100, u'b');
    QTest::newRow("title") << u"titleEdit"_s << 0 << 0 << b100 << 60;
    QTest::newRow("description, in the middle") << u"descriptionEdit"_s << 4990 << 10 << b100 << 9;
}

void TestVideoInfoDialog::limits()
{
    QFETCH(QString, box);
    QFETCH(int, before);
    QFETCH(int, back);
    QFETCH(QString, pasted);
    QFETCH(int, kept);
    Fixture f;
    VideoInfoDialog d(f.t.platform, f.job, QString());
    QWidget *w = d.findChild<QWidget *>(box);
    const QString start(before, u'a');
    for (const QString &text : {start, pasted}) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
        for (int i = 0; text == start && i < back; ++i)
            QTest::keyClick(w, Qt::Key_Left);
    }
    // What fits of the pasted text is kept, where it was put.
    QCOMPARE(w->property(w->inherits("QLineEdit") ? "text" : "plainText").toString(),
             start.left(before - back) + pasted.left(kept) + start.right(back));
}

void TestVideoInfoDialog::leaving_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Esc") << true;
}

void TestVideoInfoDialog::leaving()
{
    QFETCH(bool, escape);
    Fixture f;
    VideoInfoDialog d(f.t.platform, f.job, u"Holiday clip.mpg"_s);
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    d.show();
    // It opens with the suggested title, selected, and nothing chosen.
    QCOMPARE(shown(d), u"Holiday clip.mpg|||Please select..."_s);
    QCOMPARE(child<QLineEdit>(d, "titleEdit")->selectedText(), u"Holiday clip.mpg"_s);
    fill(d, u"T|D|G|Comedy"_s);
    if (escape)
        QTest::keyClick(child<QLineEdit>(d, "titleEdit"), Qt::Key_Escape);
    else
        clickButton(d, "cancelButton");
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(started.isEmpty() && f.t.messages.shown.isEmpty());
}

void TestVideoInfoDialog::ok()
{
    // The boxes go to the job as they stand, the description's line breaks
    // as the box reports them; the job's information comes back.
    Fixture f;
    VideoInfoDialog d(f.t.platform, f.job, QString());
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    d.show();
    fill(d, u"<b>T</b>|one\ntwo|a <b>|Comedy"_s);
    clickButton(d, "okButton");
    QCOMPARE(f.http.requests.size(), 1);
    QVERIFY(
        f.http.requests[0].endsWith(" title=bT/b&dscr=one[_ULK-CRLF_]two&tags=a[_ULK-SPACE_]b"));
    QCOMPARE(shown(d), u"bT/b|one\ntwo|a b|Comedy"_s);
    const VideoInfo info = d.videoInfo();
    QCOMPARE(info.title + '|' + info.description + '|' + info.tags + '|' + info.category,
             QByteArray("T|D|G|23"));
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(started.size(), 1);
}

QTEST_MAIN(TestVideoInfoDialog)
#include "tst_videoinfodialog.moc"
