// Keyboard and screen-reader use of the windows: Tab follows the reading
// order of each display, Space and Enter press what has the focus, and
// accessibility tools see named buttons and links with a press action.
#include "engine/protocol/uploadresult.h"
#include "windowrig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>

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

// What pressing a control did, as a "+"-joined list: the display it led
// to (when it changed), a dialog opened, a message shown, an address opened
// in the browser, the file dialog asked.
struct Outcome
{
    explicit Outcome(Rig &r)
        : r(r)
        , display(r.w->display())
    {
        r.t.messages.shown.clear();
        r.t.desktop.opened.clear();
        r.t.files.filters.clear();
        whenDialog<QDialog>(r.w.get(), [this](QDialog &d) {
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
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key"); // 0: a screen reader's press action
    QTest::addColumn<QString>("outcome");
    const int space = Qt::Key_Space, enter = Qt::Key_Return, reader = 0;
    QTest::newRow("intro: Enter in the help text")
        << u"intro"_s << u"helpText"_s << enter
        << u"display %1"_s.arg(int(MainWindow::Display::NoFile));
    QTest::newRow("button, Space")
        << u"no file"_s << u"browseButton"_s << space << u"file dialog"_s;
    QTest::newRow("button, Enter")
        << u"file chosen"_s << u"uploadButton"_s << enter << u"VideoInfoDialog"_s;
    QTest::newRow("link, Enter") << u"no file"_s << u"forgetAccountLink"_s << enter << u"message"_s;
    QTest::newRow("link, Space") << u"no file"_s << u"termsLink"_s << space << u"opened terms"_s;
    QTest::newRow("button, screen reader")
        << u"no file"_s << u"browseButton"_s << reader << u"file dialog"_s;
    QTest::newRow("link, screen reader")
        << u"uploading"_s << u"cancelLink"_s << reader
        << u"display %1"_s.arg(int(MainWindow::Display::FileChosen));
}

// Space or Enter on the focused control, or a screen reader's press, does
// what a click does.
void TestKeyboard::pressing()
{
    QFETCH(QString, display);
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    // The terms address depends on the site; the row names the program's.
    if (outcome == u"opened terms")
        outcome = u"opened "_s + termsAddress();
    Rig r(display);
    QVERIFY(tabTo(*r.w, control));
    Outcome o(r);
    if (key)
        pressKey(*r.w, Qt::Key(key));
    else
        QAccessible::queryAccessibleInterface(r.w->focusWidget())
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(50);
    QTRY_COMPARE(o.seen(), outcome);
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
