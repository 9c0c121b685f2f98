// Keyboard and screen-reader use of the windows: Tab follows the reading
// order of each display, Space and Enter press what has the focus, and
// accessibility tools see named buttons and links with a press action.
#include "account/accountdialog.h"
#include "app/mainwindow.h"
#include "doubles.h"
#include "fakesite.h"
#include "site/uploadresult.h"
#include "site/uploadsession.h"
#include "videoinfo/videoinfodialog.h"

#include "uplark_config.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

const QString ResultAddress = u"http://localhost/watch?v=abc"_s;

// Runs `act` once a modal dialog of type D is open; it looks for one until
// `act` has run, so the dialog may open at any later time.
template<typename D>
void WhenDialog(QObject *owner, std::function<void(D &)> act)
{
    auto *poll = new QTimer(owner);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *d = qobject_cast<D *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*d);
        }
    });
    poll->start();
}

// The control of `window` that has the keyboard focus, by object name (by
// accessible name when it has none, as the preview's controls).
QString Focused(const QWidget &window)
{
    QWidget *f = window.focusWidget();
    if (!f)
        return {};
    return f->objectName().isEmpty() ? f->accessibleName() : f->objectName();
}

// One key pressed and released where the focus of `window` is.
void Key(QWidget &window, Qt::Key key)
{
    QWidget *target = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyClick(target, key);
}

// Tab until the control named `name` has the focus, as a user would; false
// when it never comes.
bool TabTo(QWidget &window, const QString &name)
{
    for (int i = 0; i < 30 && Focused(window) != name; ++i)
        Key(window, Qt::Key_Tab);
    return Focused(window) == name;
}

// The names of the controls Tab visits, starting with nothing focused,
// until the focus comes round to the first again (at most 30).
QStringList TabRound(QWidget &window)
{
    if (QWidget *f = window.focusWidget())
        f->clearFocus();
    QStringList seen;
    for (int i = 0; i < 30; ++i) {
        Key(window, Qt::Key_Tab);
        const QString name = Focused(window);
        if (!seen.isEmpty() && name == seen.first())
            break;
        seen << name;
    }
    return seen;
}

void Activate(QWidget &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// The main window at one of its displays, with an account stored (unless
// the display is "no account"), a file to choose and a site that takes the
// login request and never answers.
struct Rig
{
    explicit Rig(const QString &display, bool realPreview = false)
    {
        if (realPreview)
            t.platform.makePreview = CreateMultimediaPreview;
        QVERIFY(site.start());
        site.route(t.platform.routes);
        site.scripts[FakeSite::Login].silent = true;
        http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
        t.platform.http = &http;
        if (display != u"intro")
            t.setSetting(u"check1"_s, u"1"_s);
        if (display != u"no account") {
            t.setSetting(u"un"_s, u"user"_s);
            t.setSetting(u"pw"_s, u"secret"_s);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'v')) == 5000);
        w = std::make_unique<MainWindow>(t.platform);
        Activate(*w);
        if (display == u"intro" || display == u"no account" || display == u"no file")
            return;
        t.files.paths = {path};
        ClickButton(*w, "browseButton");
        if (display == u"file chosen")
            return;
        WhenDialog<VideoInfoDialog>(w.get(), [](VideoInfoDialog &d) {
            Child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(u"D"_s);
            Child<QComboBox>(d, "categoryCombo")->setCurrentText(u"Comedy"_s);
            Child<QLineEdit>(d, "tagsEdit")->setText(u"G"_s);
            ClickButton(d, "okButton");
        });
        ClickButton(*w, "uploadButton");
        if (display == u"uploading")
            return;
        Q_EMIT w->session().stepChanged(UploadStep::PreparingAddress);
        Q_EMIT w->session().finished(ResultAddress);
    }

    TestPlatform t;
    ScriptedHttp http;
    FakeSite site;
    QTemporaryDir dir;
    QString path = dir.filePath(u"clip.wmv"_s);
    std::unique_ptr<MainWindow> w;
};

