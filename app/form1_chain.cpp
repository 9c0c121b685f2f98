// The upload chain: login, upload page, metadata form, file post, progress,
// Cancel, Upload New and the connection errors.
#include "app/form1.h"

#include "account/login.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/widgets.h"
#include "site/filepost.h"
#include "site/metadataform.h"
#include "site/numbers.h"
#include "site/progress.h"
#include "site/uploadpage.h"
#include "site/uploadtarget.h"
#include "site/winsock.h"

#include "uplark_config.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString ConnectionErrorText = u"Connection error!"_s;

// File chosen after a connection error: the banner goes, "UPLOAD!" and the
// red X come back, Cancel and the upload figures go.
void ShowFileChosenAfterError(Form1 &f)
{
    f.Picture11->setVisible(false);
    f.Picture10->setVisible(true);
    f.Picture8->setVisible(true);
    f.Label12->setVisible(false);
    f.Label6->setVisible(false);
    f.Label9->setVisible(false);
    f.Label11->setVisible(false);
}

} // namespace

// ---- Login ----

void Form1::Winsock1_Connect()
{
    // A new chain: every answer scanner starts afresh.
    m_loginDecided = false;
    m_tokenTaken = false;
    m_addresserTaken = false;
    m_formTaken = false;
    m_resultShown = false;
    uploadconnected = false;

    bytessent = 0;
    ProgressBar1->setValue(0);
    Label11->setText(QString());
    Label9->setText(QString());
    Winsock1->SendData(LoginRequest(Winsock1->RemoteHost().toLatin1(), un, pw));
}

void Form1::Winsock1_DataArrival(qint64)
{
    const QByteArray piece = Winsock1->GetData();
    Text3 += piece;
    if (m_loginDecided)
        return;
    switch (ScanLoginAnswer(piece)) {
    case LoginOutcome::NoDecision:
        return;
    case LoginOutcome::LoggedIn:
        m_loginDecided = true;
        logininfo = LoginCookie(piece);
        Command4_Click();
        return;
    case LoginOutcome::TooManyFailures:
    case LoginOutcome::CheckYour:
    case LoginOutcome::Incorrect:
        m_loginDecided = true;
        Winsock1->Close();
        Label12_Click();
        m_platform.messages->show(u"Either your username or password is wrong. Please check "
                                  "them and set your account again."_s,
                                  MsgButtons::Ok, MsgIcon::Critical);
        ClearStoredAccount();
        return;
    }
}

void Form1::Command4_Click()
{
    Winsock3->Connect(QString::fromLatin1(SiteHost), SitePort);
}

// ---- Upload page ----

void Form1::Winsock3_Connect()
{
    m_tokenTaken = false;
    Picture11->setPicture(Picture14);
    Winsock3->SendData(UploadPageRequest(Winsock3->RemoteHost().toLatin1(), logininfo));
}

void Form1::Winsock3_DataArrival(qint64)
{
    const QByteArray chunk = Winsock3->GetData();
    if (m_tokenTaken)
        return;
    const std::optional<QByteArray> token = UploadPageToken(chunk);
    if (!token)
        return;
    m_tokenTaken = true;
    sessiontoken = *token;
    Command5_Click();
}

void Form1::Command5_Click()
{
    Winsock4->Connect(QString::fromLatin1(SiteHost), SitePort);
}

// ---- Metadata form ----

void Form1::Winsock4_Connect()
{
    m_addresserTaken = false;
    m_formTaken = false;
    Winsock4->SendData(MetadataRequest(Winsock4->RemoteHost().toLatin1(), logininfo));
}

void Form1::Winsock4_DataArrival(qint64)
{
    const QByteArray chunk = Winsock4->GetData();
    if (!m_addresserTaken) {
        if (const std::optional<QByteArray> value = UploadFormAddresser(chunk)) {
            m_addresserTaken = true;
            addresser = *value;
        }
    }
    if (m_formTaken)
        return;
    const std::optional<QByteArray> target = UploadFormAction(chunk);
    if (!target)
        return;
    m_formTaken = true;
    action = *target;

    const QFileInfo file(fname);
    const qint64 size = file.size();
    const QLocale locale;
    Label9->setText(u"0 Kb uploaded so far, remaining "_s + GroupedNumber(Kilobytes(size), locale)
                    + u" Kb"_s);
    Label6->setText(u"Uploading "_s + MegabytesText(size, locale) + u" MB video '"_s
                    + file.fileName() + u"'"_s);
    Label6->adjustSize();
    Label6->setVisible(true);
    Label9->setVisible(true);
    Label11->setVisible(true);
    ProgressBar1->setVisible(true);
    Picture11->setPicture(Picture12);
    Timer3->start();
}

void Form1::Timer3_Timer()
{
    Timer3->stop();
    Command3_Click();
}

// ---- File post ----

