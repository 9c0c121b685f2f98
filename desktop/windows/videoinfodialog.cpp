#include "desktop/windows/videoinfodialog.h"

#include "desktop/seams/messagebox.h"
#include "desktop/seams/platform.h"
#include "desktop/widgets/pictures.h"
#include "desktop/widgets/widgets.h"
#include "engine/model/categories.h"
#include "engine/protocol/textconversion.h"
#include "engine/texts/messages.h"
#include "engine/upload/uploadjob.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

// The category box's first entry, which is no category.
QString pleaseSelect()
{
    return VideoInfoDialog::tr("Please select...");
}

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
                     [last](int position, int, int added) {
                         *last = {position, added};
                     });
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

VideoInfoDialog::VideoInfoDialog(Platform &platform, UploadJob &job, const QString &suggestedTitle,
                                 QWidget *parent)
    : QDialog(parent)
    , m_platform(platform)
    , m_job(job)
{
    setObjectName(u"videoInfoDialog"_s);
    buildWindow();
    fillCategories();
    m_titleEdit->setText(suggestedTitle);
    m_titleEdit->selectAll();
}

VideoInfoDialog::~VideoInfoDialog() = default;

void VideoInfoDialog::buildWindow()
{
    setWindowTitle(tr("Video Information"));
    setModal(true);
    setFixedSize(440, 404);
    setAutoFillBackground(true);
    setFixedBackground(this, Qt::white);

    m_headerBand = place(colourBox(this, QColor(64, 64, 64)), "headerBand", 0, 0, 440, 58);
    m_logo = place(new PictureBox(m_headerBand), "logo", 6, 4, 160, 50);
    m_logo->setPicture(logoPicture(QSize(160, 50), QColor(64, 64, 64)));
    m_heading =
        place(new QLabel(tr("Enter video information"), m_headerBand), "heading", 170, 20, 218, 20);
    QFont header(u"Verdana"_s, 10);
    header.setBold(true);
    m_heading->setFont(header);
    m_heading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(m_heading, QColor(0, 192, 0));
    m_textFieldIcon = place(new PictureBox(this), "textFieldIcon", 396, 13, 32, 32);
    m_textFieldIcon->setPicture(textFieldPicture(QSize(32, 32)));
    hideFromAssistiveTools(m_textFieldIcon); // a decoration

    m_titleLabel =
        place(new QLabel(tr("&Title for your video:"), this), "titleLabel", 12, 68, 300, 16);
    m_titleEdit = place(new QLineEdit(this), "titleEdit", 12, 86, 416, 22);
    m_titleEdit->setMaxLength(TitleLimit);
    singleLine(m_titleEdit);
    m_titleLabel->setBuddy(m_titleEdit);

    m_descriptionLabel =
        place(new QLabel(tr("&Description:"), this), "descriptionLabel", 12, 116, 300, 16);
    m_descriptionEdit = place(new QPlainTextEdit(this), "descriptionEdit", 12, 134, 416, 112);
    m_descriptionEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_descriptionEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_descriptionEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_descriptionEdit->setTabChangesFocus(true);
    limitLength(m_descriptionEdit, DescriptionLimit);
    m_descriptionLabel->setBuddy(m_descriptionEdit);

    m_categoryLabel =
        place(new QLabel(tr("Video &category:"), this), "categoryLabel", 12, 254, 300, 16);
    m_categoryCombo = place(new QComboBox(this), "categoryCombo", 12, 272, 220, 22);
    m_categoryCombo->setEditable(false);
    m_categoryLabel->setBuddy(m_categoryCombo);

    m_tagsLabel = place(new QLabel(tr("T&ags:"), this), "tagsLabel", 12, 302, 300, 16);
    m_tagsEdit = place(new QLineEdit(this), "tagsEdit", 12, 320, 416, 22);
    m_tagsEdit->setMaxLength(TagsLimit);
    singleLine(m_tagsEdit);
    m_tagsLabel->setBuddy(m_tagsEdit);

    m_okButton = place(new ImageButton(buttonFace(tr("OK"), Faces::Green), this), "okButton", 99,
                       358, 117, 32);
    m_cancelButton = place(new ImageButton(buttonFace(tr("Cancel"), Faces::Red), this),
                           "cancelButton", 224, 358, 117, 32);

    m_escapeButton = new QPushButton(tr("Cancel"), this);
    m_escapeButton->setObjectName(u"escapeButton"_s);
    m_escapeButton->setGeometry(-200, -200, 80, 24);
    m_escapeButton->setAutoDefault(false);
    m_escapeButton->setFocusPolicy(Qt::NoFocus);
    m_escapeButton->setVisible(false);
    hideFromAssistiveTools(m_escapeButton);

    const QList<QWidget *> captionsAndBoxes = {
        m_titleLabel,    m_titleEdit,     m_descriptionLabel, m_descriptionEdit,
        m_categoryLabel, m_categoryCombo, m_tagsLabel,        m_tagsEdit};
    for (QWidget *w : captionsAndBoxes)
        w->setFont(verdana());

    setTabOrder(m_titleEdit, m_descriptionEdit);
    setTabOrder(m_descriptionEdit, m_categoryCombo);
    setTabOrder(m_categoryCombo, m_tagsEdit);
    setTabOrder(m_tagsEdit, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    m_titleEdit->setFocus();

    connect(m_okButton, &ImageButton::clicked, this, &VideoInfoDialog::confirm);
    connect(m_cancelButton, &ImageButton::clicked, this, &VideoInfoDialog::leave);
    connect(m_escapeButton, &QPushButton::clicked, this, &VideoInfoDialog::leave);
}

void VideoInfoDialog::fillCategories()
{
    m_categoryCombo->addItem(pleaseSelect());
    m_categoryCombo->addItems(categoryNames());
    m_categoryCombo->setCurrentText(pleaseSelect());
}

void VideoInfoDialog::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        m_escapeButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

VideoTexts VideoInfoDialog::texts() const
{
    // The description box reports line breaks as paragraph separators.
    return {m_titleEdit->text(), m_descriptionEdit->document()->toRawText(),
            m_categoryCombo->currentText(), m_tagsEdit->text()};
}

void VideoInfoDialog::confirm()
{
    MessageBox &box = *m_platform.messages;
    if (const std::optional<VideoInfoProblem> problem = m_job.checkVideoTexts(texts())) {
        box.show(problem->message, MsgButtons::Ok, MsgIcon::Critical);
        switch (problem->field) {
        case VideoInfoField::Title:
            m_titleEdit->setFocus();
            break;
        case VideoInfoField::Description:
            m_descriptionEdit->setFocus();
            break;
        case VideoInfoField::Category:
            m_categoryCombo->setFocus();
            break;
        case VideoInfoField::Tags:
            m_tagsEdit->setFocus();
            break;
        }
        return;
    }

    // The caller shows the upload as starting. The dialog takes no input
    // while the texts are converted; the request blocks every event, so the
    // windows are painted once beforehand.
    Q_EMIT conversionStarted();
    setEnabled(false);
    repaint();
    m_handedOver = true;

    removeAngleBracketsFromBoxes();
    const std::optional<VideoInfo> info = m_job.convertTexts(texts());
    if (!info) {
        // Nothing the user typed is lost: the dialog stays open with the
        // texts as they now stand and OK can be pressed again.
        Q_EMIT conversionFailed();
        m_handedOver = false;
        setEnabled(true);
        box.show(uploadFailureMessage(UploadFailure::ConnectionError, m_job.conversionProblem()),
                 MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    m_info = *info;
    accept();
}

void VideoInfoDialog::removeAngleBracketsFromBoxes()
{
    for (QLineEdit *line : {m_titleEdit, m_tagsEdit}) {
        if (line->text().contains(u'<') || line->text().contains(u'>'))
            line->setText(removeAngleBrackets(line->text()));
    }
    const QString description = m_descriptionEdit->document()->toRawText();
    if (description.contains(u'<') || description.contains(u'>'))
        m_descriptionEdit->setPlainText(removeAngleBrackets(description));
}

void VideoInfoDialog::leave()
{
    close();
}

void VideoInfoDialog::done(int result)
{
    // Once OK has taken over, the upload goes on; every other way out leaves
    // the dialog unusable while it closes.
    if (!m_handedOver)
        setEnabled(false);
    QDialog::done(result);
}

} // namespace uplark