// What pressing a control did, as a "+"-joined list: the display it led
// to (when it changed), a dialog opened, a message shown, an address opened
// in the browser, the clipboard filled, the file dialog asked.
struct Outcome
{
    explicit Outcome(Rig &r)
        : r(r)
        , display(r.w->display())
        , messages(r.t.messages.shown.size())
        , opened(r.t.desktop.opened.size())
        , fileDialogs(r.t.files.filters.size())
    {
        WhenDialog<QDialog>(r.w.get(), [this](QDialog &d) {
            dialog = QString::fromLatin1(d.metaObject()->className()).remove(u"uplark::"_s);
            d.reject();
        });
    }

    QString seen() const
    {
        QStringList s;
        if (r.w->display() != display)
            s << u"display %1"_s.arg(int(r.w->display()));
        if (!dialog.isEmpty())
            s << dialog;
        if (r.t.messages.shown.size() > messages)
            s << u"message"_s;
        for (const QString &address : r.t.desktop.opened.mid(opened))
            s << u"opened "_s + address;
        if (!r.t.desktop.clipboard.isEmpty())
            s << u"clipboard "_s + r.t.desktop.clipboard;
        if (r.t.files.filters.size() > fileDialogs)
            s << u"file dialog"_s;
        return s.join(u'+');
    }

    Rig &r;
    MainWindow::Display display;
    qsizetype messages, opened, fileDialogs; // what came before
    QString dialog;
};

QAccessibleInterface *Accessible(QWidget *w)
{
    return QAccessible::queryAccessibleInterface(w);
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tabOrder_data();
    void tabOrder();
    void pressByKey_data();
    void pressByKey();
    void accountDialogKeys_data();
    void accountDialogKeys();
    void videoInfoTabOrder();
    void accessibleControls_data();
    void accessibleControls();
    void previewNames();
    void walkThrough_data();
    void walkThrough();
};

void TestKeyboard::tabOrder_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("realPreview");
    QTest::addColumn<QString>("order");
    QTest::newRow("intro") << u"intro"_s << false << u"helpText understoodButton skipIntroCheck"_s;
    QTest::newRow("no account") << u"no account"_s << false
                                << u"accountButton termsLink browseButton"_s;
    QTest::newRow("no file") << u"no file"_s << false
                             << u"accountButton forgetAccountLink termsLink browseButton"_s;
    QTest::newRow("file chosen") << u"file chosen"_s << false
                                 << u"accountButton forgetAccountLink termsLink fileEdit "
                                    "uploadButton clearFileButton"_s;
    QTest::newRow("uploading") << u"uploading"_s << false
                               << u"accountButton forgetAccountLink termsLink fileEdit "
                                  "cancelLink"_s;
    QTest::newRow("result") << u"result"_s << false
                            << u"accountButton forgetAccountLink termsLink uploadNewButton "
                               "fileEdit openAddressButton watchAddressEdit copyAddressButton"_s;
    QTest::newRow("file chosen, with the real preview: its controls last")
        << u"file chosen"_s << true
        << u"accountButton forgetAccountLink termsLink fileEdit uploadButton clearFileButton "
           "Play Stop Position"_s;
}

void TestKeyboard::tabOrder()
{
    QFETCH(QString, display);
    QFETCH(bool, realPreview);
    QFETCH(QString, order);
    Rig r(display, realPreview);
    QCOMPARE(TabRound(*r.w).join(u' '), order);
}

