#include "app/form1.h"

#include "doubles.h"
#include "platform/widgets.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

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

    // The controls of the idle display, untouched by a refused choice.
    bool idle() const
    {
        return main->Text1->isHidden() && !main->Picture9->isHidden()
               && main->Picture8->isHidden() && main->Picture10->isHidden()
               && main->fname.isEmpty() && main->Label20.isEmpty() && t.preview->calls.isEmpty();
    }

    TestPlatform t;
    std::unique_ptr<Form1> main;
};

// A file of `size` bytes; large ones are sparse and take no disk space.
QString makeFile(const QTemporaryDir &dir, const QString &name, qint64 size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return {};
    return path;
}

// "100.01" with the user's decimal separator.
QString decimal(const QString &number)
{
    return QString(number).replace(u'.', QLocale::system().decimalPoint());
}

} // namespace

class TestForm1File : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sizes_data();
    void sizes();
    void filterString();
    void noAccount();
    void cancelledOrUnreadable_data();
    void cancelledOrUnreadable();
    void redCross();
    void fileBoxIsReadOnly();
};

void TestForm1File::sizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("megabytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly 100 MB") << qint64(104857600) << u"100"_s << true;
    QTest::newRow("rounds down to 100") << qint64(104862842) << u"100"_s << true;
    QTest::newRow("rounds up to 100.01") << qint64(104862843) << u"100.01"_s << false;
    QTest::newRow("empty file") << qint64(0) << u"0"_s << true;
    QTest::newRow("one million bytes") << qint64(1000000) << u"0.95"_s << true;
    QTest::newRow("5 MB") << qint64(5242880) << u"5"_s << true;
    // Lengths that do not fit 32 bits; cut to 32 bits, 4 GiB + 1 would be one byte.
    QTest::newRow("2 GiB") << qint64(2147483648) << u"2048"_s << false;
    QTest::newRow("4 GiB and one byte") << qint64(4294967297) << u"4096"_s << false;
}

void TestForm1File::sizes()
{
    QFETCH(qint64, size);
    QFETCH(QString, megabytes);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString path = makeFile(dir, u"Holiday clip.MPG"_s, size);
    if (path.isEmpty())
        QSKIP("The temporary folder cannot hold a file of this size.");

    MainPanel p;
    p.t.files.paths = {path};
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(p.t.files.filters.size(), 1);

    if (!accepted) {
        QCOMPARE(p.t.messages.texts(),
                 QStringList{u"This file is "_s + decimal(megabytes)
                             + u" MB in size. YouTube allows maximum 100 MB."_s});
        QCOMPARE(p.t.messages.shown.first().icon, MsgIcon::Critical);
        QCOMPARE(p.t.messages.shown.first().buttons, MsgButtons::Ok);
        QVERIFY(p.idle());
        return;
    }
    const QString display = u"Holiday clip.MPG ("_s + decimal(megabytes) + u" MB)"_s;
    QVERIFY(p.t.messages.shown.isEmpty());
    QCOMPARE(p.main->Label20, display);
    QCOMPARE(p.main->Text1->text(), display);
    QCOMPARE(p.main->fname, path);
    QCOMPARE(p.t.preview->calls, QStringList({u"media:"_s + path, u"close"_s}));
    QVERIFY(!p.main->Text1->isHidden());
    QVERIFY(p.main->Picture9->isHidden());
    QVERIFY(!p.main->Picture8->isHidden());
    QVERIFY(!p.main->Picture10->isHidden());
}

void TestForm1File::filterString()
{
    MainPanel p;
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(p.t.files.filters,
             QStringList{u"Video files|*.MPG;*.MPEG;*.WMV;*.AVI;*.MOV|MPG files (*.mpg,*.mpeg)|"
                         "*.MPG;*.MPEG|WMV files (*.wmv)|*.WMV|AVI files (*.avi)|*.AVI|MOV files "
                         "(*.mov)|*.MOV|All files (*.*)|*.*|"_s});
}

void TestForm1File::noAccount()
{
    MainPanel p(false);
    QTemporaryDir dir;
    p.t.files.paths = {makeFile(dir, u"a.avi"_s, 10)};
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(p.t.messages.texts(), QStringList{u"You must set your YouTube account first."_s});
    QCOMPARE(p.t.messages.shown.first().icon, MsgIcon::Critical);
    QCOMPARE(p.t.messages.shown.first().buttons, MsgButtons::Ok);
    QVERIFY(p.t.files.filters.isEmpty()); // the dialog never opened
    QVERIFY(p.idle());
}

void TestForm1File::cancelledOrUnreadable_data()
{
    QTest::addColumn<QString>("chosen"); // relative to a temporary folder; empty: cancelled
    QTest::newRow("cancelled") << QString();
    QTest::newRow("file gone") << u"missing.avi"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

void TestForm1File::cancelledOrUnreadable()
{
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    MainPanel p;
    if (!chosen.isEmpty())
        p.t.files.paths = {dir.filePath(chosen)};
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(p.t.files.filters.size(), 1);
    QVERIFY(p.t.messages.shown.isEmpty());
    QVERIFY(p.idle());
}

void TestForm1File::redCross()
{
    QTemporaryDir dir;
    const QString first = makeFile(dir, u"first.avi"_s, 20972);
    const QString second = makeFile(dir, u"second.wmv"_s, 1572864);
    MainPanel p;
    p.t.files.paths = {first, second};
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QTest::mouseClick(p.main->Picture8->hotspot(), Qt::LeftButton);

    QVERIFY(p.main->Text1->isHidden());
    QVERIFY(p.main->Picture8->isHidden());
    QVERIFY(!p.main->Picture9->isHidden());
    QVERIFY(p.main->Picture10->isHidden());
    // The old choice stays until the next one.
    QCOMPARE(p.main->fname, first);
    QCOMPARE(p.main->Label20, u"first.avi ("_s + decimal(u"0.02"_s) + u" MB)"_s);

    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(p.main->fname, second);
    QCOMPARE(p.main->Text1->text(), u"second.wmv ("_s + decimal(u"1.5"_s) + u" MB)"_s);
    QVERIFY(!p.main->Picture10->isHidden());
}

void TestForm1File::fileBoxIsReadOnly()
{
    QTemporaryDir dir;
    MainPanel p;
    p.t.files.paths = {makeFile(dir, u"clip.mov"_s, 5242880)};
    QTest::mouseClick(p.main->Picture9->hotspot(), Qt::LeftButton);
    const QString display = p.main->Label20;
    QVERIFY(!display.isEmpty());

    QLineEdit *box = p.main->Text1;
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, u"xyz"_s);
    QCOMPARE(box->text(), display);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), display);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), display);
    QCOMPARE(p.main->Label20, display);
}

QTEST_MAIN(TestForm1File)
#include "tst_form1_file.moc"
