#include "desktop/windows/mainwindow.h"

#include "desktop/seams/desktop.h"
#include "desktop/seams/filedialog.h"
#include "desktop/seams/mediapreview.h"
#include "desktop/seams/messagebox.h"
#include "desktop/seams/notifier.h"
#include "desktop/seams/platform.h"
#include "desktop/widgets/widgets.h"
#include "desktop/windows/accountdialog.h"
#include "desktop/windows/videoinfodialog.h"
#include "engine/model/account.h"
#include "engine/protocol/uploadresult.h"
#include "engine/texts/messages.h"
#include "engine/texts/numbers.h"
#include "engine/texts/progress.h"
#include "engine/upload/uploadjob.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <QtMath>

#include <utility>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const char *const IntroHelp = QT_TRANSLATE_NOOP(
    "uplark::MainWindow",
    "This program was designed to upload your video files to your YouTube account directly \r\n"
    "from your computer. You just select your video file and click on the Upload button. The \r\n"
    "program will upload your video to your YouTube account. \r\n"
    "\r\n"
    "Before uploading your video, you must set your YouTube account first. To do this, click \r\n"
    "on the Set account button in the top-right corner. Select the video file you want to \r\n"
    "upload by clicking the Browse button.  According to YouTube, your video must be \r\n"
    "maximum 100 MB in size. Also it shouldn't be longer than 10 minutes in time. \r\n"
    "\r\n"
    "Click on the Upload button to start the upload process. The program will show you a \r\n"
    "progress bar, also the remaining bytes. Wait for the upload process to complete. \r\n"
    "When your upload finishes, you will be informed.\r\n"
    "\r\n"
    "When you first get your video URL, it may not be available for some time. You will be \r\n"
    "informed about this. Please wait a few minutes until the YouTube system will complete \r\n"
    "processing your video file.\r\n");

QFont boldFont(QFont font)
{
    font.setBold(true);
    return font;
}

// The local files a drag carries; empty when it carries anything else.
QStringList draggedFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        files.append(url.toLocalFile());
    }
    return files;
}

} // namespace

QString MainWindow::fileFilter()
{
    return tr("Video files|*.MPG;*.MPEG;*.WMV;*.AVI;*.MOV;*.MP4;*.M4V;*.WEBM;*.MKV;*.OGV;*.3GP;"
              "*.FLV|MPG files (*.mpg,*.mpeg)|*.MPG;*.MPEG|"
              "WMV files (*.wmv)|*.WMV|AVI files (*.avi)|*.AVI|MOV files (*.mov)|*.MOV|"
              "All files (*.*)|*.*|");
}

