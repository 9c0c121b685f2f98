#include "videoinfo/form3.h"

#include "app/form1.h"
#include "platform/httprequest.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/pictures.h"
#include "platform/widgets.h"
#include "site/winsock.h"
#include "uplark_config.h"
#include "videoinfo/conversion.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString PleaseSelect = u"Please select..."_s;

struct Category
{
    const char16_t *item;
    const char *id;
};

// The category list in list order, with the number stored for each item.
constexpr Category Categories[] = {
    {u"Autos & Vehicles", "2"},      {u"Comedy", "23"},
    {u"Education", "27"},            {u"Entertainment", "24"},
    {u"Film & Animation", "1"},      {u"Howto & Style", "26"},
    {u"Music", "10"},                {u"News & Politics", "25"},
    {u"Nonprofits & Activism", "29"}, {u"People & Blogs", "22"},
    {u"Pets & Animals", "15"},       {u"Science & Technology", "28"},
    {u"Sports", "17"},               {u"Travel & Events", "19"},
};

// Keeps a multi-line box at `limit` characters whatever way the text comes
// in (typing, pasting, dropping): the part of an insertion that does not fit
// is taken off again, in the same undo step. A line break counts as one
// character.
void limitLength(QPlainTextEdit *box, int limit)
{
    struct Insertion
    {
        int position = 0;
        int length = 0;
    };
    QTextDocument *doc = box->document();
    auto last = std::make_shared<Insertion>();
    // The document may not be edited while it reports the change itself;
    // the cut follows once it reports that its contents have changed.
    QObject::connect(doc, &QTextDocument::contentsChange, box,
                     [last](int position, int, int added) { *last = {position, added}; });
    QObject::connect(doc, &QTextDocument::contentsChanged, box, [box, doc, last, limit] {
        const int length = doc->characterCount() - 1;
        const int excess = length - limit;
        if (excess <= 0)
            return;
        const int end = qMin(last->position + last->length, length);
        int start = qMax(0, end - excess);
        // Never leave half of a surrogate pair.
        if (start > 0 && doc->characterAt(start).isLowSurrogate())
            --start;
        QTextCursor cursor(doc);
        cursor.joinPreviousEditBlock();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
        box->setTextCursor(cursor);
    });
}

// A one-line box holds no line breaks: those that come in with pasted or
// dropped text become spaces.
void singleLine(QLineEdit *box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
        if (!text.contains(u'\r') && !text.contains(u'\n'))
            return;
        int cursor = box->cursorPosition();
        for (qsizetype at = text.indexOf(u"\r\n"_s); at >= 0 && at < cursor;
             at = text.indexOf(u"\r\n"_s, at + 2))
            --cursor;
        QString flat = text;
        flat.replace(u"\r\n"_s, u" "_s).replace(u'\r', u' ').replace(u'\n', u' ');
        box->setText(flat);
        box->setCursorPosition(cursor);
    });
}

QFont verdana()
{
    return QFont(u"Verdana"_s, 8);
}

} // namespace

Form3::Form3(Form1 &main, QWidget *parent)
    : QDialog(parent ? parent : &main)
    , m_main(main)
{
    setObjectName(u"Form3"_s);
    buildWindow();
    Form_Load();
}

Form3::~Form3() = default;

QByteArray Form3::CategoryId(const QString &item)
{
    for (const Category &c : Categories) {
        if (item == QStringView(c.item))
            return QByteArray(c.id);
    }
    return {};
}

