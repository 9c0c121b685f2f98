// The upload result: the watch address with its copy and open actions, and
// the terms-of-use link.
#include "app/form1.h"

#include "platform/desktop.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/widgets.h"
#include "site/uploadresult.h"
#include "site/winsock.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::Winsock2_DataArrival(qint64)
{
    const QByteArray chunk = Winsock2->GetData();
    text6 += chunk;
    // Once the address is shown, the rest of the answer is only kept.
    if (m_resultShown)
        return;
    const std::optional<QByteArray> id = ScanVideoId(chunk);
    if (!id) {
        Winsock2->Close();
        m_platform.messages->show(u"An error occured. Please re-run the program. Please revise "
                                  "your video description and eliminate the unwanted special "
                                  "characters. Sorry for that!"_s,
                                  MsgButtons::Ok, MsgIcon::Critical);
        m_platform.endProgram();
        return;
    }
    m_resultShown = true;
    Picture18->setVisible(true);
    Picture11->setPicture(Picture17);
    Label18 = WatchAddress(*id);
    // The limit first: a shorter limit left from an earlier result would
    // otherwise cut the new address.
    Text4->setMaxLength(int(Label18.size()));
    Text4->setText(Label18);
    Picture23->setVisible(true);
    Text4->setSelection(0, int(Text4->text().size()));
    Text4->setFocus();
}

void Form1::Picture22_Click()
{
    m_platform.desktop->clearClipboard();
    m_platform.desktop->setClipboardText(Text4->text());
    m_platform.messages->show(u"Your video URL has been copied to your memory."_s, MsgButtons::Ok,
                              MsgIcon::Information);
}

void Form1::Picture20_Click()
{
    OpenBrowser(Label18);
}

void Form1::Text4_Click()
{
    Text4->selectAll();
    Text4->setFocus();
}

void Form1::Text4_GotFocus()
{
    Text4->selectAll();
}

void Form1::Text4_Change()
{
    // The address can be selected and copied, not changed.
    if (Text4->text() != Label18)
        Text4->setText(Label18);
}

void Form1::Label13_Click()
{
    OpenBrowser(TermsAddress());
}

bool Form1::OpenBrowser(QString address)
{
    if (!address.startsWith(u"http"_s, Qt::CaseInsensitive))
        address.prepend(u"http://"_s);
    return m_platform.desktop->openUrl(address);
}
