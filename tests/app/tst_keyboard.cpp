// Keyboard and screen-reader use of the windows: Tab follows the reading
// order of each display, Space and Enter press what has the focus, and
// accessibility tools see named buttons and links with a press action.
#include "account/accountdialog.h"
#include "site/uploadresult.h"
#include "windowrig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

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

// What pressing a control did, as a "+"-joined list: the display it led
// to (when it changed), a dialog opened, a message shown, an address opened
// in the browser, the clipboard filled, the file dialog asked.
struct Outcome
{
    explicit Outcome(Rig &r)
        : r(r)
        , display(r.w->display())
    {
        r.t.messages.shown.clear();
        r.t.desktop.opened.clear();
        r.t.files.filters.clear();
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
        if (!r.t.messages.shown.isEmpty())
            s << u"message"_s;
        for (const QString &address : r.t.desktop.opened)
            s << u"opened "_s + address;
        if (!r.t.desktop.clipboard.isEmpty())
            s << u"clipboard "_s + r.t.desktop.clipboard;
        if (!r.t.files.filters.isEmpty())
            s << u"file dialog"_s;
        return s.join(u'+');
    }

    Rig &r;
    MainWindow::Display display;
    QString dialog;
};

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tabOrder_data();
    void tabOrder();
    void videoInfoTabOrder();
    void pressing_data();
    void pressing();
    void accountDialogKeys_data();
    void accountDialogKeys();
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
    // The player's controls are named for screen readers.
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

void TestKeyboard::videoInfoTabOrder()
{
    TestPlatform t;
    VideoInfoDialog d(t.platform, u"clip"_s);
    Activate(d);
    QCOMPARE(TabRound(d).join(u' '),
             u"titleEdit descriptionEdit categoryCombo tagsEdit okButton cancelButton"_s);
}

void TestKeyboard::pressing_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("role"); // for screen readers; 0: not a button nor a link
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome");
    using D = MainWindow::Display;
    const QString noFile = u"display %1"_s.arg(int(D::NoFile));
    const int space = Qt::Key_Space, enter = Qt::Key_Return;
    const int button = QAccessible::PushButton, link = QAccessible::Link;
    QTest::newRow("intro: Enter in the help text")
        << u"intro"_s << u"helpText"_s << enter << 0 << QString() << noFile;
    QTest::newRow("intro: Enter on the check box")
        << u"intro"_s << u"skipIntroCheck"_s << enter << 0 << QString() << noFile;
    QTest::newRow("intro: Space on the check box does not leave")
        << u"intro"_s << u"skipIntroCheck"_s << space << 0 << QString() << QString();
    QTest::newRow("Understood sir!, Space")
        << u"intro"_s << u"understoodButton"_s << space << button << u"Understood sir!"_s << noFile;
    QTest::newRow("Set account, Enter") << u"no account"_s << u"accountButton"_s << enter << button
                                        << u"Set account"_s << u"AccountDialog"_s;
    QTest::newRow("My account, Space") << u"no file"_s << u"accountButton"_s << space << button
                                       << u"My account"_s << u"AccountDialog"_s;
    QTest::newRow("forget link, Enter") << u"no file"_s << u"forgetAccountLink"_s << enter << link
                                        << u"Forget me on this computer"_s << u"message"_s;
    QTest::newRow("terms link, Space") << u"no file"_s << u"termsLink"_s << space << link
                                       << u"YouTube Terms of Use"_s << u"opened terms"_s;
    QTest::newRow("browse, Space") << u"no file"_s << u"browseButton"_s << space << button
                                   << u"Browse file..."_s << u"file dialog"_s;
    QTest::newRow("UPLOAD!, Enter") << u"file chosen"_s << u"uploadButton"_s << enter << button
                                    << u"UPLOAD!"_s << u"VideoInfoDialog"_s;
    QTest::newRow("red X, Space") << u"file chosen"_s << u"clearFileButton"_s << space << button
                                  << u"Clear"_s << noFile;
    QTest::newRow("Cancel, Enter") << u"uploading"_s << u"cancelLink"_s << enter << link
                                   << u"Cancel"_s << u"display %1"_s.arg(int(D::FileChosen));
    QTest::newRow("Upload New, Space")
        << u"result"_s << u"uploadNewButton"_s << space << button << u"Upload New"_s << noFile;
    QTest::newRow("open, Enter") << u"result"_s << u"openAddressButton"_s << enter << button
                                 << u"Open in default browser"_s << u"opened "_s + ResultAddress;
    QTest::newRow("copy, Space") << u"result"_s << u"copyAddressButton"_s << space << button
                                 << u"Copy to memory"_s << u"message+clipboard "_s + ResultAddress;
}

