// The main window: start-up, the intro, the account, the choice of a file,
// the hand-over to and from the dialogs, and which display shows for each
// report of the upload engine.
#include "app/mainwindow.h"

#include "account/accountdialog.h"
#include "doubles.h"
#include "fakesite.h"
#include "site/uploadsession.h"
#include "videoinfo/videoinfodialog.h"

#include "uplark_config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

using Screen = MainWindow::Display;
Q_DECLARE_METATYPE(MainWindow::Display)

namespace {

bool Shown(const MainWindow &w, const char *name)
{
    return !Child<QWidget>(w, name)->isHidden();
}

QString FaceText(const MainWindow &w, const char *name)
{
    if (auto *button = qobject_cast<ImageButton *>(Child<QWidget>(w, name)))
        return button->pictureText();
    return Child<PictureBox>(w, name)->pictureText();
}

// The controls that the displays show or hide, those shown as a "+"-joined
// list in a fixed order.
QString ShownControls(const MainWindow &w)
{
    QStringList shown;
    for (const char *name :
         {"helpText", "understoodButton", "mainPanel", "accountButton", "forgetAccountLink",
          "browseButton", "fileEdit", "uploadButton", "clearFileButton", "statusBanner",
          "cancelLink", "statusLine", "progressBar", "kilobyteLine", "percentLabel", "resultPanel",
          "uploadNewButton"}) {
        if (Shown(w, name))
            shown << QString::fromLatin1(name);
    }
    return shown.join(u'+');
}

// Runs `act` on the modal dialog of type D once it is open.
template<typename D>
void OnDialog(const std::function<void(D &)> &act)
{
    QTimer::singleShot(0, [act] {
        if (auto *d = qobject_cast<D *>(QApplication::activeModalWidget()))
            act(*d);
    });
}

// The window with an account stored, the intro skipped, a file to upload,
// a conversion service that answers and a site that takes the login
// request and never answers: the upload waits at its first step while the
// test speaks for the engine.
struct Rig
{
    Rig()
    {
        QVERIFY(site.start());
        site.route(t.platform.routes);
        site.scripts[FakeSite::Login].silent = true;
        http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
        t.platform.http = &http;
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, u"user"_s);
        t.setSetting(u"pw"_s, u"secret"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'v')) == 5000);
        w = std::make_unique<MainWindow>(t.platform);
        w->show();
    }

    void chooseFile()
    {
        t.files.paths = {path};
        ClickButton(*w, "browseButton");
    }

    // UPLOAD! and OK on the video information dialog.
    void upload()
    {
        OnDialog<VideoInfoDialog>([](VideoInfoDialog &d) {
            Child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(u"D"_s);
            Child<QComboBox>(d, "categoryCombo")->setCurrentText(u"Comedy"_s);
            Child<QLineEdit>(d, "tagsEdit")->setText(u"G"_s);
            ClickButton(d, "okButton");
        });
        ClickButton(*w, "uploadButton");
    }

    TestPlatform t;
    ScriptedHttp http;
    FakeSite site;
    QTemporaryDir dir;
    QString path = dir.filePath(u"clip.wmv"_s);
    std::unique_ptr<MainWindow> w;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startPanel_data();
    void startPanel();
    void accountRule_data();
    void accountRule();
    void firstStartFocusesHelpText();
    void previewMadeWhenFileFirstChosen();
    void understood_data();
    void understood();
    void accountButton_data();
    void accountButton();
    void accountDialogHandOver();
    void forgetMe_data();
    void forgetMe();
    void ending_data();
    void ending();
    void browse_data();
    void browse();
    void videoInformationHandOver();
    void engineReports_data();
    void engineReports();
    void resultActions();
    void siteClosesDuringTheUpload();
};

void TestMainWindow::startPanel_data()
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

