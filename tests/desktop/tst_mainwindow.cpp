// The main window: start-up, the intro, the account, the choice of a file,
// the hand-over to and from the dialogs, and which display shows for each
// report of the upload engine.
#include "desktop/seams/filedialog.h"
#include "desktop/windows/accountdialog.h"
#include "fakekeyring.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QLocale>
#include <QProgressBar>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

using Screen = MainWindow::Display;
Q_DECLARE_METATYPE(MainWindow::Display)
Q_DECLARE_METATYPE(uplark::MsgAnswer)

namespace {

bool isShown(const MainWindow &w, const char *name)
{
    return !child<QWidget>(w, name)->isHidden();
}

QString faceText(const MainWindow &w, const char *name)
{
    if (auto *button = qobject_cast<ImageButton *>(child<QWidget>(w, name)))
        return button->pictureText();
    return child<PictureBox>(w, name)->pictureText();
}

// The controls that the displays show or hide, those shown as a "+"-joined
// list in a fixed order.
QString shownControls(const MainWindow &w)
{
    QStringList shown;
    for (const char *name :
         {"helpText", "understoodButton", "mainPanel", "accountButton", "forgetAccountLink",
          "browseButton", "fileEdit", "uploadButton", "clearFileButton", "statusBanner",
          "cancelLink", "statusLine", "progressBar", "kilobyteLine", "percentLabel", "resultPanel",
          "uploadNewButton"}) {
        if (isShown(w, name))
            shown << QString::fromLatin1(name);
    }
    return shown.join(u'+');
}

// Drags local files onto the window and drops them; true when the window
// took the drop. What the drop brings about is done once it has ended.
bool drop(MainWindow &w, const QStringList &files)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &f : files)
        urls.append(QUrl::fromLocalFile(f));
    mime->setUrls(urls);
    const QPoint at = w.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    bool taken = false;
    if (enter.isAccepted()) {
        QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &dropped);
        taken = dropped.isAccepted();
        QCoreApplication::processEvents();
    }
    delete mime;
    return taken;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startUp_data();
    void startUp();
    void previewMadeWhenFileFirstChosen();
    void accountDialogHandOver();
    void forgetMe_data();
    void forgetMe();
    void ending_data();
    void ending();
    void takingAFile_data();
    void takingAFile();
    void givenBeforeTheKeyringAnswers_data();
    void givenBeforeTheKeyringAnswers();
    void fileDialogFilters();
    void videoInformationHandOver();
    void engineReports_data();
    void engineReports();
    void result();
};

void TestMainWindow::startUp_data()
{
    QTest::addColumn<QString>("skipIntro"); // the stored "check1"
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("intro");
    QTest::addColumn<bool>("accountSet");
    QTest::addColumn<bool>("tick"); // on the intro, "Don't show this again" ticked
    // The intro is skipped only when the setting is exactly "1".
    QTest::newRow("check1 absent, ticked")
        << QString() << u"someone"_s << QString() << true << true << true;
    QTest::newRow("check1 0, not ticked")
        << u"0"_s << u"someone"_s << QString() << true << true << false;
    QTest::newRow("check1 1 with a space, ticked")
        << u" 1"_s << u"someone"_s << QString() << true << true << true;
    QTest::newRow("nothing stored") << u"1"_s << QString() << QString() << false << false << false;
    QTest::newRow("an account") << u"1"_s << u"a"_s << u"b"_s << false << true << false;
}

void TestMainWindow::startUp()
{
    QFETCH(QString, skipIntro);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, intro);
    QFETCH(bool, accountSet);
    QFETCH(bool, tick);
    TestPlatform t;
    storeSettings(t, skipIntro, user, password);
    MainWindow f(t.platform);
    QCOMPARE(f.display(), intro ? Screen::Intro : Screen::NoFile);
    // The account controls appear only with the main panel.
    const QString panel = u"mainPanel+accountButton"_s
                          + (accountSet ? u"+forgetAccountLink"_s : u""_s) + u"+browseButton"_s;
    QCOMPARE(shownControls(f), intro ? u"helpText+understoodButton"_s : panel);
    if (!intro)
        QCOMPARE(faceText(f, "accountButton"), accountSet ? u"My account"_s : u"Set account"_s);
    QCOMPARE(f.account().user, user);
    if (!intro)
        return;
    // Leaving the intro stores the tick; the next start skips the intro by it.
    child<QCheckBox>(f, "skipIntroCheck")->setChecked(tick);
    clickButton(f, "understoodButton");
    QCOMPARE(t.setting(u"check1"_s), tick ? u"1"_s : u"0"_s);
    QCOMPARE(shownControls(f), panel);
    MainWindow next(t.platform);
    QCOMPARE(next.display(), tick ? Screen::NoFile : Screen::Intro);
}