// Space or Enter on the focused control does what a click does, and so does
// the press action that screen readers find on each button and link.
void TestKeyboard::pressing()
{
    QFETCH(QString, display);
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    // The terms address depends on the site; the row names the program's.
    if (outcome == u"opened terms")
        outcome = u"opened "_s + TermsAddress();
    {
        Rig r(display);
        QVERIFY(TabTo(*r.w, control));
        Outcome o(r);
        Key(*r.w, Qt::Key(key));
        QTest::qWait(50);
        QCOMPARE(o.seen(), outcome);
    }
    if (role == 0)
        return;
    Rig r(display);
    QAccessibleInterface *a =
        QAccessible::queryAccessibleInterface(Child<QWidget>(*r.w, control.toLatin1().constData()));
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

void TestKeyboard::accountDialogKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("result");
    // Save is the second stop; it checks the fields, which puts the focus
    // back on the empty user name.
    QTest::newRow("Space on Save") << u"tab tab space"_s << u"open: Please enter your username."_s;
    QTest::newRow("Enter on Save") << u"tab tab enter"_s << u"open: Please enter your username."_s;
    QTest::newRow("Space on Cancel") << u"tab tab tab space"_s << u"rejected"_s;
}

void TestKeyboard::accountDialogKeys()
{
    QFETCH(QString, keys);
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
        QCOMPARE(Focused(d), u"userNameEdit"_s);
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
    Rig r(u"intro"_s);
    r.site.scripts[FakeSite::Login].silent = false;
    r.t.files.paths = {r.path};
    MainWindow &w = *r.w;
    QStringList heard; // the names of the controls pressed
    auto press = [&](QWidget &window, Qt::Key key) {
        QWidget *focused = window.focusWidget();
        QVERIFY(focused);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(focused);
        heard << a->text(QAccessible::Name);
        if (screenReader)
            a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        else
            Key(window, key);
    };

    QTRY_COMPARE(Focused(w), u"helpText"_s);
    Key(w, Qt::Key_Return);
    QCOMPARE(w.display(), MainWindow::Display::NoFile);
    QCOMPARE(Focused(w), u"accountButton"_s);

    bool accountSaved = false;
    WhenDialog<AccountDialog>(&w, [&](AccountDialog &d) {
        QTRY_COMPARE(Focused(d), u"userNameEdit"_s);
        QTest::keyClicks(d.focusWidget(), u"user"_s);
        Key(d, Qt::Key_Return);
        QTest::keyClicks(d.focusWidget(), u"secret"_s);
        QVERIFY(TabTo(d, u"saveButton"_s));
        press(d, Qt::Key_Space);
        accountSaved = true;
    });
    press(w, Qt::Key_Space);
    QTRY_VERIFY(accountSaved);
    QTRY_COMPARE(r.t.setting(u"un"_s), u"user"_s);
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
        Key(d, Qt::Key_Down); // the category
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
    QTRY_COMPARE(r.t.desktop.clipboard, w.watchAddress());
    QCOMPARE(heard.join(u", "_s),
             u"Set account, Save, Browse file..., UPLOAD!, OK, Copy to memory"_s);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