void TestMainWindow::startPanel()
{
    QFETCH(QString, check1);
    QFETCH(bool, mainPanel);
    TestPlatform t;
    if (!check1.isNull())
        t.setSetting(u"check1"_s, check1);
    t.setSetting(u"un"_s, u"someone"_s);
    MainWindow f(t.platform);
    QCOMPARE(Shown(f, "mainPanel"), mainPanel);
    QCOMPARE(!Shown(f, "helpText"), mainPanel);
    QCOMPARE(!Shown(f, "understoodButton"), mainPanel);
    QCOMPARE(!Shown(f, "skipIntroCheck"), mainPanel);
    // The account controls appear only with the main panel.
    QCOMPARE(Shown(f, "accountButton"), mainPanel);
    QCOMPARE(Shown(f, "forgetAccountLink"), mainPanel);
    QCOMPARE(Shown(f, "termsLink"), mainPanel);
    QCOMPARE(f.account().user, u"someone"_s);
}

void TestMainWindow::accountRule_data()
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

void TestMainWindow::accountRule()
{
    QFETCH(QString, un);
    QFETCH(QString, pw);
    QFETCH(bool, accountSet);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, un);
    t.setSetting(u"pw"_s, pw);
    MainWindow f(t.platform);
    QCOMPARE(Shown(f, "forgetAccountLink"), accountSet);
    QCOMPARE(FaceText(f, "accountButton"), accountSet ? u"My account"_s : u"Set account"_s);
    QVERIFY(Shown(f, "accountButton"));
}

void TestMainWindow::firstStartFocusesHelpText()
{
    TestPlatform t;
    MainWindow f(t.platform);
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTRY_VERIFY(Child<QWidget>(f, "helpText")->hasFocus());
}

void TestMainWindow::previewMadeWhenFileFirstChosen()
{
    Rig r;
    // Until a file is chosen a look-alike fills the preview's box, and no
    // player (nor the media backend) is made.
    QTest::qWait(300);
    QVERIFY(!r.t.preview);
    auto *placeholder = Child<QWidget>(*r.w, "previewPlaceholder");
    QVERIFY(placeholder->isVisible());
    QCOMPARE(placeholder->geometry(), QRect(0, 0, 225, 238));

    r.chooseFile();
    RecordingPreview *first = r.t.preview;
    QVERIFY(first);
    QCOMPARE(first->objectName(), u"preview"_s);
    QVERIFY(first->isVisible());
    QCOMPARE(first->geometry(), QRect(0, 0, 225, 238));
    QVERIFY(!r.w->findChild<QWidget *>(u"previewPlaceholder"_s));
    QCOMPARE(first->calls, QStringList({u"media:"_s + r.path, u"close"_s}));
    // The window keeps the player stretched.
    first->stretched = false;
    QTRY_VERIFY(first->stretched);

    // Later choices use the same player.
    ClickButton(*r.w, "clearFileButton");
    r.chooseFile();
    QCOMPARE(r.t.preview, first);
    QCOMPARE(first->calls.size(), 4);
}

void TestMainWindow::understood_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("ticked") << true;
    QTest::newRow("not ticked") << false;
}

void TestMainWindow::understood()
{
    QFETCH(bool, ticked);
    TestPlatform t;
    t.setSetting(u"un"_s, u"ab"_s);
    {
        MainWindow f(t.platform);
        Child<QCheckBox>(f, "skipIntroCheck")->setChecked(ticked);
        ClickButton(f, "understoodButton");
        QCOMPARE(t.setting(u"check1"_s), ticked ? u"1"_s : u"0"_s);
        QVERIFY(Shown(f, "mainPanel"));
        QVERIFY(!Shown(f, "helpText"));
        QVERIFY(Shown(f, "forgetAccountLink"));
    }
    MainWindow next(t.platform);
    QCOMPARE(next.display(), ticked ? Screen::NoFile : Screen::Intro);
}

void TestMainWindow::accountButton_data()
{
    QTest::addColumn<bool>("fileChosen");
    QTest::newRow("no file chosen: opens the dialog") << false;
    QTest::newRow("file chosen: does nothing") << true;
}