void TestMainWindow::previewMadeWhenFileFirstChosen()
{
    Rig r(u"no file"_s);
    // Until a file is chosen a look-alike fills the preview's box, and no
    // player (nor the media backend) is made.
    QTest::qWait(100);
    QVERIFY(!r.t.preview);
    QVERIFY(child<QWidget>(*r.w, "previewPlaceholder")->isVisible());

    r.chooseFile();
    RecordingPreview *first = r.t.preview;
    QVERIFY(first && first->isVisible());
    QVERIFY(!r.w->findChild<QWidget *>(u"previewPlaceholder"_s));
    QCOMPARE(first->calls, QStringList({u"media:"_s + r.path, u"close"_s}));

    // Later choices use the same player.
    clickButton(*r.w, "clearFileButton");
    r.chooseFile();
    QCOMPARE(r.t.preview, first);
    QCOMPARE(first->calls.size(), 4);
}

void TestMainWindow::accountDialogHandOver()
{
    Rig r(u"no account"_s);
    r.site.scripts[FakeSite::Login].silent = false; // its login answer carries a cookie
    TestPlatform &t = r.t;
    MainWindow &f = *r.w;
    // What has happened by the time the success message shows.
    QStringList seen;
    t.messages.onShow = [&](const RecordingMessageBox::Shown &) {
        seen << t.setting(u"un"_s) << faceText(f, "accountButton")
             << (QApplication::activeModalWidget() ? u"dialog open"_s : u"dialog closed"_s);
    };
    whenDialog<AccountDialog>(&f, [](AccountDialog &d) {
        child<QLineEdit>(d, "userNameEdit")->setText(u"  demo  "_s);
        child<QLineEdit>(d, "passwordEdit")->setText(u" pw x "_s);
        clickButton(d, "saveButton");
    });
    clickButton(f, "accountButton");
    QCOMPARE(t.messages.texts(),
             QStringList{u"Your YouTube account information has been successfully set on this "
                         "program. You can start uploading videos to your account now."_s});
    QCOMPARE(seen, (QStringList{u"  demo  "_s, u"My account"_s, u"dialog closed"_s}));
    // The window takes the account afterwards; Browse no longer asks for one.
    QCOMPARE(f.account().password, u" pw x "_s);
    clickButton(f, "browseButton");
    QCOMPARE(t.files.filters.size(), 1);
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
    storeSettings(t, u"1"_s, u"user"_s, u"pass"_s);
    MainWindow f(t.platform);
    t.messages.answers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
    QTest::mouseClick(child<QWidget>(f, "forgetAccountLink"), Qt::LeftButton);

    QCOMPARE(t.messages.shown[0].buttons, MsgButtons::YesNo);
    QCOMPARE(t.messages.shown.size() == 2
                 && t.messages.shown[1].text
                        == u"We removed your YouTube account information on this computer."_s,
             yes);
    QCOMPARE(t.setting(u"pw"_s), yes ? QString() : u"pass"_s);
    QCOMPARE(!isShown(f, "forgetAccountLink"), yes);
    QCOMPARE(faceText(f, "accountButton"), yes ? u"Set account"_s : u"My account"_s);
    QCOMPARE(f.account().user, yes ? QString() : u"user"_s);
}

