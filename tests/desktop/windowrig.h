// What the window tests share: the main window at one of its displays, run
// against the test doubles and a fake site that takes the login request and
// never answers, so that a test can speak for the upload engine.
#pragma once

#include "desktop/windows/mainwindow.h"
#include "doubles.h"
#include "fakesite.h"
#include "desktop/windows/videoinfodialog.h"
#include "engine/upload/uploadchain.h"
#include "engine/upload/uploadjob.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace uplark::test {

using namespace Qt::StringLiterals;

inline const QString ResultAddress = u"http://localhost/watch?v=abc"_s;

// Stores the intro setting and the account; a null value is left unset.
inline void storeSettings(TestPlatform &t, const QString &skipIntro, const QString &user = {},
                          const QString &password = {})
{
    for (const auto &[key, value] :
         {std::pair{u"check1"_s, skipIntro}, {u"un"_s, user}, {u"pw"_s, password}})
        if (!value.isNull())
            t.setSetting(key, value);
}

// Runs `act` once a modal dialog of type D is open, whenever that is.
template<typename D>
void whenDialog(QObject *owner, std::function<void(D &)> act)
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

// Fills the video information dialog and presses OK.
inline void fillVideoInfo(VideoInfoDialog &d)
{
    child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(u"D"_s);
    child<QComboBox>(d, "categoryCombo")->setCurrentText(u"Comedy"_s);
    child<QLineEdit>(d, "tagsEdit")->setText(u"G"_s);
    clickButton(d, "okButton");
}

inline void activate(QWidget &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// The main window at a display: "intro" (first start), "no account",
// "no file", "file chosen", "uploading" (waiting for the login answer) or
// "result". A conversion service that answers is at hand.
struct Rig
{
    // `notifier`, when given, is the window's.
    explicit Rig(const QString &display, Notifier *notifier = nullptr)
    {
        t.platform.notifier = notifier;
        QVERIFY(site.start());
        site.route(t.platform.routes);
        site.scripts[FakeSite::Login].silent = true;
        http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
        t.platform.http = &http;
        const bool account = display != u"intro" && display != u"no account";
        storeSettings(t, display == u"intro" ? QString() : u"1"_s, account ? u"user"_s : QString(),
                      account ? u"secret"_s : QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'v')) == 5000);
        w = std::make_unique<MainWindow>(t.platform);
        activate(*w);
        if (display == u"intro" || display == u"no account" || display == u"no file")
            return;
        chooseFile();
        if (display == u"file chosen")
            return;
        upload();
        if (display == u"uploading")
            return;
        Q_EMIT w->job().chain().stepChanged(UploadStep::PreparingAddress);
        Q_EMIT w->job().chain().finished(ResultAddress);
    }

    void chooseFile()
    {
        t.files.paths = {path};
        clickButton(*w, "browseButton");
    }

    // UPLOAD! and OK on the video information dialog.
    void upload()
    {
        whenDialog<VideoInfoDialog>(w.get(), fillVideoInfo);
        clickButton(*w, "uploadButton");
    }

    TestPlatform t;
    ScriptedHttp http;
    FakeSite site;
    QTemporaryDir dir;
    QString path = dir.filePath(u"clip.wmv"_s);
    std::unique_ptr<MainWindow> w;
};

// A dark desktop palette, as some desktops give the program.
inline QPalette darkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230);
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, window);
    p.setColor(QPalette::Base, base);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, text);
    return p;
}

} // namespace uplark::test
