#include "app/form1.h"

#include "doubles.h"
#include "platform/widgets.h"

#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Browse on the main window: the account it needs, the file dialog, the size
// limit and the file box.
class TestForm1File : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void browse_data();
    void browse();
};

void TestForm1File::browse_data()
{
    QTest::addColumn<bool>("account");
    QTest::addColumn<qint64>("size"); // -1: the file dialog is cancelled
    QTest::addColumn<QString>("megabytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly 100 MB") << true << qint64(104857600) << u"100"_s << true;
    QTest::newRow("rounds up to 100.01") << true << qint64(104862843) << u"100.01"_s << false;
    // Cut to 32 bits this length would be a single byte.
    QTest::newRow("4 GiB and one byte") << true << qint64(4294967297) << u"4096"_s << false;
    QTest::newRow("file dialog cancelled") << true << qint64(-1) << QString() << false;
    QTest::newRow("no account: no file dialog") << false << qint64(10) << QString() << false;
}

void TestForm1File::browse()
{
    QFETCH(bool, account);
    QFETCH(qint64, size);
    QFETCH(QString, megabytes);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"Holiday clip.MPG"_s));
    if (size >= 0 && (!file.open(QIODevice::WriteOnly) || !file.resize(size))) // sparse
        QSKIP("The temporary folder cannot hold a file of this size.");
    megabytes.replace(u'.', QLocale::system().decimalPoint());
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, account ? u"someone"_s : QString());
    t.setSetting(u"pw"_s, account ? u"secret"_s : QString());
    if (size >= 0)
        t.files.paths = {file.fileName()};
    Form1 f(t.platform);
    QTest::mouseClick(f.Picture9->hotspot(), Qt::LeftButton);

    QCOMPARE(t.files.filters.size(), account ? 1 : 0);
    QStringList messages;
    if (!account)
        messages << u"You must set your YouTube account first."_s;
    else if (!megabytes.isEmpty() && !accepted)
        messages << u"This file is "_s + megabytes
                        + u" MB in size. YouTube allows maximum 100 MB."_s;
    QCOMPARE(t.messages.texts(), messages);
    if (!accepted) {
        // Nothing chosen, nothing previewed, "Browse file..." still offered.
        QVERIFY(f.Text1->isHidden() && !f.Picture9->isHidden() && f.Picture10->isHidden());
        QVERIFY(f.fname.isEmpty() && f.Label20.isEmpty() && t.preview->calls.isEmpty());
        return;
    }
    const QString display = u"Holiday clip.MPG ("_s + megabytes + u" MB)"_s;
    QCOMPARE(f.fname, file.fileName());
    QCOMPARE(t.preview->calls, QStringList({u"media:"_s + file.fileName(), u"close"_s}));
    QVERIFY(!f.Text1->isHidden() && !f.Picture8->isHidden() && !f.Picture10->isHidden()
            && f.Picture9->isHidden());
    // The file box shows the file; whatever is typed into it is undone.
    QTest::keyClicks(f.Text1, u"xyz"_s);
    QCOMPARE(f.Text1->text(), display);
}

QTEST_MAIN(TestForm1File)
#include "tst_form1_file.moc"