MainWindow::MainWindow(Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , m_platform(platform)
    , m_job(new UploadJob(*platform.settings, platform.http, platform.routes, platform.addresses,
                          this))
    , m_connectingBanner(bannerPicture(uploadStepText(UploadStep::Connecting)))
    , m_loggingInBanner(bannerPicture(uploadStepText(UploadStep::LoggingIn)))
    , m_uploadingBanner(bannerPicture(uploadStepText(UploadStep::Uploading)))
    , m_preparingBanner(bannerPicture(uploadStepText(UploadStep::PreparingAddress)))
    , m_uploadedBanner(bannerPicture(tr("Video successfully uploaded.")))
    , m_setAccountFace(buttonFace(tr("Set account"), Faces::Red))
    , m_myAccountFace(buttonFace(tr("My account"), Faces::Green))
{
    setObjectName(u"mainWindow"_s);
    m_job->setObjectName(u"uploadJob"_s);
    buildWindow();
    connectHandlers();
    loadSettings();
}

MainWindow::~MainWindow() = default;

Account MainWindow::account() const
{
    return m_job->account();
}

void MainWindow::buildWindow()
{
    setWindowTitle(tr("Uplark"));

    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(u"fileMenu"_s);
    QAction *exit = file->addAction(tr("E&xit (esc)"));
    exit->setObjectName(u"exitAction"_s);
    connect(exit, &QAction::triggered, this, &MainWindow::exitProgram);

    auto *client = colourBox(nullptr, Qt::white);
    client->setObjectName(u"client"_s);
    client->setFixedSize(601, 379);
    setCentralWidget(client);

    m_headerBand = place(colourBox(client, Qt::black), "headerBand", -7, 0, 611, 81, true);
    m_logo = place(new PictureBox(m_headerBand), "logo", 13, 2, 220, 68, true);
    m_logo->setPicture(logoPicture(QSize(220, 68), Qt::black));
    m_accountButton = place(new ImageButton(m_setAccountFace, m_headerBand), "accountButton", 488,
                            8, 117, 32, false);
    m_forgetAccountLink =
        place(new LinkButton(tr("Forget me on this computer"), QColor(128, 128, 255), m_headerBand),
              "forgetAccountLink", 445, 38, 158, 13, false);
    m_termsLink =
        place(new LinkButton(tr("YouTube Terms of Use"), QColor(128, 255, 128), m_headerBand),
              "termsLink", 475, 64, 129, 13, false);

    m_titleLabel = place(new QLabel(tr("Uplark 1.0"), client), "titleLabel", 12, 93, 295, 29, true);
    QFont titleFont(u"Verdana"_s, 18);
    titleFont.setBold(true);
    m_titleLabel->setFont(titleFont);
    setTextColour(m_titleLabel, QColor(64, 64, 64));

    m_introHeading =
        place(new QLabel(tr("Please read"), client), "introHeading", 12, 144, 387, 18, true);
    m_introHeading->setFont(boldFont(m_introHeading->font()));
    setTextColour(m_introHeading, QColor(192, 0, 0));

    m_helpText = place(new QPlainTextEdit(client), "helpText", 13, 161, 578, 156, true);
    m_helpText->setFont(QFont(u"Verdana"_s, 9));
    m_helpText->setPlainText(tr(IntroHelp));
    m_helpText->setReadOnly(true);
    m_helpText->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_helpText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_helpText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_helpText->setAccessibleName(tr("Introduction"));

    m_understoodButton =
        place(new ImageButton(buttonFace(tr("Understood sir!"), Faces::Blue), client),
              "understoodButton", 243, 322, 117, 32, true);
    m_skipIntroCheck = place(new QCheckBox(tr("I don't want to see that again"), client),
                             "skipIntroCheck", 12, 356, 265, 19, true);

    m_mainPanel = place(colourBox(client, Qt::white), "mainPanel", 7, 127, 606, 250, false);
    buildFrame();

    m_stretchTimer = new QTimer(this);
    m_stretchTimer->setObjectName(u"stretchTimer"_s);
    m_stretchTimer->setInterval(200);
    m_introFocusTimer = new QTimer(this);
    m_introFocusTimer->setObjectName(u"introFocusTimer"_s);
    m_introFocusTimer->setInterval(1);
    m_introFocusTimer->setSingleShot(true);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(u"escapeShortcut"_s);
    connect(escape, &QShortcut::activated, this, &MainWindow::exitProgram);

    // A video file dropped anywhere on the window is taken as Browse takes
    // one. The read-only boxes pass drops on to the window.
    setAcceptDrops(true);
    for (QWidget *box : {static_cast<QWidget *>(m_fileEdit), static_cast<QWidget *>(m_helpText),
                         m_helpText->viewport(), static_cast<QWidget *>(m_watchAddressEdit)})
        box->setAcceptDrops(false);

    // Tab follows the reading order of each display: the intro; the header's
    // account button and links; then the upload panel from the top down. The
    // preview stands to the right of the panel, so its controls come last.
    const QList<QWidget *> readingOrder = {
        m_helpText,          m_understoodButton, m_skipIntroCheck,    m_accountButton,
        m_forgetAccountLink, m_termsLink,        m_browseButton,      m_uploadNewButton,
        m_fileEdit,          m_uploadButton,     m_clearFileButton,   m_cancelLink,
        m_openAddressButton, m_watchAddressEdit, m_copyAddressButton,
    };
    for (qsizetype i = 1; i < readingOrder.size(); ++i)
        setTabOrder(readingOrder[i - 1], readingOrder[i]);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void MainWindow::buildFrame()
{
    m_uploadFrame =
        place(new QGroupBox(tr("Upload Video"), m_mainPanel), "uploadFrame", 1, -2, 586, 247, true);
    m_uploadFrame->setFont(boldFont(m_uploadFrame->font()));
    // Only the frame's caption is bold.
    QFont plain = font();
    plain.setBold(false);
    plain.setItalic(false);

    m_videoFileLabel =
        place(new QLabel(tr("Video file:"), m_uploadFrame), "videoFileLabel", 11, 26, 58, 13, true);
    m_browseButton =
        place(new ImageButton(buttonFace(tr("Browse file..."), Faces::Blue), m_uploadFrame),
              "browseButton", 8, 41, 117, 32, true);
    m_fileEdit = place(new QLineEdit(m_uploadFrame), "fileEdit", 12, 43, 340, 19, false);
    // Shows the chosen file; it cannot be changed, so that a screen reader
    // announces it as read-only.
    m_fileEdit->setReadOnly(true);
    m_fileEdit->setAccessibleName(tr("Video file"));
    m_uploadButton = place(new ImageButton(buttonFace(tr("UPLOAD!"), Faces::Orange), m_uploadFrame),
                           "uploadButton", 8, 69, 117, 32, false);
    m_clearFileButton = place(new ImageButton(redCrossPicture(QSize(27, 25)), m_uploadFrame),
                              "clearFileButton", 126, 72, 27, 25, false);
    m_clearFileButton->setToolTip(tr("Clear"));
    m_statusBanner = place(new PictureBox(m_uploadFrame), "statusBanner", 11, 75, 377, 25, false);
    m_cancelLink = place(new LinkButton(tr("Cancel"), QColor(0, 0, 128), m_uploadFrame),
                         "cancelLink", 11, 98, 39, 13, false);
    m_statusLine = place(new QLabel(u"..."_s, m_uploadFrame), "statusLine", 11, 129, 12, 13, false);
    m_progressBar = place(new QProgressBar(m_uploadFrame), "progressBar", 11, 146, 339, 25, false);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(tr("Upload progress"));
    // The kilobyte line and the percentage are wide enough for six-digit
    // figures and "100%".
    m_kilobyteLine = place(new QLabel(u"0 Kb uploaded so far, remaining 0 Kb"_s, m_uploadFrame),
                           "kilobyteLine", 11, 173, 290, 13, false);
    m_percentLabel =
        place(new QLabel(u"0%"_s, m_uploadFrame), "percentLabel", 307, 173, 42, 13, false);
    m_percentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_previewBox = place(new QWidget(m_uploadFrame), "previewBox", 359, 7, 225, 238, true);
    // The player loads the media backend: it is made when a file is first
    // chosen, and until then a look-alike stands in its place.
    m_previewPlaceholder = createPreviewPlaceholder(m_previewBox);
    m_previewPlaceholder->setObjectName(u"previewPlaceholder"_s);
    m_previewPlaceholder->setGeometry(0, 0, 225, 238);

    buildResultPanel();

    m_uploadNewButton =
        place(new ImageButton(buttonFace(tr("Upload New"), Faces::Blue), m_uploadFrame),
              "uploadNewButton", 235, 14, 117, 32, false);

    for (QWidget *w : m_uploadFrame->findChildren<QWidget *>())
        w->setFont(plain);
    m_percentLabel->setFont(boldFont(plain));
    m_watchAddressCaption->setFont(boldFont(plain));
    QFont myVideos = boldFont(plain);
    myVideos.setItalic(true);
    m_myVideosLabel->setFont(myVideos);
    setTextColour(m_myVideosLabel, QColor(0, 0, 192));
    placeMyVideos();
}

void MainWindow::placeMyVideos()
{
    // "My Videos" covers a gap in the result sentence, so that the two read
    // as one sentence. The gap is as wide as the bold italic words need in
    // the fonts the labels have, with about a space to spare after them, and
    // never narrower than 18 spaces. Its spaces do not break, so the gap
    // stays on one line; where it falls depends on the widths and on the
    // wrapping, so it is measured, not fixed.
    const QString words = m_myVideosLabel->text();
    const QFontMetricsF wordsMetrics(m_myVideosLabel->font());
    const qreal wordsWidth = wordsMetrics.horizontalAdvance(words);
    const qreal space = QFontMetricsF(m_resultText->font()).horizontalAdvance(u' ');
    const qsizetype spaces = qMax<qsizetype>(18, qCeil(wordsWidth / space + 1.5));

    QString sentence = tr("Your video has been successfully uploaded to the YouTube server. It is "
                          "located in %1 section in your YouTube account.");
    QString spoken = sentence;
    qsizetype gap = sentence.indexOf(u" %1 "_s);
    const qsizetype placeholder = gap >= 0 ? 4 : 2;
    if (gap < 0)
        gap = sentence.indexOf(u"%1"_s);
    if (gap < 0) {
        m_resultText->setText(sentence);
        return;
    }
    sentence.replace(gap, placeholder, QString(spaces, QChar::Nbsp));
    spoken.replace(gap, placeholder, u' ' + words + u' ');
    m_resultText->setText(sentence);
    // Screen readers read the sentence whole.
    m_resultText->setAccessibleName(spoken);

    QTextLayout layout(sentence, m_resultText->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    QPointF at(-1, -1);
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(m_resultText->width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (gap >= line.textStart() && gap < line.textStart() + line.textLength())
            at = QPointF(line.cursorToX(gap + 1), line.y());
    }
    layout.endLayout();
    if (at.x() >= 0)
        m_myVideosLabel->move(m_resultText->pos() + at.toPoint());
    m_myVideosLabel->resize(qMax(m_myVideosLabel->width(), qCeil(wordsWidth) + 1),
                            qMax(m_myVideosLabel->height(), qCeil(wordsMetrics.height())));
}

void MainWindow::buildResultPanel()
{
    m_resultPanel =
        place(colourBox(m_uploadFrame, Qt::white), "resultPanel", 9, 102, 346, 135, false);
    m_tickIcon = place(new PictureBox(m_resultPanel), "tickIcon", 10, 4, 13, 13, true);
    m_tickIcon->setPicture(tickPicture(QSize(13, 13)));
    hideFromAssistiveTools(m_tickIcon); // a decoration beside the sentence
    // The sentence is made with its gap for "My Videos" by placeMyVideos.
    m_resultText = place(new QLabel(m_resultPanel), "resultText", 28, 2, 301, 49, true);
    m_resultText->setWordWrap(true);
    m_resultText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_myVideosLabel =
        place(new QLabel(tr("My Videos"), m_resultPanel), "myVideosLabel", 211, 15, 65, 13, true);
    m_watchAddressCaption = place(new QLabel(tr("Your video URL:"), m_resultPanel),
                                  "watchAddressCaption", 28, 53, 102, 13, true);
    m_openAddressButton =
        place(new ImageButton(browserPicture(QSize(16, 16)), m_resultPanel, QRect(0, 0, 16, 16)),
              "openAddressButton", 133, 50, 16, 16, true);
    m_openAddressButton->setToolTip(tr("Open in default browser"));
    m_watchAddressEdit =
        place(new QLineEdit(m_resultPanel), "watchAddressEdit", 28, 69, 291, 19, true);
    m_watchAddressEdit->setReadOnly(true);
    m_watchAddressEdit->setAccessibleName(tr("Your video URL"));
    m_copyAddressButton =
        place(new ImageButton(copyPicture(QSize(15, 13)), m_resultPanel, QRect(0, 0, 15, 13)),
              "copyAddressButton", 322, 72, 15, 13, true);
    m_copyAddressButton->setToolTip(tr("Copy to memory"));
    m_availabilityNote = place(new QLabel(tr("It may take a few minutes before you can reach your "
                                             "video on YouTube system."),
                                          m_resultPanel),
                               "availabilityNote", 30, 94, 309, 40, true);
    m_availabilityNote->setWordWrap(true);
    m_availabilityNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void MainWindow::connectHandlers()
{
    connect(m_stretchTimer, &QTimer::timeout, this, &MainWindow::stretchPreview);
    connect(m_introFocusTimer, &QTimer::timeout, this, &MainWindow::focusHelpText);

    connect(m_understoodButton, &ImageButton::clicked, this, &MainWindow::dismissIntro);
    connect(m_accountButton, &ImageButton::clicked, this, &MainWindow::openAccountDialog);
    connect(m_forgetAccountLink, &LinkButton::clicked, this, &MainWindow::forgetAccount);
    connect(m_termsLink, &LinkButton::clicked, this, &MainWindow::openTerms);

    connect(m_browseButton, &ImageButton::clicked, this, &MainWindow::browseFile);
    connect(m_clearFileButton, &ImageButton::clicked, this, &MainWindow::clearChosenFile);
    connect(m_fileEdit, &QLineEdit::textChanged, this, &MainWindow::restoreFileText);
    connect(m_uploadButton, &ImageButton::clicked, this, &MainWindow::openVideoInformation);

    connect(m_cancelLink, &LinkButton::clicked, this, &MainWindow::cancelUpload);
    connect(m_uploadNewButton, &ImageButton::clicked, this, &MainWindow::uploadNew);
    connect(m_copyAddressButton, &ImageButton::clicked, this, &MainWindow::copyWatchAddress);
    connect(m_openAddressButton, &ImageButton::clicked, this, &MainWindow::openWatchAddress);
    connect(m_watchAddressEdit, &QLineEdit::textChanged, this, &MainWindow::restoreWatchAddress);
    m_watchAddressEdit->installEventFilter(this);

    connect(m_job, &UploadJob::stepChanged, this, &MainWindow::onStepChanged);
    connect(m_job, &UploadJob::fileAnnounced, this, &MainWindow::onFileAnnounced);
    connect(m_job, &UploadJob::progressed, this, &MainWindow::onProgress);
    connect(m_job, &UploadJob::finished, this, &MainWindow::onUploadFinished);
    connect(m_job, &UploadJob::failed, this, &MainWindow::onUploadFailed);
    // Browse asks for the account again.
    connect(m_job, &UploadJob::accountForgotten, this, [this] { setDisplay(Display::NoFile); });
    if (m_platform.notifier)
        connect(m_platform.notifier, &Notifier::activated, this, &MainWindow::bringToFront);
    // The password may come from the keyring a moment after the start.
    connect(m_job, &UploadJob::accountLoaded, this, [this] {
        applyDisplay();
        if (!m_pendingFile.isEmpty() && m_display != Display::Intro && !m_job->isLoadingAccount())
            offerFile(std::exchange(m_pendingFile, QString()));
    });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchAddressEdit) {
        if (event->type() == QEvent::FocusIn)
            m_watchAddressEdit->selectAll();
        else if (event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, this, &MainWindow::selectWatchAddress);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- The displays ----

void MainWindow::setDisplay(Display display)
{
    m_display = display;
    if (display != Display::Uploading) {
        m_figuresShown = false;
        // The progress shown in the title and on the launcher ends with the upload.
        if (windowTitle() != tr("Uplark")) {
            setWindowTitle(tr("Uplark"));
            if (m_platform.notifier)
                m_platform.notifier->setProgress(std::nullopt);
        }
    }
    applyDisplay();
}

void MainWindow::applyDisplay()
{
    const Display d = m_display;
    const bool intro = d == Display::Intro;
    m_helpText->setVisible(intro);
    m_understoodButton->setVisible(intro);
    m_skipIntroCheck->setVisible(intro);
    m_mainPanel->setVisible(!intro);
    m_accountButton->setVisible(!intro);
    m_termsLink->setVisible(!intro);
    m_forgetAccountLink->setVisible(!intro && m_job->hasAccount());
    m_accountButton->setPicture(m_job->hasAccount() ? m_myAccountFace : m_setAccountFace);

    m_browseButton->setVisible(d == Display::NoFile);
    m_fileEdit->setVisible(d == Display::FileChosen || d == Display::Uploading || d == Display::Sent
                           || d == Display::Result);
    m_uploadButton->setVisible(d == Display::FileChosen);
    m_clearFileButton->setVisible(d == Display::FileChosen);
    m_statusBanner->setVisible(d == Display::Uploading || d == Display::Sent
                               || d == Display::Result);
    m_cancelLink->setVisible(d == Display::Uploading);
    const bool figures = d == Display::Uploading && m_figuresShown;
    m_statusLine->setVisible(figures);
    m_progressBar->setVisible(figures);
    m_kilobyteLine->setVisible(figures);
    m_percentLabel->setVisible(figures);
    m_resultPanel->setVisible(d == Display::Result);
    m_uploadNewButton->setVisible(d == Display::Result);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // "Understood sir!" is the intro's default button: Enter that no control
    // of the intro takes presses it.
    if (m_display == Display::Intro
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        m_understoodButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// ---- Start-up ----

void MainWindow::loadSettings()
{
    m_job->loadAccount();
    if (introSkipped(*m_platform.settings))
        showMainPanel();
    else
        setDisplay(Display::Intro);
    m_stretchTimer->start();
    m_introFocusTimer->start();
}

void MainWindow::focusHelpText()
{
    // Does nothing when the help text is hidden.
    m_helpText->setFocus();
}

void MainWindow::stretchPreview()
{
    if (m_preview)
        m_preview->setStretchToFit(true);
}

MediaPreview *MainWindow::previewPlayer()
{
    if (!m_preview && m_previewPlaceholder) {
        m_preview = m_platform.makePreview(m_previewBox);
        // Without a player (its library missing) the look-alike stays.
        if (!m_preview)
            return nullptr;
        m_preview->setObjectName(u"preview"_s);
        m_preview->setFont(m_previewPlaceholder->font());
        m_preview->setGeometry(m_previewPlaceholder->geometry());
        m_preview->setStretchToFit(true);
        m_preview->show();
        delete std::exchange(m_previewPlaceholder, nullptr);
    }
    return m_preview;
}

void MainWindow::dismissIntro()
{
    setIntroSkipped(*m_platform.settings, m_skipIntroCheck->isChecked());
    showMainPanel();
    // The keyboard focus was on the intro; it goes on to the panel's first
    // control.
    if (!focusWidget() || !focusWidget()->isVisible())
        focusNextChild();
    if (!m_pendingFile.isEmpty())
        offerFile(std::exchange(m_pendingFile, QString()));
}

void MainWindow::showMainPanel()
{
    m_job->loadAccount();
    setDisplay(Display::NoFile);
}

void MainWindow::openAccountDialog()
{
    // The account can be changed only while no file is chosen.
    if (m_display != Display::NoFile)
        return;
    AccountDialog dialog(m_platform, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_job->setAccount(dialog.account());
    applyDisplay();
    m_platform.messages->show(tr("Your YouTube account information has been successfully set on "
                                 "this program. You can start uploading videos to your account "
                                 "now."),
                              MsgButtons::Ok, MsgIcon::Information);
    show();
    raise();
    activateWindow();
}

void MainWindow::forgetAccount()
{
    MessageBox &box = *m_platform.messages;
    const MsgAnswer answer = box.show(
        tr("Do you want to remove your YouTube account information on this computer? (We will "
           "remove your account settings ON THIS COMPUTER ONLY. We don't have any relation with "
           "your real YouTube account.)"),
        MsgButtons::YesNo, MsgIcon::Question);
    if (answer != MsgAnswer::Yes)
        return;
    m_job->forgetAccount();
    applyDisplay();
    box.show(accountRemovedMessage(), MsgButtons::Ok, MsgIcon::Information);
}

// ---- Ending the program ----

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ending && !confirmLeaving()) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

void MainWindow::exitProgram()
{
    if (confirmLeaving())
        endProgram();
}

bool MainWindow::confirmLeaving()
{
    if (!uploadUnderWay())
        return true;
    const MsgAnswer answer =
        m_platform.messages->show(tr("An upload is under way. Do you want to cancel it and quit?"),
                                  MsgButtons::YesNo, MsgIcon::Question);
    if (answer != MsgAnswer::Yes)
        return false;
    m_job->cancel();
    return true;
}

bool MainWindow::uploadUnderWay() const
{
    return m_display == Display::Uploading || m_display == Display::Sent;
}

void MainWindow::bringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    m_platform.endProgram();
}

// ---- File choice ----

void MainWindow::browseFile()
{
    if (const std::optional<QString> refusal = m_job->checkAccount()) {
        m_platform.messages->show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }

    // From here on a failure ends the handler silently.
    const QString path = m_platform.files->openFile(fileFilter());
    if (!path.isEmpty())
        takeFile(path);
}

void MainWindow::takeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return; // no length to read
    if (const std::optional<QString> refusal = m_job->checkFileSize(info.size())) {
        m_platform.messages->show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }

    // A new file after a result starts over, as "Upload New" does.
    if (m_display == Display::Result)
        m_job->cancel();
    m_fileText = tr("%1 (%2 MB)").arg(info.fileName(), megabytesText(info.size()));
    m_fileEdit->setText(m_fileText);
    m_filePath = path;
    if (MediaPreview *preview = previewPlayer()) {
        preview->setMedia(path);
        preview->closeMedia();
    }
    setDisplay(Display::FileChosen);
}

void MainWindow::offerFile(const QString &path)
{
    // The file waits for the intro to close, and for the keyring to give
    // the stored account (it may be asking the user to unlock it).
    if (m_display == Display::Intro || m_job->isLoadingAccount()) {
        m_pendingFile = path;
        return;
    }
    if (uploadUnderWay())
        return;
    if (const std::optional<QString> refusal = m_job->checkAccount()) {
        m_platform.messages->show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    takeFile(path);
}

HandOverAnswer MainWindow::handOver(const QString &path)
{
    bringToFront();
    if (path.isEmpty())
        return HandOverAnswer::Raised;
    if (uploadUnderWay() || QApplication::activeModalWidget())
        return HandOverAnswer::Busy;
    // Taken once the answer is on its way: the checks may show a message.
    QTimer::singleShot(0, this, [this, path] { offerFile(path); });
    return HandOverAnswer::Opening;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!uploadUnderWay() && !QApplication::activeModalWidget()
        && !draggedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = draggedFiles(event->mimeData());
    if (uploadUnderWay() || files.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: the file's checks may show a message.
    QTimer::singleShot(0, this, [this, files] {
        if (files.size() == 1)
            offerFile(files.first());
        else
            m_platform.messages->show(tr("Please drop one video file at a time."), MsgButtons::Ok,
                                      MsgIcon::Critical);
    });
}

void MainWindow::clearChosenFile()
{
    setDisplay(Display::NoFile);
}

void MainWindow::restoreFileText()
{
    // The box shows the chosen file; whatever is typed into it is undone.
    if (m_fileEdit->text() != m_fileText)
        m_fileEdit->setText(m_fileText);
}

void MainWindow::openVideoInformation()
{
    // The file's name as the file system has it; empty when it is gone.
    const QFileInfo info(m_filePath);
    const QString name = info.isFile() ? info.fileName() : QString();

    VideoInfoDialog dialog(m_platform, *m_job, name, this);
    connect(&dialog, &VideoInfoDialog::conversionStarted, this, [this] {
        m_statusBanner->setPicture(m_connectingBanner);
        setDisplay(Display::Uploading);
        repaint();
    });
    connect(&dialog, &VideoInfoDialog::conversionFailed, this,
            [this] { setDisplay(Display::FileChosen); });
    if (dialog.exec() == QDialog::Accepted)
        startUpload(dialog.videoInfo());
    else
        setDisplay(Display::FileChosen);
}

// ---- The upload ----

void MainWindow::startUpload(const VideoInfo &info)
{
    m_progressBar->setValue(0);
    m_percentLabel->setText(QString());
    m_kilobyteLine->setText(QString());
    m_job->start(m_filePath, info);
}

void MainWindow::cancelUpload()
{
    m_job->cancel();
    setDisplay(Display::FileChosen);
}

void MainWindow::uploadNew()
{
    m_job->cancel();
    setDisplay(Display::NoFile);
}

void MainWindow::onStepChanged(UploadStep step)
{
    switch (step) {
    case UploadStep::Connecting:
        m_statusBanner->setPicture(m_connectingBanner);
        return;
    case UploadStep::LoggingIn:
        m_statusBanner->setPicture(m_loggingInBanner);
        return;
    case UploadStep::Uploading:
        m_statusBanner->setPicture(m_uploadingBanner);
        return;
    case UploadStep::PreparingAddress:
        m_statusBanner->setPicture(m_preparingBanner);
        setDisplay(Display::Sent);
        return;
    }
}

void MainWindow::onFileAnnounced(const QString &fileName, qint64 fileSize)
{
    const QLocale locale;
    m_kilobyteLine->setText(startingKilobyteLine(fileSize, locale));
    m_statusLine->setText(uploadingLine(fileName, fileSize, locale));
    m_statusLine->adjustSize();
    m_figuresShown = true;
    applyDisplay();
}

void MainWindow::onProgress(const UploadProgressView &view)
{
    m_progressBar->setValue(view.bar);
    m_percentLabel->setText(view.percent);
    m_kilobyteLine->setText(view.kilobytes);
    if (m_display == Display::Uploading) {
        setWindowTitle(tr("%1% - Uplark").arg(view.bar));
        if (m_platform.notifier)
            m_platform.notifier->setProgress(view.bar / 100.0);
    }
}

void MainWindow::notifyInBackground(const QString &summary, const QString &body)
{
    if (m_platform.notifier && !isActiveWindow())
        m_platform.notifier->notify(summary, body);
}

void MainWindow::onUploadFinished(const QString &address)
{
    notifyInBackground(tr("Video uploaded"), address);
    m_statusBanner->setPicture(m_uploadedBanner);
    setDisplay(Display::Result);
    m_watchAddress = address;
    // The limit first: a shorter limit left from an earlier result would
    // otherwise cut the new address.
    m_watchAddressEdit->setMaxLength(int(m_watchAddress.size()));
    m_watchAddressEdit->setText(m_watchAddress);
    m_watchAddressEdit->setSelection(0, int(m_watchAddressEdit->text().size()));
    m_watchAddressEdit->setFocus();
}

void MainWindow::onUploadFailed(UploadFailure failure, const QString &detail)
{
    MessageBox &box = *m_platform.messages;
    // The window names no step or host, only what the user can act on: an
    // unreadable file's reason, a refused certificate or a failing proxy.
    const QString message = uploadFailureMessage(
        failure, failure == UploadFailure::UnreadableFile ? detail : m_job->connectionProblem());
    notifyInBackground(tr("Upload failed"), message);
    switch (failure) {
    case UploadFailure::AccountRejected:
    case UploadFailure::TooManyLoginFailures:
        // A rejected account is forgotten once the message is closed.
        setDisplay(Display::FileChosen);
        box.show(message, MsgButtons::Ok, MsgIcon::Critical);
        return;
    case UploadFailure::ConnectionError:
    case UploadFailure::NotStored: // the site's failure: the same message, try again
        box.show(message, MsgButtons::Ok, MsgIcon::Critical);
        setDisplay(Display::FileChosen);
        return;
    case UploadFailure::UnreadableFile:
        box.show(message, MsgButtons::Ok, MsgIcon::Critical, u"ERROR"_s);
        setDisplay(Display::FileChosen);
        return;
    case UploadFailure::InvalidHost:
        // The upload stays on show; Cancel returns to the chosen file.
        box.show(message, MsgButtons::Ok, MsgIcon::Critical, u"ERROR"_s);
        return;
    case UploadFailure::NoVideoId:
        box.show(message, MsgButtons::Ok, MsgIcon::Critical);
        endProgram(); // without asking: the upload has ended
        return;
    }
}

// ---- The result panel and the links ----

void MainWindow::copyWatchAddress()
{
    m_platform.desktop->clearClipboard();
    m_platform.desktop->setClipboardText(m_watchAddressEdit->text());
    m_platform.messages->show(tr("Your video URL has been copied to your memory."), MsgButtons::Ok,
                              MsgIcon::Information);
}

void MainWindow::openWatchAddress()
{
    openInBrowser(m_watchAddress);
}

void MainWindow::selectWatchAddress()
{
    m_watchAddressEdit->selectAll();
    m_watchAddressEdit->setFocus();
}

void MainWindow::restoreWatchAddress()
{
    // The address can be selected and copied, not changed.
    if (m_watchAddressEdit->text() != m_watchAddress)
        m_watchAddressEdit->setText(m_watchAddress);
}

void MainWindow::openTerms()
{
    openInBrowser(termsAddress(m_platform.addresses.site));
}

bool MainWindow::openInBrowser(QString address)
{
    if (!address.startsWith(u"http"_s, Qt::CaseInsensitive))
        address.prepend(u"http://"_s);
    return m_platform.desktop->openUrl(address);
}

} // namespace uplark