void Form3::buildWindow()
{
    setWindowTitle(u"Video Information"_s);
    setModal(true);
    setFixedSize(440, 404);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Picture4 = Place(new QWidget(this), "Picture4", 0, 0, 440, 58);
    Picture4->setAutoFillBackground(true);
    QPalette band = Picture4->palette();
    band.setColor(QPalette::Window, QColor(64, 64, 64));
    Picture4->setPalette(band);
    Picture5 = Place(new PictureBox(Picture4), "Picture5", 6, 4, 160, 50);
    Picture5->setPicture(LogoImage(QSize(160, 50), QColor(64, 64, 64)));
    Label5 = Place(new QLabel(u"Enter video information"_s, Picture4), "Label5", 170, 20, 218, 20);
    QFont header(u"Verdana"_s, 10);
    header.setBold(true);
    Label5->setFont(header);
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette green = Label5->palette();
    green.setColor(QPalette::WindowText, QColor(0, 192, 0));
    Label5->setPalette(green);
    Picture3 = Place(new PictureBox(this), "Picture3", 396, 13, 32, 32);
    Picture3->setPicture(TextFieldIcon(QSize(32, 32)));

    Label1 = Place(new QLabel(u"&Title for your video:"_s, this), "Label1", 12, 68, 300, 16);
    RichTextBox1 = Place(new QLineEdit(this), "RichTextBox1", 12, 86, 416, 22);
    RichTextBox1->setMaxLength(TitleLimit);
    singleLine(RichTextBox1);
    Label1->setBuddy(RichTextBox1);

    Label6 = Place(new QLabel(u"&Description:"_s, this), "Label6", 12, 116, 300, 16);
    RichTextBox2 = Place(new QPlainTextEdit(this), "RichTextBox2", 12, 134, 416, 112);
    RichTextBox2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichTextBox2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichTextBox2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichTextBox2->setTabChangesFocus(true);
    limitLength(RichTextBox2, DescriptionLimit);
    Label6->setBuddy(RichTextBox2);

    Label7 = Place(new QLabel(u"Video &category:"_s, this), "Label7", 12, 254, 300, 16);
    Combo1 = Place(new QComboBox(this), "Combo1", 12, 272, 220, 22);
    Combo1->setEditable(false);
    Label7->setBuddy(Combo1);

    Label8 = Place(new QLabel(u"T&ags:"_s, this), "Label8", 12, 302, 300, 16);
    RichTextBox3 = Place(new QLineEdit(this), "RichTextBox3", 12, 320, 416, 22);
    RichTextBox3->setMaxLength(TagsLimit);
    singleLine(RichTextBox3);
    Label8->setBuddy(RichTextBox3);

    Picture1 = Place(new ImageButton(ButtonFace(u"OK"_s, Faces::Green), u"Label3"_s, this),
                     "Picture1", 99, 358, 117, 32);
    Picture2 = Place(new ImageButton(ButtonFace(u"Cancel"_s, Faces::Red), u"Label2"_s, this),
                     "Picture2", 224, 358, 117, 32);
    // The image buttons take part in the tab order and answer Space and Enter.
    for (ImageButton *button : {Picture1, Picture2}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        button->setStyleSheet(u"ImageButton:focus { border: 1px dotted #404040; }"_s);
    }

    Command1 = new QPushButton(u"Cancel"_s, this);
    Command1->setObjectName(u"Command1"_s);
    Command1->setGeometry(-200, -200, 80, 24);
    Command1->setAutoDefault(false);
    Command1->setFocusPolicy(Qt::NoFocus);
    Command1->setVisible(false);

    const QList<QWidget *> captionsAndBoxes = {Label1, RichTextBox1, Label6, RichTextBox2,
                                               Label7, Combo1,       Label8, RichTextBox3};
    for (QWidget *w : captionsAndBoxes)
        w->setFont(verdana());

    setTabOrder(RichTextBox1, RichTextBox2);
    setTabOrder(RichTextBox2, Combo1);
    setTabOrder(Combo1, RichTextBox3);
    setTabOrder(RichTextBox3, Picture1);
    setTabOrder(Picture1, Picture2);
    RichTextBox1->setFocus();

    connect(Picture1, &ImageButton::clicked, this, &Form3::Label3_Click);
    connect(Picture2, &ImageButton::clicked, this, &Form3::Label2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Form_Load()
{
    Combo1->addItem(PleaseSelect);
    for (const Category &c : Categories)
        Combo1->addItem(QString::fromUtf16(c.item));
    Combo1->setCurrentText(PleaseSelect);
}

bool Form3::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Picture1 || watched == Picture2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            if (watched == Picture1)
                Label3_Click();
            else
                Label2_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Form3::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        Command1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form3::Label3_Click()
{
    MessageBox &box = *m_main.platform().messages;
    const auto blank = [](const QString &text) { return QString(text).remove(u' ').isEmpty(); };

    if (blank(RichTextBox1->text())) {
        box.show(u"Please enter a TITLE for your video."_s, MsgButtons::Ok, MsgIcon::Critical);
        RichTextBox1->setFocus();
        return;
    }
    if (blank(RichTextBox2->toPlainText())) {
        box.show(u"Please enter a meaningful description for your video."_s, MsgButtons::Ok,
                 MsgIcon::Critical);
        RichTextBox2->setFocus();
        return;
    }
    if (Combo1->currentText() == PleaseSelect) {
        box.show(u"Please select a category for your video."_s, MsgButtons::Ok,
                 MsgIcon::Critical);
        Combo1->setFocus();
        return;
    }
    if (blank(RichTextBox3->text())) {
        box.show(u"Please enter some TAGS in order for your video to be found easily.\r\n\r\n"
                 "Seperate your tags by spaces."_s,
                 MsgButtons::Ok, MsgIcon::Critical);
        RichTextBox3->setFocus();
        return;
    }

    // The main window announces the connection to the site.
    m_main.Picture11->setPicture(m_main.Picture15);
    m_main.Picture11->setVisible(true);
    m_main.Picture10->setVisible(false);
    m_main.Picture9->setVisible(false);
    m_main.Picture8->setVisible(false);
    m_main.Label12->setVisible(true);

    // The dialog takes no input while the texts are converted; the request
    // blocks every event, so both windows are painted once beforehand.
    setEnabled(false);
    m_main.repaint();
    repaint();

    Label4 = u"vorn"_s;

    if (!ConvertTexts()) {
        // Nothing the user typed is lost: the dialog stays open with the
        // texts as they now stand and OK can be pressed again.
        ShowFileChosen();
        Label4 = u"Label4"_s;
        setEnabled(true);
        box.show(u"Connection error!"_s, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }

    m_main.videocat = CategoryId(Combo1->currentText());
    m_main.Winsock1->Connect(QString::fromLatin1(SiteHost), SitePort);
    accept();
}

bool Form3::ConvertTexts()
{
    // "<" then ">" leave the boxes for good.
    for (QLineEdit *line : {RichTextBox1, RichTextBox3}) {
        if (line->text().contains(u'<'))
            line->setText(QString(line->text()).remove(u'<'));
    }
    if (RichTextBox2->toPlainText().contains(u'<'))
        RichTextBox2->setPlainText(RichTextBox2->document()->toRawText().remove(u'<'));
    for (QLineEdit *line : {RichTextBox1, RichTextBox3}) {
        if (line->text().contains(u'>'))
            line->setText(QString(line->text()).remove(u'>'));
    }
    if (RichTextBox2->toPlainText().contains(u'>'))
        RichTextBox2->setPlainText(RichTextBox2->document()->toRawText().remove(u'>'));

    // The box reports line breaks as paragraph separators; they travel as CR LF.
    const QString title = RichTextBox1->text();
    const QString dscr = LineBreaksToCrLf(RichTextBox2->document()->toRawText());
    const QString tags = RichTextBox3->text();

    HttpRequest *http = m_main.platform().http;
    if (!http)
        return false;
    const HttpReply reply = http->post(ConversionUrl(QByteArray(ConversionHost)),
                                       ConversionContentType,
                                       ConversionBody(EncodePlaceholders(title),
                                                      EncodePlaceholders(dscr),
                                                      EncodePlaceholders(tags)));
    if (!reply.ok)
        return false;
    Text1 = QString::fromLatin1(reply.body);
    if (!HasConversionSections(reply.body))
        return false;

    const ConvertedTexts converted = ReadConversionAnswer(reply.body);
    Text2 += converted.decodedTitle;
    Text3 += converted.decodedDscr;
    Text4 += converted.decodedTags;
    m_main.videotags = converted.tags;
    m_main.videotitle = converted.title;
    m_main.videodscr = converted.dscr;
    return true;
}

void Form3::Label2_Click()
{
    close();
}

void Form3::Command1_Click()
{
    close();
}

void Form3::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Form3::Form_Unload()
{
    if (Label4 == u"vorn")
        return;
    setEnabled(false);
    ShowFileChosen();
}

void Form3::ShowFileChosen()
{
    m_main.Picture11->setVisible(false);
    m_main.Picture10->setVisible(true);
    m_main.Picture8->setVisible(true);
    m_main.Label12->setVisible(false);
    m_main.Label6->setVisible(false);
    m_main.Label9->setVisible(false);
    m_main.Label11->setVisible(false);
    m_main.ProgressBar1->setVisible(false);
}
