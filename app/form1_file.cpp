// File selection on the main window: Browse, the red X, the read-only file
// box, UPLOAD! and the preview.
#include "app/form1.h"

#include "platform/filedialog.h"
#include "platform/mediapreview.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/widgets.h"
#include "site/numbers.h"
#include "videoinfo/form3.h"

#include <QFileInfo>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

// Files above 100 MB (in hundredths of a megabyte, after rounding) are refused.
constexpr qint64 MaximumHundredths = 100 * 100;

} // namespace

void Form1::Label4_Click()
{
    if (Label14->isHidden()) {
        m_platform.messages->show(u"You must set your YouTube account first."_s, MsgButtons::Ok,
                                  MsgIcon::Critical);
        return;
    }

    // From here on a failure ends the handler silently.
    const QString path = m_platform.files->openFile(FileFilter());
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (!info.isFile())
        return; // no length to read
    // The length is a 64-bit number, so files of 2 GiB and more are refused
    // with their true size.
    const qint64 size = info.size();
    const QString megabytes = MegabytesText(size);
    if (MegabytesHundredths(size) > MaximumHundredths) {
        m_platform.messages->show(u"This file is "_s + megabytes
                                      + u" MB in size. YouTube allows maximum 100 MB."_s,
                                  MsgButtons::Ok, MsgIcon::Critical);
        return;
    }

    const QString display = info.fileName() + u" ("_s + megabytes + u" MB)"_s;
    Label20 = display;
    Text1->setText(display);
    fname = path;
    WindowsMediaPlayer1->setMedia(path);
    WindowsMediaPlayer1->closeMedia();
    Text1->setVisible(true);
    Picture9->setVisible(false);
    Picture8->setVisible(true);
    Picture10->setVisible(true);
}

void Form1::Picture8_Click()
{
    Text1->setVisible(false);
    Picture8->setVisible(false);
    Picture9->setVisible(true);
    Picture10->setVisible(false);
}

void Form1::Text1_Change()
{
    // The box shows the chosen file; whatever is typed into it is undone.
    if (Text1->text() != Label20)
        Text1->setText(Label20);
}

void Form1::Label5_Click()
{
    // The file's name as the file system has it; empty when it is gone.
    const QFileInfo info(fname);
    const QString name = info.isFile() ? info.fileName() : QString();

    Form3 dialog(*this);
    dialog.Text1 = name;
    dialog.RichTextBox1->setText(name);
    dialog.RichTextBox1->selectAll();
    dialog.exec();
}