void TestMainWindow::ending_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("display");  // a Rig display
    QTest::addColumn<MsgAnswer>("answer"); // to the question, when one is asked
    for (const char *how : {"esc", "menu", "close"}) {
        QTest::addRow("%s, nothing under way", how)
            << QString::fromLatin1(how) << u"file chosen"_s << MsgAnswer::No;
        QTest::addRow("%s during an upload, stay", how)
            << QString::fromLatin1(how) << u"uploading"_s << MsgAnswer::No;
        QTest::addRow("%s during an upload, cancel and quit", how)
            << QString::fromLatin1(how) << u"uploading"_s << MsgAnswer::Yes;
    }
    QTest::newRow("esc after the result") << u"esc"_s << u"result"_s << MsgAnswer::No;
}

void TestMainWindow::ending()
{
    QFETCH(QString, how);
    QFETCH(QString, display);
    QFETCH(MsgAnswer, answer);
    Rig r(display);
    MainWindow &f = *r.w;
    activate(f); // again, after the video information dialog
    const bool underWay = display == u"uploading";
    r.t.messages.shown.clear();
    r.t.messages.answers = {answer};
    bool closed = true;
    if (how == u"esc")
        QTest::keyClick(&f, Qt::Key_Escape);
    else if (how == u"menu")
        child<QAction>(f, "exitAction")->trigger();
    else
        closed = f.close();

    // Nothing under way: the program ends at once, without a question.
    const bool ends = !underWay || answer == MsgAnswer::Yes;
    QCOMPARE(r.t.endRequests, ends ? 1 : 0);
    QCOMPARE(closed, ends || how != u"close");
    QCOMPARE(r.t.messages.texts(),
             underWay ? QStringList{u"An upload is under way. Do you want to cancel it and quit?"_s}
                      : QStringList{});
    if (underWay) {
        QCOMPARE(r.t.messages.shown.first().buttons, MsgButtons::YesNo);
        // Staying keeps the upload; quitting cancels it, so the site keeps
        // nothing.
        QCOMPARE(r.w->job().chain().stage() == UploadChain::Stage::Idle, ends);
        QCOMPARE(f.display(), Screen::Uploading);
    }
}

void TestMainWindow::takingAFile_data()
{
    // "browse": the file dialog; "given": a file from the command line or a
    // later start; "dropped": dropped on the window. All take a file alike.
    QTest::addColumn<QString>("display"); // a Rig display
    QTest::addColumn<QString>("how");     // or "dropped two"
    QTest::addColumn<qint64>("size");     // -1: the file dialog is cancelled
    QTest::addColumn<QString>("megabytes");
    QTest::addColumn<QString>("message"); // %1: the megabytes
    QTest::addColumn<Screen>("after");
    const QString tooBig = u"This file is %1 MB in size. YouTube allows maximum 100 MB."_s;
    const QString noAccount = u"You must set your YouTube account first."_s;
    const qint64 oneMB = 1048576;
    for (const char *how : {"browse", "given", "dropped"}) {
        const QString h = QString::fromLatin1(how);
        QTest::addRow("%s: exactly 100 MB", how) << u"no file"_s << h << qint64(104857600)
                                                 << u"100"_s << QString() << Screen::FileChosen;
        QTest::addRow("%s: rounds up to 100.01", how)
            << u"no file"_s << h << qint64(104862843) << u"100.01"_s << tooBig << Screen::NoFile;
        QTest::addRow("%s: no account", how)
            << u"no account"_s << h << oneMB << QString() << noAccount << Screen::NoFile;
    }
    QTest::newRow("browse: file dialog cancelled")
        << u"no file"_s << u"browse"_s << qint64(-1) << QString() << QString() << Screen::NoFile;
    QTest::newRow("given on the intro: waits for it")
        << u"intro"_s << u"given"_s << oneMB << u"1"_s << QString() << Screen::Intro;
    QTest::newRow("given with a file chosen: replaces it")
        << u"file chosen"_s << u"given"_s << oneMB << u"1"_s << QString() << Screen::FileChosen;
    QTest::newRow("dropped on the result: starts over")
        << u"result"_s << u"dropped"_s << oneMB << u"1"_s << QString() << Screen::FileChosen;
    QTest::newRow("given during an upload: not taken")
        << u"uploading"_s << u"given"_s << oneMB << QString() << QString() << Screen::Uploading;
    QTest::newRow("dropped during an upload: refused")
        << u"uploading"_s << u"dropped"_s << oneMB << QString() << QString() << Screen::Uploading;
    QTest::newRow("two dropped: a message, nothing taken")
        << u"no file"_s << u"dropped two"_s << oneMB << QString()
        << u"Please drop one video file at a time."_s << Screen::NoFile;
}

