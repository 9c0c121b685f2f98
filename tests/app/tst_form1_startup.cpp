#include "app/form1.h"

#include "doubles.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestForm1Startup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startPanel_data();
    void startPanel();
    void accountRule_data();
    void accountRule();
    void firstStartFocusesHelpText();
    void understood_data();
    void understood();
    void accountButton_data();
    void accountButton();
    void forgetMe_data();
    void forgetMe();
    void ending_data();
    void ending();
};

void TestForm1Startup::startPanel_data()
{
    QTest::addColumn<QString>("check1");
    QTest::addColumn<bool>("mainPanel");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("0") << u"0"_s << false;
    QTest::newRow("1") << u"1"_s << true;
    QTest::newRow("other text") << u"yes"_s << false;
    QTest::newRow("1 with a space") << u" 1"_s << false;
    QTest::newRow("11") << u"11"_s << false;
}

void TestForm1Startup::startPanel()
{
    QFETCH(QString, check1);
    QFETCH(bool, mainPanel);
    TestPlatform t;
    if (!check1.isNull())
        t.setSetting(u"check1"_s, check1);
    t.setSetting(u"un"_s, u"someone"_s);
    Form1 f(t.platform);
    QCOMPARE(!f.Picture4->isHidden(), mainPanel);
    QCOMPARE(f.Text5->isHidden(), mainPanel);
    QCOMPARE(f.Picture7->isHidden(), mainPanel);
    QCOMPARE(f.Check1->isHidden(), mainPanel);
    // The account controls appear only with the main panel.
    QCOMPARE(!f.Picture2->isHidden(), mainPanel);
    QCOMPARE(!f.Label14->isHidden(), mainPanel);
    QCOMPARE(!f.Label13->isHidden(), mainPanel);
    QCOMPARE(f.un, u"someone"_s);
}

void TestForm1Startup::accountRule_data()
{
    QTest::addColumn<QString>("un");
    QTest::addColumn<QString>("pw");
    QTest::addColumn<bool>("accountSet");
    QTest::newRow("nothing stored") << QString() << QString() << false;
    QTest::newRow("one-character name, no password") << u"a"_s << QString() << false;
    QTest::newRow("one character each") << u"a"_s << u"b"_s << true;
    QTest::newRow("no name, two-character password") << QString() << u"pw"_s << true;
    QTest::newRow("two spaces") << u" "_s << u" "_s << true;
}

void TestForm1Startup::accountRule()
{
    QFETCH(QString, un);
    QFETCH(QString, pw);
    QFETCH(bool, accountSet);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, un);
    t.setSetting(u"pw"_s, pw);
    Form1 f(t.platform);
    QCOMPARE(!f.Label14->isHidden(), accountSet);
    QCOMPARE(f.Picture2->pictureText(), accountSet ? u"My account"_s : u"Set account"_s);
    QVERIFY(!f.Picture2->isHidden());
}

void TestForm1Startup::firstStartFocusesHelpText()
{
    TestPlatform t;
    Form1 f(t.platform);
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTRY_VERIFY(!f.Timer2->isActive());
    QVERIFY(f.Text5->hasFocus());
    QTRY_VERIFY(t.preview && t.preview->stretched);
}

void TestForm1Startup::understood_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("ticked") << true;
    QTest::newRow("not ticked") << false;
}

void TestForm1Startup::understood()
{
    QFETCH(bool, ticked);
    TestPlatform t;
    t.setSetting(u"un"_s, u"ab"_s);
    {
        Form1 f(t.platform);
        f.Check1->setChecked(ticked);
        QTest::mouseClick(f.Picture7->hotspot(), Qt::LeftButton);
        QCOMPARE(t.setting(u"check1"_s), ticked ? u"1"_s : u"0"_s);
        QVERIFY(!f.Picture4->isHidden());
        QVERIFY(f.Text5->isHidden());
        QVERIFY(!f.Label14->isHidden());
    }
    Form1 next(t.platform);
    QCOMPARE(next.Picture4->isHidden(), !ticked);
}

void TestForm1Startup::accountButton_data()
{
    QTest::addColumn<bool>("fileChosen");
    QTest::newRow("no file chosen: opens the dialog") << false;
    QTest::newRow("file chosen: does nothing") << true;
}

void TestForm1Startup::accountButton()
{
    QFETCH(bool, fileChosen);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    Form1 f(t.platform);
    f.show();
    if (fileChosen)
        f.Picture9->setVisible(false);
    QString opened;
    QTimer::singleShot(100, this, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            opened = modal->objectName();
            modal->close();
        }
    });
    QTest::mouseClick(f.Picture2->hotspot(), Qt::LeftButton);
    QTest::qWait(200);
    QCOMPARE(opened, fileChosen ? QString() : u"Form2"_s);
}

void TestForm1Startup::forgetMe_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("answered No") << false;
    QTest::newRow("answered Yes") << true;
}

void TestForm1Startup::forgetMe()
{
    QFETCH(bool, yes);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, u"user"_s);
    t.setSetting(u"pw"_s, u"pass"_s);
    Form1 f(t.platform);
    t.messages.answers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
    QTest::mouseClick(f.Label14, Qt::LeftButton);

    QCOMPARE(t.messages.shown.size(), yes ? 2 : 1);
    QCOMPARE(t.messages.shown[0].buttons, MsgButtons::YesNo);
    QCOMPARE(t.messages.shown[0].icon, MsgIcon::Question);
    if (yes) {
        QCOMPARE(t.messages.shown[1].text,
                 u"We removed your YouTube account information on this computer."_s);
        QCOMPARE(t.messages.shown[1].icon, MsgIcon::Information);
    }
    QCOMPARE(t.setting(u"un"_s), yes ? QString() : u"user"_s);
    QCOMPARE(t.setting(u"pw"_s), yes ? QString() : u"pass"_s);
    QCOMPARE(f.Label14->isHidden(), yes);
    QCOMPARE(f.Picture2->pictureText(), yes ? u"Set account"_s : u"My account"_s);
    // The window's copies are kept either way.
    QCOMPARE(f.un, u"user"_s);
}

void TestForm1Startup::ending_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << u"esc"_s;
    QTest::newRow("menu") << u"menu"_s;
    QTest::newRow("close box") << u"close"_s;
}

void TestForm1Startup::ending()
{
    QFETCH(QString, how);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    Form1 f(t.platform);
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    if (how == u"esc")
        QTest::keyClick(&f, Qt::Key_Escape);
    else if (how == u"menu")
        f.findChild<QAction *>(u"exit"_s)->trigger();
    else
        f.close();
    QCOMPARE(t.endRequests, 1);
    QVERIFY(t.messages.shown.isEmpty());
}

QTEST_MAIN(TestForm1Startup)
#include "tst_form1_startup.moc"