void TestMainWindow::accountButton()
{
    QFETCH(bool, fileChosen);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, u"user"_s);
    MainWindow f(t.platform);
    f.show();
    if (fileChosen) {
        t.files.paths = {QCoreApplication::applicationFilePath()};
        ClickButton(f, "browseButton");
        QCOMPARE(f.display(), Screen::FileChosen);
    }
    QString opened;
    QTimer::singleShot(100, this, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            opened = modal->objectName();
            modal->close();
        }
    });
    ClickButton(f, "accountButton");
    QTest::qWait(200);
    QCOMPARE(opened, fileChosen ? QString() : u"accountDialog"_s);
}

void TestMainWindow::forgetMe_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("answered No") << false;
    QTest::newRow("answered Yes") << true;
}

void TestMainWindow::forgetMe()
{
    QFETCH(bool, yes);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, u"user"_s);
    t.setSetting(u"pw"_s, u"pass"_s);
    MainWindow f(t.platform);
    t.messages.answers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
    QTest::mouseClick(Child<QWidget>(f, "forgetAccountLink"), Qt::LeftButton);

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
    QCOMPARE(!Shown(f, "forgetAccountLink"), yes);
    QCOMPARE(FaceText(f, "accountButton"), yes ? u"Set account"_s : u"My account"_s);
    // The window's copies are kept either way.
    QCOMPARE(f.account().user, u"user"_s);
}

void TestMainWindow::ending_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << u"esc"_s;
    QTest::newRow("menu") << u"menu"_s;
    QTest::newRow("close box") << u"close"_s;
}

void TestMainWindow::ending()
{
    QFETCH(QString, how);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    MainWindow f(t.platform);
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    if (how == u"esc")
        QTest::keyClick(&f, Qt::Key_Escape);
    else if (how == u"menu")
        Child<QAction>(f, "exitAction")->trigger();
    else
        f.close();
    QCOMPARE(t.endRequests, 1);
    QVERIFY(t.messages.shown.isEmpty());
}

void TestMainWindow::accountDialogHandOver()
{
    FakeSite site; // its login answer carries a cookie
    QVERIFY(site.start());
    TestPlatform t;
    site.route(t.platform.routes);
    t.setSetting(u"check1"_s, u"1"_s);
    MainWindow f(t.platform);
    f.show();
    // What has happened by the time the success message shows.
    QStringList seen;
    t.messages.onShow = [&](const RecordingMessageBox::Shown &) {
        seen << t.setting(u"un"_s) << FaceText(f, "accountButton")
             << (Shown(f, "forgetAccountLink") ? u"link shown"_s : u"link hidden"_s)
             << (QApplication::activeModalWidget() ? u"dialog open"_s : u"dialog closed"_s)
             << f.account().user;
    };
    OnDialog<AccountDialog>([](AccountDialog &d) {
        Child<QLineEdit>(d, "userNameEdit")->setText(u"  demo  "_s);
        Child<QLineEdit>(d, "passwordEdit")->setText(u" pw x "_s);
        ClickButton(d, "saveButton");
    });
    ClickButton(f, "accountButton");
    QCOMPARE(t.messages.texts(),
             QStringList{u"Your YouTube account information has been successfully set on this "
                         "program. You can start uploading videos to your account now."_s});
    QCOMPARE(t.messages.shown[0].icon, MsgIcon::Information);
    QCOMPARE(seen, (QStringList{u"  demo  "_s, u"My account"_s, u"link shown"_s, u"dialog closed"_s,
                                QString()}));
    // The window takes the account afterwards; Browse no longer asks for one.
    QCOMPARE(f.account().user, u"  demo  "_s);
    QCOMPARE(f.account().password, u" pw x "_s);
    ClickButton(f, "browseButton");
    QCOMPARE(t.files.filters.size(), 1);
}

void TestMainWindow::browse_data()
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