void TestKeyboard::pressByKey_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("outcome");
    using D = MainWindow::Display;
    const QString noFile = u"display %1"_s.arg(int(D::NoFile));
    const int space = Qt::Key_Space, enter = Qt::Key_Return;
    QTest::newRow("intro: Enter in the help text")
        << u"intro"_s << u"helpText"_s << enter << noFile;
    QTest::newRow("intro: Enter on the check box")
        << u"intro"_s << u"skipIntroCheck"_s << enter << noFile;
    QTest::newRow("intro: Space on Understood sir!")
        << u"intro"_s << u"understoodButton"_s << space << noFile;
    QTest::newRow("intro: Space on the check box does not leave")
        << u"intro"_s << u"skipIntroCheck"_s << space << QString();
    QTest::newRow("account button, Space")
        << u"no file"_s << u"accountButton"_s << space << u"AccountDialog"_s;
    QTest::newRow("account button, Enter")
        << u"no file"_s << u"accountButton"_s << enter << u"AccountDialog"_s;
    QTest::newRow("forget link, Enter")
        << u"no file"_s << u"forgetAccountLink"_s << enter << u"message"_s;
    QTest::newRow("terms link, Space")
        << u"no file"_s << u"termsLink"_s << space << u"opened http://www.youtube.com/t/terms"_s;
    QTest::newRow("browse, Space")
        << u"no file"_s << u"browseButton"_s << space << u"file dialog"_s;
    QTest::newRow("browse without an account, Enter")
        << u"no account"_s << u"browseButton"_s << enter << u"message"_s;
    QTest::newRow("UPLOAD!, Enter")
        << u"file chosen"_s << u"uploadButton"_s << enter << u"VideoInfoDialog"_s;
    QTest::newRow("red X, Space") << u"file chosen"_s << u"clearFileButton"_s << space << noFile;
    QTest::newRow("Cancel, Enter")
        << u"uploading"_s << u"cancelLink"_s << enter << u"display %1"_s.arg(int(D::FileChosen));
    QTest::newRow("Upload New, Space") << u"result"_s << u"uploadNewButton"_s << space << noFile;
    QTest::newRow("open, Enter") << u"result"_s << u"openAddressButton"_s << enter
                                 << u"opened "_s + ResultAddress;
    QTest::newRow("copy, Space") << u"result"_s << u"copyAddressButton"_s << space
                                 << u"message+clipboard "_s + ResultAddress;
}

void TestKeyboard::pressByKey()
{
    QFETCH(QString, display);
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    Rig r(display);
    QVERIFY(TabTo(*r.w, control));
    // The terms address depends on the site; the row names the program's.
    if (control == u"termsLink")
        outcome = u"opened "_s + TermsAddress();
    Outcome o(r);
    Key(*r.w, Qt::Key(key));
    QTest::qWait(50);
    QCOMPARE(o.seen(), outcome);
}

void TestKeyboard::accountDialogKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("result");
    // Enter in the fields moves between them and never saves.
    QTest::newRow("Enter, Enter") << u"enter enter"_s << u"userNameEdit"_s << u"open"_s;
    QTest::newRow("Enter") << u"enter"_s << u"passwordEdit"_s << u"open"_s;
    QTest::newRow("Tab, Tab reaches Save") << u"tab tab"_s << u"saveButton"_s << u"open"_s;
    QTest::newRow("Tab, Tab, Tab reaches Cancel")
        << u"tab tab tab"_s << u"cancelButton"_s << u"open"_s;
    QTest::newRow("Space on Save checks the fields")
        << u"tab tab space"_s << u"userNameEdit"_s << u"open: Please enter your username."_s;
    QTest::newRow("Enter on Save checks the fields")
        << u"tab tab enter"_s << u"userNameEdit"_s << u"open: Please enter your username."_s;
    QTest::newRow("Space on Cancel") << u"tab tab tab space"_s << QString() << u"rejected"_s;
}

void TestKeyboard::accountDialogKeys()
{
    QFETCH(QString, keys);
    QFETCH(QString, focus);
    QFETCH(QString, result);
    TestPlatform t;
    AccountDialog d(t.platform);
    Activate(d);
    // The dialog puts the focus on the user name once it is open.
    QTRY_VERIFY(!Child<QTimer>(d, "focusTimer")->isActive());
    QCOMPARE(Focused(d), u"userNameEdit"_s);
    for (const QString &k : keys.split(u' ')) {
        Key(d, k == u"tab" ? Qt::Key_Tab : k == u"space" ? Qt::Key_Space : Qt::Key_Return);
        QTest::qWait(5);
    }
    QString seen = d.isVisible()
                       ? u"open"_s
                       : (d.result() == QDialog::Rejected ? u"rejected"_s : u"accepted"_s);
    if (!t.messages.shown.isEmpty())
        seen += u": "_s + t.messages.texts().join(u" | "_s);
    QCOMPARE(seen, result);
    if (d.isVisible())
        QCOMPARE(Focused(d), focus);
}