void TestMainWindow::takingAFile()
{
    QFETCH(QString, display);
    QFETCH(QString, how);
    QFETCH(qint64, size);
    QFETCH(QString, megabytes);
    QFETCH(QString, message);
    QFETCH(Screen, after);
    megabytes.replace(u'.', QLocale::system().decimalPoint());
    Rig r(display);
    const QString before = r.w->chosenFile();
    r.t.messages.shown.clear();
    QFile file(r.dir.filePath(u"Holiday clip.MPG"_s));
    if (size >= 0 && (!file.open(QIODevice::WriteOnly) || !file.resize(size))) // sparse
        QSKIP("The temporary folder cannot hold a file of this size.");
    file.close();
    if (how == u"browse") {
        r.t.files.paths = size >= 0 ? QStringList{file.fileName()} : QStringList{};
        clickButton(*r.w, "browseButton");
        QCOMPARE(r.t.files.filters,
                 display == u"no account" ? QStringList() : QStringList{MainWindow::fileFilter()});
    } else if (how == u"given") {
        r.w->offerFile(file.fileName());
    } else {
        const QStringList files =
            how == u"dropped" ? QStringList{file.fileName()} : QStringList{file.fileName(), r.path};
        QCOMPARE(drop(*r.w, files), display != u"uploading");
    }
    QCOMPARE(r.t.messages.texts(),
             message.isEmpty() ? QStringList() : QStringList{message.arg(megabytes)});
    QCOMPARE(r.w->display(), after);
    const bool taken = after == Screen::FileChosen;
    QCOMPARE(r.w->chosenFile(), taken ? file.fileName() : before);
    if (before.isEmpty() && !taken) // nothing previewed either
        QVERIFY(!r.t.preview);
    if (display == u"intro") {
        // Taken once the intro is left (and an account is set meanwhile).
        storeSettings(r.t, {}, u"user"_s, u"secret"_s);
        clickButton(*r.w, "understoodButton");
        QCOMPARE(r.w->display(), Screen::FileChosen);
        QCOMPARE(r.w->chosenFile(), file.fileName());
    } else if (!taken) {
        return;
    }
    QCOMPARE(child<QLineEdit>(*r.w, "fileEdit")->text(),
             u"Holiday clip.MPG ("_s + megabytes + u" MB)"_s);
    // The red X takes the file back.
    clickButton(*r.w, "clearFileButton");
    QCOMPARE(r.w->display(), Screen::NoFile);
}

void TestMainWindow::givenBeforeTheKeyringAnswers_data()
{
    QTest::addColumn<bool>("account");
    QTest::newRow("an account") << true;
    QTest::newRow("no account") << false;
}

// The password still in the settings file moves into the keyring at start;
// a file given meanwhile waits for the account instead of being refused.
void TestMainWindow::givenBeforeTheKeyringAnswers()
{
    QFETCH(bool, account);
    TestPlatform t;
    storeSettings(t, u"1"_s, account ? u"someone"_s : QString(), account ? u"secret"_s : QString());
    FakeKeyring keyring;
    t.settings.setKeyring(&keyring);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"clip.mpg"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("v") == 1);
    file.close();
    MainWindow f(t.platform);
    f.offerFile(file.fileName());
    QTRY_VERIFY(f.display() != Screen::NoFile || !t.messages.texts().isEmpty());
    QCOMPARE(f.chosenFile(), account ? file.fileName() : QString());
    QCOMPARE(t.messages.texts(),
             account ? QStringList() : QStringList{u"You must set your YouTube account first."_s});
}

void TestMainWindow::fileDialogFilters()
{
    // The video filter first, with the common containers beside the classic
    // formats, each pattern in both cases (names are case-sensitive here);
    // "All files" last.
    const QStringList filters = nameFiltersFromPipeFilter(MainWindow::fileFilter());
    const QStringList video = filters.first().section(u'(', -1).chopped(1).split(u' ');
    for (const char *type : {"mpg", "mp4", "webm", "mkv", "mov"})
        QVERIFY2(video.contains(u"*."_s + QString::fromLatin1(type)), type);
    for (const QString &pattern : video)
        QVERIFY2(video.contains(pattern.toUpper()) && video.contains(pattern.toLower()),
                 qPrintable(pattern));
    QCOMPARE(filters.last(), u"All files (*.*) (*.*)"_s);
}