void TestMainWindow::browse()
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
    MainWindow f(t.platform);
    ClickButton(f, "browseButton");

    QCOMPARE(t.files.filters, account ? QStringList{MainWindow::FileFilter()} : QStringList());
    QStringList messages;
    if (!account)
        messages << u"You must set your YouTube account first."_s;
    else if (!megabytes.isEmpty() && !accepted)
        messages << u"This file is "_s + megabytes
                        + u" MB in size. YouTube allows maximum 100 MB."_s;
    QCOMPARE(t.messages.texts(), messages);
    if (!accepted) {
        // Nothing chosen, nothing previewed, "Browse file..." still offered.
        QCOMPARE(f.display(), Screen::NoFile);
        QVERIFY(f.chosenFile().isEmpty() && !t.preview);
        return;
    }
    const QString display = u"Holiday clip.MPG ("_s + megabytes + u" MB)"_s;
    QCOMPARE(f.chosenFile(), file.fileName());
    QCOMPARE(t.preview->calls, QStringList({u"media:"_s + file.fileName(), u"close"_s}));
    QCOMPARE(f.display(), Screen::FileChosen);
    // The file box shows the file; whatever is typed into it is undone.
    auto *box = Child<QLineEdit>(f, "fileEdit");
    QCOMPARE(box->text(), display);
    QTest::keyClicks(box, u"xyz"_s);
    QCOMPARE(box->text(), display);
    // The red X takes the file back.
    ClickButton(f, "clearFileButton");
    QCOMPARE(f.display(), Screen::NoFile);
}

void TestMainWindow::videoInformationHandOver()
{
    Rig r;
    MainWindow &w = *r.w;
    r.chooseFile();
    // Opened with the file's name as the title, and left by Cancel: File chosen again.
    QString title;
    OnDialog<VideoInfoDialog>([&](VideoInfoDialog &d) {
        title = Child<QLineEdit>(d, "titleEdit")->text();
        ClickButton(d, "cancelButton");
    });
    ClickButton(w, "uploadButton");
    QCOMPARE(title, u"clip.wmv"_s);
    QCOMPARE(w.display(), Screen::FileChosen);
    QVERIFY(r.http.requests.isEmpty());

    // A conversion that fails leaves the dialog open on File chosen.
    r.http.reply = {};
    bool fileChosenWhileOpen = false;
    OnDialog<VideoInfoDialog>([&](VideoInfoDialog &d) {
        Child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(u"D"_s);
        Child<QComboBox>(d, "categoryCombo")->setCurrentText(u"Comedy"_s);
        Child<QLineEdit>(d, "tagsEdit")->setText(u"G"_s);
        ClickButton(d, "okButton");
        fileChosenWhileOpen = d.isVisible() && w.display() == Screen::FileChosen;
        d.reject();
    });
    ClickButton(w, "uploadButton");
    QVERIFY(fileChosenWhileOpen);
    QCOMPARE(r.t.messages.texts(), QStringList{u"Connection error!"_s});

    // OK with a conversion: the upload starts with the converted texts.
    r.http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
    r.upload();
    QCOMPARE(w.display(), Screen::Uploading);
    QCOMPARE(FaceText(w, "statusBanner"), u"Connecting to YouTube server..."_s);
    QTRY_COMPARE_WITH_TIMEOUT(r.site.complete[FakeSite::Login], 1, 10000);
}

void TestMainWindow::engineReports_data()
{
    QTest::addColumn<QString>("reports"); // what the engine says, in order
    QTest::addColumn<Screen>("display");
    QTest::addColumn<QString>("banner");
    QTest::addColumn<QString>("message"); // "title: text"
    QTest::newRow("logging in") << u"logging in"_s << Screen::Uploading << u"Logging in..."_s
                                << QString();
    QTest::newRow("upload form: the figures")
        << u"logging in,announced,uploading,progress"_s << Screen::Uploading
        << u"Uploading... Please wait"_s << QString();
    QTest::newRow("all sent") << u"announced,uploading,progress,preparing"_s << Screen::Sent
                              << u"Preparing your video address..."_s << QString();
    QTest::newRow("address") << u"announced,preparing,finished"_s << Screen::Result
                             << u"Video successfully uploaded."_s << QString();
    QTest::newRow("connection error after the figures")
        << u"announced,uploading,ConnectionError"_s << Screen::FileChosen << QString()
        << u"Uplark: Connection error!"_s;
    QTest::newRow("account rejected")
        << u"AccountRejected"_s << Screen::NoFile << QString()
        << u"Uplark: Either your username or password is wrong. Please check them and set your "
           "account again."_s;
    QTest::newRow("too many login failures: the account is kept")
        << u"TooManyLoginFailures"_s << Screen::FileChosen << QString()
        << u"Uplark: Either your username or password is wrong. Please check them and set your "
           "account again."_s;
    QTest::newRow("unreadable file") << u"UnreadableFile"_s << Screen::FileChosen << QString()
                                     << u"ERROR: No such file or directory"_s;
    QTest::newRow("invalid host: the upload stays on show")
        << u"announced,uploading,InvalidHost"_s << Screen::Uploading
        << u"Uploading... Please wait"_s << u"ERROR: Invalid Host"_s;
    QTest::newRow("no video id: the program ends")
        << u"preparing,NoVideoId"_s << Screen::Sent << u"Preparing your video address..."_s
        << u"Uplark: An error occured. Please re-run the program. Please revise your video "
           "description and eliminate the unwanted special characters. Sorry for that!"_s;
}

