// Keyboard and screen-reader use of the windows: Tab follows the reading
// order of each display, Space and Enter press what has the focus, and
// accessibility tools see named buttons and links with a press action.
#include "desktop/windows/accountdialog.h"
#include "engine/protocol/uploadresult.h"
#include "windowrig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// The name of the control of `window` that has the keyboard focus.
QString focused(const QWidget &window)
{
    return window.focusWidget() ? window.focusWidget()->objectName() : QString();
}

// One key pressed and released where the focus of `window` is.
void pressKey(QWidget &window, Qt::Key key)
{
    QWidget *target = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyClick(target, key);
}

// Tab until the control named `name` has the focus, as a user would; false
// when it never comes.
bool tabTo(QWidget &window, const QString &name)
{
    for (int i = 0; i < 30 && focused(window) != name; ++i)
        pressKey(window, Qt::Key_Tab);
    return focused(window) == name;
}

// The names of the controls Tab visits, starting with nothing focused,
// until the focus comes round to the first again (at most 30).
QStringList tabRound(QWidget &window)
{
    if (QWidget *f = window.focusWidget())
        f->clearFocus();
    QStringList seen;
    for (int i = 0; i < 30; ++i) {
        pressKey(window, Qt::Key_Tab);
        const QString name = focused(window);
        if (!seen.isEmpty() && name == seen.first())
            break;
        seen << name;
    }
    return seen;
}

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
    void firstRun();
    void accessible();
};

void TestKeyboard::tabOrder_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("order");
    QTest::newRow("intro") << u"intro"_s << u"helpText understoodButton skipIntroCheck"_s;
    QTest::newRow("no account") << u"no account"_s << u"accountButton termsLink browseButton"_s;
    QTest::newRow("no file") << u"no file"_s
                             << u"accountButton forgetAccountLink termsLink browseButton"_s;
    QTest::newRow("file chosen") << u"file chosen"_s
                                 << u"accountButton forgetAccountLink termsLink fileEdit "
                                    "uploadButton clearFileButton"_s;
    QTest::newRow("uploading") << u"uploading"_s
                               << u"accountButton forgetAccountLink termsLink fileEdit "
                                  "cancelLink"_s;
    QTest::newRow("result") << u"result"_s
                            << u"accountButton forgetAccountLink termsLink uploadNewButton "
                               "fileEdit openAddressButton watchAddressEdit copyAddressButton"_s;
}

void TestKeyboard::tabOrder()
{
    QFETCH(QString, display);
    QFETCH(QString, order);
    Rig r(display);
    QCOMPARE(tabRound(*r.w).join(u' '), order);
}

// Tab in the video information dialog follows the reading order (the
// account dialog's keys are tested with the dialog).
void TestKeyboard::videoInfoTabOrder()
{
    TestPlatform t;
    UploadJob job(t.settings, nullptr, t.platform.routes, t.platform.addresses);
    VideoInfoDialog v(t.platform, job, u"clip"_s);
    activate(v);
    QCOMPARE(tabRound(v).join(u' '),
             u"titleEdit descriptionEdit categoryCombo tagsEdit okButton cancelButton"_s);
}

void TestKeyboard::pressing_data()
{
    QTest::addColumn<bool>("link"); // a link, or an image button
    QTest::addColumn<int>("key");   // 0: a screen reader's press action
    const std::pair<const char *, int> presses[] = {{"Space", Qt::Key_Space},
                                                    {"Return", Qt::Key_Return},
                                                    {"keypad Enter", Qt::Key_Enter},
                                                    {"screen reader", 0}};
    for (bool link : {false, true})
        for (const auto &[name, key] : presses)
            QTest::addRow("%s, %s", link ? "link" : "image button", name) << link << key;
}

// Space, Enter or a screen reader's press on an image button or a link
// does what a click does, once; a screen reader sees it named by its caption.
void TestKeyboard::pressing()
{
    QFETCH(bool, link);
    QFETCH(int, key);
    QWidget window;
    QAbstractButton *b =
        link ? static_cast<QAbstractButton *>(new LinkButton(u"Read me"_s, Qt::blue, &window))
             : new ImageButton(buttonFace(u"Read me"_s, Qt::darkGreen), &window);
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    activate(window);
    b->setFocus();
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
    QCOMPARE(a->role(), link ? QAccessible::Link : QAccessible::PushButton);
    QCOMPARE(a->text(QAccessible::Name), u"Read me"_s);
    if (key)
        QTest::keyClick(b, Qt::Key(key),
                        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    else
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(clicked.size(), 1);
    QTest::qWait(50);
    QCOMPARE(clicked.size(), 1);
}

// A first start by keyboard alone: Enter in the help text leaves the intro,
// Space on the terms link opens them, Space on the account button opens the
// account dialog.
void TestKeyboard::firstRun()
{
    Rig r(u"intro"_s);
    QVERIFY(tabTo(*r.w, u"helpText"_s));
    pressKey(*r.w, Qt::Key_Return);
    QCOMPARE(r.w->display(), MainWindow::Display::NoFile);
    QVERIFY(tabTo(*r.w, u"termsLink"_s));
    pressKey(*r.w, Qt::Key_Space);
    QCOMPARE(r.t.desktop.opened, QStringList{termsAddress()});
    bool asked = false;
    whenDialog<AccountDialog>(r.w.get(), [&asked](AccountDialog &d) {
        asked = true;
        d.reject();
    });
    QVERIFY(tabTo(*r.w, u"accountButton"_s));
    pressKey(*r.w, Qt::Key_Space);
    QTRY_VERIFY(asked);
}

// Screen readers find every image button and link named, focusable, with a
// press action; the names are the controls' texts.
void TestKeyboard::accessible()
{
    const QHash<QString, QString> names{{u"browseButton"_s, u"Browse file..."_s},
                                        {u"cancelLink"_s, u"Cancel"_s}};
    for (const QString &display : {u"intro"_s, u"uploading"_s, u"result"_s}) {
        Rig r(display);
        for (QAbstractButton *c : r.w->findChildren<QAbstractButton *>()) {
            const bool link = qobject_cast<LinkButton *>(c);
            if (!link && !qobject_cast<ImageButton *>(c))
                continue;
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(c);
            QCOMPARE(a->role(), link ? QAccessible::Link : QAccessible::PushButton);
            QVERIFY2(a->state().focusable && a->actionInterface(), qPrintable(c->objectName()));
            QCOMPARE(a->text(QAccessible::Name),
                     names.value(c->objectName(), a->text(QAccessible::Name)));
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(c->objectName()));
        }
    }
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