void TestMainWindow::videoInformationHandOver()
{
    Rig r(u"file chosen"_s);
    MainWindow &w = *r.w;
    // Opened with the file's name as the title, and left by Cancel: File chosen again.
    QString title;
    whenDialog<VideoInfoDialog>(&w, [&](VideoInfoDialog &d) {
        title = child<QLineEdit>(d, "titleEdit")->text();
        clickButton(d, "cancelButton");
    });
    clickButton(w, "uploadButton");
    QCOMPARE(title, u"clip.wmv"_s);
    QCOMPARE(w.display(), Screen::FileChosen);
    QVERIFY(r.http.requests.isEmpty());

    // A conversion that fails leaves the dialog open on File chosen.
    r.http.reply = {};
    bool fileChosenWhileOpen = false;
    whenDialog<VideoInfoDialog>(&w, [&](VideoInfoDialog &d) {
        fillVideoInfo(d);
        fileChosenWhileOpen = d.isVisible() && w.display() == Screen::FileChosen;
        d.reject();
    });
    clickButton(w, "uploadButton");
    QVERIFY(fileChosenWhileOpen);
    QCOMPARE(r.t.messages.texts(), QStringList{u"Connection error!"_s});

    // OK with a conversion: the upload starts with the converted texts.
    r.http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
    r.upload();
    QCOMPARE(w.display(), Screen::Uploading);
    QCOMPARE(faceText(w, "statusBanner"), u"Connecting to YouTube server..."_s);
    QTRY_COMPARE_WITH_TIMEOUT(r.site.complete[FakeSite::Login], 1, 10000);
}

void TestMainWindow::engineReports_data()
{
    QTest::addColumn<QString>("reports"); // what the engine says, in order
    QTest::addColumn<Screen>("display");
    QTest::addColumn<QString>("banner");
    QTest::addColumn<QString>("message");  // "title: text"
    QTest::addColumn<QString>("controls"); // shown besides the panel and account controls
    const QString wrongAccount = u"Uplark: Either your username or password is wrong. Please "
                                 "check them and set your account again."_s;
    const QString chosen = u"+forgetAccountLink+fileEdit+uploadButton+clearFileButton"_s;
    const QString sent = u"+forgetAccountLink+fileEdit+statusBanner"_s;
    const QString uploading = sent + u"+cancelLink"_s;
    const QString figures = uploading + u"+statusLine+progressBar+kilobyteLine+percentLabel"_s;
    QTest::newRow("logging in") << u"logging in"_s << Screen::Uploading << u"Logging in..."_s
                                << QString() << uploading;
    QTest::newRow("upload form: the figures")
        << u"announced,uploading,progress"_s << Screen::Uploading << u"Uploading... Please wait"_s
        << QString() << figures;
    QTest::newRow("all sent") << u"announced,uploading,progress,preparing"_s << Screen::Sent
                              << u"Preparing your video address..."_s << QString() << sent;
    QTest::newRow("address") << u"announced,preparing,finished"_s << Screen::Result
                             << u"Video successfully uploaded."_s << QString()
                             << sent + u"+resultPanel+uploadNewButton"_s;
    QTest::newRow("connection error after the figures")
        << u"announced,uploading,ConnectionError"_s << Screen::FileChosen << QString()
        << u"Uplark: Connection error!"_s << chosen;
    QTest::newRow("the site could not store the video: as a connection error")
        << u"announced,preparing,NotStored"_s << Screen::FileChosen << QString()
        << u"Uplark: Connection error!"_s << chosen;
    QTest::newRow("account rejected: forgotten, no file")
        << u"AccountRejected"_s << Screen::NoFile << QString() << wrongAccount
        << u"+browseButton"_s;
    QTest::newRow("invalid host: the upload stays on show")
        << u"announced,uploading,InvalidHost"_s << Screen::Uploading
        << u"Uploading... Please wait"_s << u"ERROR: Invalid Host"_s << figures;
    QTest::newRow("no video id: the program ends")
        << u"preparing,NoVideoId"_s << Screen::Sent << u"Preparing your video address..."_s
        << u"Uplark: An error occured. Please re-run the program. Please revise your video "
           "description and eliminate the unwanted special characters. Sorry for that!"_s
        << sent;
}