void TestMainWindow::engineReports()
{
    QFETCH(QString, reports);
    QFETCH(Screen, display);
    QFETCH(QString, banner);
    QFETCH(QString, message);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Rig r;
    MainWindow &w = *r.w;
    r.chooseFile();
    r.upload();
    QCOMPARE(w.display(), Screen::Uploading);
    UploadSession &s = w.session();
    const QString address = u"http://localhost/watch?v=abc"_s;
    for (const QString &report : reports.split(u',')) {
        if (report == u"logging in")
            Q_EMIT s.stepChanged(UploadStep::LoggingIn);
        else if (report == u"announced")
            Q_EMIT s.fileAnnounced(u"clip.wmv"_s, 3000000);
        else if (report == u"uploading")
            Q_EMIT s.stepChanged(UploadStep::Uploading);
        else if (report == u"progress")
            Q_EMIT s.progressed(UploadProgress(1500000, 3000000, 0, QLocale()));
        else if (report == u"preparing")
            Q_EMIT s.stepChanged(UploadStep::PreparingAddress);
        else if (report == u"finished")
            Q_EMIT s.finished(address);
        else if (report == u"ConnectionError")
            Q_EMIT s.failed(UploadFailure::ConnectionError, {});
        else if (report == u"AccountRejected")
            Q_EMIT s.failed(UploadFailure::AccountRejected, {});
        else if (report == u"TooManyLoginFailures")
            Q_EMIT s.failed(UploadFailure::TooManyLoginFailures, {});
        else if (report == u"UnreadableFile")
            Q_EMIT s.failed(UploadFailure::UnreadableFile, u"No such file or directory"_s);
        else if (report == u"InvalidHost")
            Q_EMIT s.failed(UploadFailure::InvalidHost, {});
        else if (report == u"NoVideoId")
            Q_EMIT s.failed(UploadFailure::NoVideoId, {});
    }
    QCOMPARE(w.display(), display);
    if (!banner.isEmpty())
        QCOMPARE(FaceText(w, "statusBanner"), banner);
    QCOMPARE(r.t.messages.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(r.t.messages.shown[0].title + u": "_s + r.t.messages.shown[0].text, message);
    QCOMPARE(r.t.endRequests, reports.endsWith(u"NoVideoId"_s) ? 1 : 0);

    // What each display shows.
    const bool figures = display == Screen::Uploading && reports.contains(u"announced"_s);
    const QString chosen = u"mainPanel+accountButton+forgetAccountLink+fileEdit+uploadButton+"
                           "clearFileButton"_s;
    QString expected;
    switch (display) {
    case Screen::Uploading:
        expected = figures ? u"mainPanel+accountButton+forgetAccountLink+fileEdit+statusBanner+"
                             "cancelLink+statusLine+progressBar+kilobyteLine+percentLabel"_s
                           : u"mainPanel+accountButton+forgetAccountLink+fileEdit+statusBanner+"
                             "cancelLink"_s;
        break;
    case Screen::Sent:
        expected = u"mainPanel+accountButton+forgetAccountLink+fileEdit+statusBanner"_s;
        break;
    case Screen::Result:
        expected = u"mainPanel+accountButton+forgetAccountLink+fileEdit+statusBanner+resultPanel+"
                   "uploadNewButton"_s;
        break;
    case Screen::FileChosen:
        expected = chosen;
        break;
    default: // rejected: no file, and no account any more
        expected = u"mainPanel+accountButton+browseButton"_s;
        break;
    }
    QCOMPARE(ShownControls(w), expected);
    if (reports == u"logging in,announced,uploading,progress") {
        QCOMPARE(Child<QLabel>(w, "statusLine")->text(), u"Uploading 2.86 MB video 'clip.wmv'"_s);
        QCOMPARE(Child<QLabel>(w, "kilobyteLine")->text(),
                 u"1,465 Kb uploaded so far, remaining 1,465 Kb"_s);
        QCOMPARE(Child<QLabel>(w, "percentLabel")->text(), u"50%"_s);
        QCOMPARE(Child<QProgressBar>(w, "progressBar")->value(), 50);
    }
    // Only a rejected account is forgotten.
    const bool forgotten = display == Screen::NoFile;
    QCOMPARE(r.t.setting(u"pw"_s), forgotten ? QString() : u"secret"_s);
    QCOMPARE(FaceText(w, "accountButton"), forgotten ? u"Set account"_s : u"My account"_s);
    // Cancel, while it is offered, returns to the chosen file with nothing open.
    if (display == Screen::Uploading) {
        QTest::mouseClick(Child<QWidget>(w, "cancelLink"), Qt::LeftButton);
        QCOMPARE(ShownControls(w), chosen);
        QVERIFY(s.allConnectionsClosed());
    }
    QLocale::setDefault(QLocale::c());
}

void TestMainWindow::resultActions()
{
    Rig r;
    MainWindow &w = *r.w;
    r.chooseFile();
    r.upload();
    const QString address = u"http://"_s + QString::fromLatin1(SiteHost) + u"/watch?v=vid42"_s;
    Q_EMIT w.session().finished(address);
    auto *edit = Child<QLineEdit>(w, "watchAddressEdit");
    QCOMPARE(edit->selectedText(), address);
    QCOMPARE(w.watchAddress(), address);
    // The address can be selected, not changed.
    QTest::keyClicks(edit, u"x"_s);
    QCOMPARE(edit->text(), address);

    // Copy, the browser icon and the terms link.
    ClickButton(w, "copyAddressButton");
    QCOMPARE(r.t.desktop.clipboard, address);
    QCOMPARE(r.t.messages.texts(),
             QStringList{u"Your video URL has been copied to your memory."_s});
    ClickButton(w, "openAddressButton");
    QTest::mouseClick(Child<QWidget>(w, "termsLink"), Qt::LeftButton);
    QCOMPARE(r.t.desktop.opened,
             (QStringList{address, u"http://"_s + QString::fromLatin1(SiteHost) + u"/t/terms"_s}));

    // Upload New: no file, every connection closed.
    ClickButton(w, "uploadNewButton");
    QCOMPARE(w.display(), Screen::NoFile);
    QVERIFY(w.session().allConnectionsClosed());
}

void TestMainWindow::siteClosesDuringTheUpload()
{
    // The site closes the login connection without an answer: the upload ends
    // with a connection error, the file and the account kept.
    Rig r;
    MainWindow &w = *r.w;
    r.site.scripts[FakeSite::Login].silent = false;
    r.site.scripts[FakeSite::Login].pieces = {};
    r.site.scripts[FakeSite::Login].end = FakeSite::End::Close;
    r.chooseFile();
    r.upload();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.texts(), QStringList{u"Connection error!"_s}, 10000);
    QCOMPARE(w.display(), Screen::FileChosen);
    QCOMPARE(w.chosenFile(), r.path);
    QCOMPARE(r.t.setting(u"pw"_s), u"secret"_s);
    QVERIFY(w.session().allConnectionsClosed());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
