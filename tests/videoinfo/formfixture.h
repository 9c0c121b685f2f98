#pragma once

#include "app/form1.h"
#include "doubles.h"
#include "platform/widgets.h"
#include "site/winsock.h"
#include "uplark_config.h"
#include "videoinfo/form3.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

// A main window with an account and a chosen file, its site host routed to
// a local server that only accepts connections, and the test platform's
// conversion requests scripted.
struct MainWindowFixture
{
    MainWindowFixture()
    {
        site.listen(QHostAddress::LocalHost, 0);
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              site.serverPort());
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, u"someone"_s);
        t.setSetting(u"pw"_s, u"secret"_s);
        main = std::make_unique<Form1>(t.platform);
        // The file-chosen display.
        main->Text1->setVisible(true);
        main->Picture9->setVisible(false);
        main->Picture8->setVisible(true);
        main->Picture10->setVisible(true);
        // Values that must survive every way out but a successful OK.
        main->videotitle = "old title";
        main->videodscr = "old dscr";
        main->videotags = "old tags";
        main->videocat = "99";
    }

    // True when the main window shows its file-chosen display.
    bool fileChosen() const
    {
        const Form1 &m = *main;
        return m.Picture11->isHidden() && !m.Picture10->isHidden() && !m.Picture8->isHidden()
               && m.Label12->isHidden() && m.Label6->isHidden() && m.Label9->isHidden()
               && m.Label11->isHidden() && m.ProgressBar1->isHidden() && m.Picture9->isHidden();
    }

    // True when the main window shows its uploading display.
    bool uploading() const
    {
        const Form1 &m = *main;
        return !m.Picture11->isHidden()
               && m.Picture11->pictureText() == u"Connecting to YouTube server..."_s
               && m.Picture10->isHidden() && m.Picture9->isHidden() && m.Picture8->isHidden()
               && !m.Label12->isHidden();
    }

    bool fieldsUntouched() const
    {
        return main->videotitle == "old title" && main->videodscr == "old dscr"
               && main->videotags == "old tags" && main->videocat == "99";
    }

    TestPlatform t;
    QTcpServer site;
    std::unique_ptr<Form1> main;
};

// A stand-in for the conversion service's answer to a request body: each
// field between its markers, bytes outside printable ASCII and "%" as %XX.
inline QByteArray EchoAnswer(const QByteArray &body)
{
    const auto escape = [](const QByteArray &text) {
        QByteArray out;
        for (char c : text) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b > 0x7e || c == '%')
                out += '%' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
            else
                out += c;
        }
        return out;
    };
    const qsizetype d = body.indexOf("&dscr=");
    const qsizetype g = body.indexOf("&tags=");
    const QByteArray title = body.mid(6, d - 6);
    const QByteArray dscr = body.mid(d + 6, g - d - 6);
    const QByteArray tags = body.mid(g + 6);
    return "<html><TITLE>" + escape(title) + "</TITLE>\r\n<DSCR>" + escape(dscr)
           + "</DSCR>\r\n<TAGS>" + escape(tags) + "</TAGS></html>";
}

// Makes the scripted conversion answer every request like the service.
inline void AnswerLikeTheService(ScriptedHttp &http)
{
    http.onPost = [&http](const ScriptedHttp::Request &r) {
        HttpReply reply;
        reply.ok = true;
        reply.status = 200;
        reply.body = EchoAnswer(r.body);
        http.replies.append(reply);
    };
}

// Runs `work` on the modal video information dialog once it is open (gives
// up after about five seconds; `work` then gets nullptr).
inline void WhenDialogOpens(std::function<void(Form3 *)> work)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, work] {
        auto *dialog = qobject_cast<Form3 *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        work(dialog);
    });
    timer->start(10);
}