void TestMainWindow::engineReports()
{
    QFETCH(QString, reports);
    QFETCH(Screen, display);
    QFETCH(QString, banner);
    QFETCH(QString, message);
    QFETCH(QString, controls);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Rig r(u"uploading"_s);
    MainWindow &w = *r.w;
    QCOMPARE(w.display(), Screen::Uploading);
    UploadChain &s = w.job().chain();
    using F = UploadFailure;
    const QHash<QString, F> failures{{u"ConnectionError"_s, F::ConnectionError},
                                     {u"AccountRejected"_s, F::AccountRejected},
                                     {u"InvalidHost"_s, F::InvalidHost},
                                     {u"NoVideoId"_s, F::NoVideoId},
                                     {u"NotStored"_s, F::NotStored}};
    for (const QString &report : reports.split(u',')) {
        if (report == u"logging in")
            Q_EMIT s.stepChanged(UploadStep::LoggingIn);
        else if (report == u"announced")
            Q_EMIT s.fileAnnounced(u"clip.wmv"_s, 3000000);
        else if (report == u"uploading")
            Q_EMIT s.stepChanged(UploadStep::Uploading);
        else if (report == u"progress")
            Q_EMIT s.progressed(uploadProgress(1500000, 3000000, 0, QLocale()));
        else if (report == u"preparing")
            Q_EMIT s.stepChanged(UploadStep::PreparingAddress);
        else if (report == u"finished")
            Q_EMIT s.finished(ResultAddress);
        else if (failures.contains(report))
            Q_EMIT s.failed(failures.value(report), {});
        else
            QFAIL(qPrintable(u"no such report: "_s + report));
    }
    QCOMPARE(w.display(), display);
    if (!banner.isEmpty())
        QCOMPARE(faceText(w, "statusBanner"), banner);
    QCOMPARE(r.t.messages.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(r.t.messages.shown[0].title + u": "_s + r.t.messages.shown[0].text, message);
    QCOMPARE(r.t.endRequests, reports.endsWith(u"NoVideoId"_s) ? 1 : 0);
    if (r.t.endRequests) {
        // The program closes its windows as it ends: no question on the way.
        QVERIFY(r.w->close());
        QCOMPARE(r.t.messages.shown.size(), 1);
    }
    QCOMPARE(shownControls(w), u"mainPanel+accountButton"_s + controls);
    if (reports.endsWith(u"progress"_s)) {
        QCOMPARE(child<QLabel>(w, "statusLine")->text(), u"Uploading 2.86 MB video 'clip.wmv'"_s);
        QCOMPARE(child<QProgressBar>(w, "progressBar")->value(), 50);
    }
    // Once the job has forgotten a rejected account, the window asks for one.
    QCOMPARE(faceText(w, "accountButton"),
             display == Screen::NoFile ? u"Set account"_s : u"My account"_s);
    QLocale::setDefault(QLocale::c());
}

void TestMainWindow::result()
{
    // The address is shown selected, to be opened or copied; Upload New
    // closes every connection and offers Browse again.
    Rig r(u"result"_s);
    QCOMPARE(child<QLineEdit>(*r.w, "watchAddressEdit")->selectedText(), ResultAddress);
    clickButton(*r.w, "openAddressButton");
    QCOMPARE(r.t.desktop.opened, QStringList{ResultAddress});
    clickButton(*r.w, "copyAddressButton");
    QCOMPARE(r.t.desktop.clipboard, ResultAddress);
    QCOMPARE(r.t.messages.texts(),
             QStringList{u"Your video URL has been copied to your memory."_s});
    clickButton(*r.w, "uploadNewButton");
    QCOMPARE(r.w->display(), Screen::NoFile);
    QVERIFY(r.w->job().chain().allConnectionsClosed());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