void TestKeyboard::videoInfoTabOrder()
{
    TestPlatform t;
    VideoInfoDialog d(t.platform, u"clip"_s);
    Activate(d);
    QCOMPARE(TabRound(d).join(u' '),
             u"titleEdit descriptionEdit categoryCombo tagsEdit okButton cancelButton"_s);
}

void TestKeyboard::accessibleControls_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome");
    using D = MainWindow::Display;
    const int button = QAccessible::PushButton, link = QAccessible::Link;
    const QString noFile = u"display %1"_s.arg(int(D::NoFile));
    QTest::newRow("Understood sir!")
        << u"intro"_s << u"understoodButton"_s << button << u"Understood sir!"_s << noFile;
    QTest::newRow("Set account") << u"no account"_s << u"accountButton"_s << button
                                 << u"Set account"_s << u"AccountDialog"_s;
    QTest::newRow("My account") << u"no file"_s << u"accountButton"_s << button << u"My account"_s
                                << u"AccountDialog"_s;
    QTest::newRow("forget link") << u"no file"_s << u"forgetAccountLink"_s << link
                                 << u"Forget me on this computer"_s << u"message"_s;
    QTest::newRow("terms link") << u"no file"_s << u"termsLink"_s << link
                                << u"YouTube Terms of Use"_s << u"opened terms"_s;
    QTest::newRow("Browse file...")
        << u"no file"_s << u"browseButton"_s << button << u"Browse file..."_s << u"file dialog"_s;
    QTest::newRow("UPLOAD!") << u"file chosen"_s << u"uploadButton"_s << button << u"UPLOAD!"_s
                             << u"VideoInfoDialog"_s;
    QTest::newRow("red X") << u"file chosen"_s << u"clearFileButton"_s << button << u"X"_s
                           << noFile;
    QTest::newRow("Cancel link") << u"uploading"_s << u"cancelLink"_s << link << u"Cancel"_s
                                 << u"display %1"_s.arg(int(D::FileChosen));
    QTest::newRow("Upload New") << u"result"_s << u"uploadNewButton"_s << button << u"Upload New"_s
                                << noFile;
    QTest::newRow("open") << u"result"_s << u"openAddressButton"_s << button
                          << u"Open in default browser"_s << u"opened "_s + ResultAddress;
    QTest::newRow("copy") << u"result"_s << u"copyAddressButton"_s << button << u"Copy to memory"_s
                          << u"message+clipboard "_s + ResultAddress;
}

void TestKeyboard::accessibleControls()
{
    QFETCH(QString, display);
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    if (outcome == u"opened terms")
        outcome = u"opened "_s + TermsAddress();
    Rig r(display);
    QAccessibleInterface *a = Accessible(Child<QWidget>(*r.w, control.toLatin1().constData()));
    QVERIFY(a);
    QCOMPARE(int(a->role()), role);
    QCOMPARE(a->text(QAccessible::Name), name);
    QVERIFY(a->state().focusable);
    QAccessibleActionInterface *actions = a->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    Outcome o(r);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(o.seen(), outcome);
}

void TestKeyboard::previewNames()
{
    std::unique_ptr<MediaPreview> preview(CreateMultimediaPreview(nullptr));
    QStringList names;
    for (QWidget *w : preview->findChildren<QWidget *>()) {
        if (w->focusPolicy() & Qt::TabFocus) {
            QAccessibleInterface *a = Accessible(w);
            QVERIFY(a);
            names << a->text(QAccessible::Name);
        }
    }
    QCOMPARE(names.join(u' '), u"Play Stop Position"_s);
}