void Form1::Command3_Click()
{
    // One post per connection; a call while an earlier one still waits for
    // the upload server does nothing either.
    if (uploadconnected || m_uploadWait)
        return;
    const URLParts target = SplitURL(action);
    if (target.Host.isEmpty()) {
        m_platform.messages->show(u"Invalid Host"_s, MsgButtons::Ok, MsgIcon::Critical,
                                  u"ERROR"_s);
        return;
    }

    // The whole request, with the file read straight into its place.
    QString error;
    QByteArray request = ReadFilePost(
        fname, target, {videotags, videotitle, videodscr, videocat, addresser, logininfo}, &error);
    if (!error.isEmpty()) {
        // Posting a video without its bytes would report an empty video as
        // uploaded: stop here instead.
        m_platform.messages->show(error, MsgButtons::Ok, MsgIcon::Critical, u"ERROR"_s);
        Label12_Click();
        return;
    }

    m_resultShown = false;
    Winsock2->setRemoteHost(QString::fromLatin1(target.Host));
    Winsock2->setRemotePort(target.Port == 0 ? 80 : target.Port);

    // Wait for the connection while events run. Besides the connection, an
    // error of Winsock2, Cancel, Upload New and Winsock4_Error end the wait,
    // also when they come before the wait has begun.
    QEventLoop wait;
    m_uploadWait = &wait;
    m_uploadWaitEnded = false;
    connect(Winsock2, &Winsock::connected, &wait, &QEventLoop::quit);
    connect(Winsock2, &Winsock::error, &wait, &QEventLoop::quit);
    Winsock2->Connect();
    if (!uploadconnected && !m_uploadWaitEnded)
        wait.exec();
    m_uploadWait = nullptr;

    // Whatever ended the wait may also have closed the connection.
    if (!uploadconnected || !Winsock2->isConnected())
        return;
    // The connection keeps the buffer; this function's reference goes now.
    Winsock2->SendData(std::exchange(request, QByteArray()));
}

void Form1::Winsock2_Connect()
{
    uploadconnected = true;
}

void Form1::Winsock2_SendProgress(qint64 bytesSent, qint64)
{
    bytessent += qint32(bytesSent);
    const QFileInfo file(fname);
    // A file that can no longer be measured: nothing to show for this event.
    if (!file.exists())
        return;
    const UploadProgressView view =
        UploadProgress(bytessent, file.size(), ProgressBar1->value(), QLocale());
    ProgressBar1->setValue(view.bar);
    Label11->setText(view.percent);
    Label9->setText(view.kilobytes);
    if (view.finished) {
        Picture11->setPicture(Picture16);
        ProgressBar1->setVisible(false);
        Label9->setVisible(false);
        Label11->setVisible(false);
        Label6->setVisible(false);
        Label12->setVisible(false);
    }
}

void Form1::EndUploadWait()
{
    m_uploadWaitEnded = true;
    if (m_uploadWait)
        m_uploadWait->quit();
}

// ---- Cancel and Upload New ----

void Form1::Label12_Click()
{
    uploadconnected = false;
    Winsock1->Close();
    Winsock3->Close();
    Winsock2->Close();
    Winsock4->Close();
    // A pending file post does not start on a window back in File chosen.
    Timer3->stop();
    EndUploadWait();

    Picture11->setVisible(false);
    Picture10->setVisible(true);
    Picture8->setVisible(true);
    Label12->setVisible(false);
    Label6->setVisible(false);
    Label9->setVisible(false);
    Label11->setVisible(false);
    ProgressBar1->setVisible(false);
}

void Form1::Label21_Click()
{
    Picture18->setVisible(false);
    Picture23->setVisible(false);
    Winsock1->Close();
    Winsock2->Close();
    Winsock3->Close();
    Winsock4->Close();
    uploadconnected = false;
    Timer3->stop();
    EndUploadWait();

    Picture11->setVisible(false);
    Picture10->setVisible(false);
    Picture8->setVisible(false);
    Text1->setVisible(false);
    Label12->setVisible(false);
    Label6->setVisible(false);
    Label9->setVisible(false);
    Label11->setVisible(false);
    ProgressBar1->setVisible(false);
    Picture9->setVisible(true);
}

// ---- Connection errors ----

void Form1::Winsock1_Error()
{
    Winsock1->Close();
    Timer3->stop();
    m_platform.messages->show(ConnectionErrorText, MsgButtons::Ok, MsgIcon::Critical);
    ShowFileChosenAfterError(*this);
}

void Form1::Winsock3_Error()
{
    Winsock1->Close();
    Winsock3->Close();
    Timer3->stop();
    m_platform.messages->show(ConnectionErrorText, MsgButtons::Ok, MsgIcon::Critical);
    ShowFileChosenAfterError(*this);
}

void Form1::Winsock4_Error()
{
    Winsock1->Close();
    Winsock3->Close();
    Winsock4->Close();
    Winsock2->Close();
    Timer3->stop();
    EndUploadWait();
    m_platform.messages->show(ConnectionErrorText, MsgButtons::Ok, MsgIcon::Critical);
    ShowFileChosenAfterError(*this);
}

void Form1::Winsock2_Error()
{
    // After the result the video is uploaded; a late failure changes nothing.
    if (m_resultShown)
        return;
    Winsock1->Close();
    Winsock3->Close();
    Winsock4->Close();
    Winsock2->Close();
    uploadconnected = false;
    Timer3->stop();
    EndUploadWait();
    m_platform.messages->show(ConnectionErrorText, MsgButtons::Ok, MsgIcon::Critical);
    ShowFileChosenAfterError(*this);
    // The upload stopped part way: its figures mean nothing any more.
    ProgressBar1->setVisible(false);
}
