#include "app/form1.h"

#include "doubles.h"
#include "platform/widgets.h"

#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A main window on its main panel, with or without a stored account.
struct MainPanel
{
    explicit MainPanel(bool account = true)
    {
        t.setSetting(u"check1"_s, u"1"_s);
        if (account) {
            t.setSetting(u"un"_s, u"someone"_s);
            t.setSetting(u"pw"_s, u"secret"_s);
        }
        main = std::make_unique<Form1>(t.platform);
    }

    void browse() { QTest::mouseClick(main->Picture9->hotspot(), Qt::LeftButton); }

    // Nothing chosen, nothing previewed, "Browse file..." still offered.
    bool idle() const
    {
        return main->Text1->isHidden() && !main->Picture9->isHidden()
               && main->Picture10->isHidden() && main->fname.isEmpty()
               && main->Label20.isEmpty() && t.preview->calls.isEmpty();
    }

    TestPlatform t;
    std::unique_ptr<Form1> main;
};

} // namespace

class TestForm1File : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sizes_data();
    void sizes();
    void nothingChosen();
};

void TestForm1File::sizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("megabytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly 100 MB") << qint64(104857600) << u"100"_s << true;
    QTest::newRow("rounds up to 100.01") << qint64(104862843) << u"100.01"_s << false;
    QTest::newRow("empty file") << qint64(0) << u"0"_s << true;
    // Cut to 32 bits this length would be a single byte.
    QTest::newRow("4 GiB and one byte") << qint64(4294967297) << u"4096"_s << false;
}

void TestForm1File::sizes()
{
    QFETCH(qint64, size);
    QFETCH(QString, megabytes);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"Holiday clip.MPG"_s));
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) // sparse: takes no disk space
        QSKIP("The temporary folder cannot hold a file of this size.");
    megabytes.replace(u'.', QLocale::system().decimalPoint());

    MainPanel p;
    p.t.files.paths = {file.fileName()};
    p.browse();
    if (!accepted) {
        const QString message = u"This file is "_s + megabytes
                                + u" MB in size. YouTube allows maximum 100 MB."_s;
        QCOMPARE(p.t.messages.texts(), QStringList{message});
        QCOMPARE(p.t.messages.shown.first().icon, MsgIcon::Critical);
        QVERIFY(p.idle());
        return;
    }
    const QString display = u"Holiday clip.MPG ("_s + megabytes + u" MB)"_s;
    QVERIFY(p.t.messages.shown.isEmpty());
    QCOMPARE(p.main->Label20, display);
    QCOMPARE(p.main->fname, file.fileName());
    QCOMPARE(p.t.preview->calls, QStringList({u"media:"_s + file.fileName(), u"close"_s}));
    QVERIFY(!p.main->Text1->isHidden() && p.main->Picture9->isHidden());
    QVERIFY(!p.main->Picture8->isHidden() && !p.main->Picture10->isHidden());

    // Whatever is typed into the file box is undone.
    QTest::keyClicks(p.main->Text1, u"xyz"_s);
    QCOMPARE(p.main->Text1->text(), display);
    QCOMPARE(p.main->Label20, display);
}

void TestForm1File::nothingChosen()
{
    MainPanel none(false); // no account: a message, and no file dialog
    none.browse();
    QCOMPARE(none.t.messages.texts(), QStringList{u"You must set your YouTube account first."_s});
    QVERIFY(none.t.files.filters.isEmpty() && none.idle());

    MainPanel cancelled; // the file dialog cancelled: nothing at all
    cancelled.browse();
    QCOMPARE(cancelled.t.files.filters.size(), 1);
    QVERIFY(cancelled.t.messages.shown.isEmpty() && cancelled.idle());
}

QTEST_MAIN(TestForm1File)
#include "tst_form1_file.moc"