void TestKeyboard::walkThrough_data()
{
    QTest::addColumn<bool>("screenReader");
    QTest::newRow("keyboard: Space and Enter") << false;
    QTest::newRow("screen reader: the press action of what has the focus") << true;
}

// From the intro to the copied address by keyboard alone: Tab to each
// control, then Space or Enter, or the press action a screen reader offers
// for the focused control, whose name it reads.
void TestKeyboard::walkThrough()
{
    QFETCH(bool, screenReader);
    FakeSite site;
    QVERIFY(site.start());
    TestPlatform t;
    site.route(t.platform.routes);
    ScriptedHttp http;
    http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
    t.platform.http = &http;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"clip.wmv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'v')) == 5000);
    file.close();
    t.files.paths = {path};

    QStringList heard; // the names of the controls pressed
    auto press = [&](QWidget &window, Qt::Key key) {
        QWidget *focused = window.focusWidget();
        QVERIFY(focused);
        QAccessibleInterface *a = Accessible(focused);
        heard << a->text(QAccessible::Name);
        if (screenReader)
            a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        else
            Key(window, key);
    };

    MainWindow w(t.platform);
    Activate(w);
    QTRY_COMPARE(Focused(w), u"helpText"_s);
    Key(w, Qt::Key_Return);
    QCOMPARE(w.display(), MainWindow::Display::NoFile);
    QCOMPARE(Focused(w), u"accountButton"_s);

    bool accountSaved = false;
    WhenDialog<AccountDialog>(&w, [&](AccountDialog &d) {
        QTRY_COMPARE(Focused(d), u"userNameEdit"_s);
        QTest::keyClicks(d.focusWidget(), u"user"_s);
        Key(d, Qt::Key_Return);
        QCOMPARE(Focused(d), u"passwordEdit"_s);
        QTest::keyClicks(d.focusWidget(), u"secret"_s);
        QVERIFY(TabTo(d, u"saveButton"_s));
        press(d, Qt::Key_Space);
        accountSaved = true;
    });
    QVERIFY(TabTo(w, u"accountButton"_s));
    press(w, Qt::Key_Space);
    QTRY_VERIFY(accountSaved);
    QTRY_COMPARE(t.setting(u"un"_s), u"user"_s);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    QVERIFY(TabTo(w, u"browseButton"_s));
    press(w, Qt::Key_Space);
    QTRY_COMPARE(w.display(), MainWindow::Display::FileChosen);

    bool infoGiven = false;
    WhenDialog<VideoInfoDialog>(&w, [&](VideoInfoDialog &d) {
        QTRY_COMPARE(Focused(d), u"titleEdit"_s);
        Key(d, Qt::Key_Tab);
        QTest::keyClicks(d.focusWidget(), u"A description"_s);
        Key(d, Qt::Key_Tab);
        QCOMPARE(Focused(d), u"categoryCombo"_s);
        Key(d, Qt::Key_Down);
        Key(d, Qt::Key_Tab);
        QTest::keyClicks(d.focusWidget(), u"tag"_s);
        QVERIFY(TabTo(d, u"okButton"_s));
        press(d, Qt::Key_Space);
        infoGiven = true;
    });
    QVERIFY(TabTo(w, u"uploadButton"_s));
    press(w, Qt::Key_Return);
    QTRY_VERIFY(infoGiven);
    QTRY_COMPARE_WITH_TIMEOUT(w.display(), MainWindow::Display::Result, 20000);

    // The address box has the focus; the copy button is next.
    QCOMPARE(Focused(w), u"watchAddressEdit"_s);
    Key(w, Qt::Key_Tab);
    press(w, Qt::Key_Space);
    QTRY_VERIFY(!t.desktop.clipboard.isEmpty());
    QCOMPARE(t.desktop.clipboard, w.watchAddress());
    QCOMPARE(heard.join(u", "_s),
             u"Set account, Save, Browse file..., UPLOAD!, OK, Copy to memory"_s);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
