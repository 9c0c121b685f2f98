#include "desktop/windows/accountdialog.h"

#include "desktop/seams/messagebox.h"
#include "desktop/seams/platform.h"
#include "desktop/widgets/typinglimit.h"
#include "desktop/widgets/widgets.h"
#include "engine/model/settings.h"
#include "engine/texts/messages.h"
#include "engine/upload/accountcheck.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const QColor FocusColour(192, 255, 192);

} // namespace

AccountDialog::AccountDialog(Platform &platform, QWidget *parent)
    : QDialog(parent)
    , m_platform(platform)
{
    setObjectName(u"accountDialog"_s);
    buildWindow();
    loadStoredAccount();
}

AccountDialog::~AccountDialog()
{
    // The fields outlive this part of the dialog while it is taken down.
    m_userNameEdit->removeEventFilter(this);
    m_passwordEdit->removeEventFilter(this);
}

void AccountDialog::buildWindow()
{
    setWindowTitle(tr("My You Tube Account"));
    setFixedSize(402, 241);
    setAutoFillBackground(true);
    setFixedBackground(this, Qt::white);

    m_headerBand = place(colourBox(this, QColor(64, 64, 64)), "headerBand", -3, 0, 412, 40, true);
    m_logo = place(new PictureBox(m_headerBand), "logo", 4, 1, 127, 39, true);
    m_logo->setPicture(logoPicture(QSize(127, 39), QColor(64, 64, 64)));
    m_heading = place(new QLabel(tr("Set your YouTube Account"), m_headerBand), "heading", 200, 5,
                      198, 18, true);
    QFont headFont = m_heading->font();
    headFont.setPointSize(10);
    headFont.setBold(true);
    m_heading->setFont(headFont);
    setTextColour(m_heading, QColor(0, 192, 0));

    m_instructions = place(new QLabel(tr("Enter your YouTube account information and click on the "
                                         "SAVE button. This information will be used whenever you "
                                         "upload a video to your account."),
                                      this),
                           "instructions", 18, 63, 355, 41, true);
    m_instructions->setWordWrap(true);
    m_instructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Said once, where the password is typed: where it will be kept when no
    // desktop keyring answers.
    m_keyringNote = place(new QLabel(tr("No desktop keyring answered: your password will be kept "
                                        "in a file that only you can read."),
                                     this),
                          "keyringNote", 18, 108, 366, 28, false);
    m_keyringNote->setWordWrap(true);
    m_keyringNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(m_keyringNote, QColor(128, 0, 0));

    m_userNameLabel = place(new QLabel(tr("Your You Tube &Username:"), this), "userNameLabel", 15,
                            143, 150, 13, true);
    m_userNameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_userNameEdit = place(new QLineEdit(this), "userNameEdit", 173, 139, 211, 20, true);
    m_userNameLabel->setBuddy(m_userNameEdit);

    m_passwordLabel = place(new QLabel(tr("Your You Tube &Password:"), this), "passwordLabel", 19,
                            165, 146, 13, true);
    m_passwordLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_passwordEdit = place(new QLineEdit(this), "passwordEdit", 173, 161, 211, 20, true);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordLabel->setBuddy(m_passwordEdit);

    m_userNameLimit = new TypingLimit(m_userNameEdit, MaxTyped);
    m_passwordLimit = new TypingLimit(m_passwordEdit, MaxTyped);
    m_fieldBackground = m_userNameEdit->palette().color(QPalette::Base);

    m_saveButton =
        place(new ImageButton(buttonFace(tr("Save"), Faces::BlueGreen), this, QRect(6, 4, 110, 24)),
              "saveButton", 85, 204, 117, 32, true);
    m_cancelButton =
        place(new ImageButton(buttonFace(tr("Cancel"), Faces::Red), this, QRect(7, 4, 110, 24)),
              "cancelButton", 201, 204, 117, 32, true);

    m_busyPanel =
        place(colourBox(this, QColor(255, 192, 192)), "busyPanel", -3, 116, 410, 70, false);
    // The border lies inside the part of the panel the dialog shows.
    m_busyBorder = place(new QFrame(m_busyPanel), "busyBorder", 8, 5, 394, 60, true);
    m_busyBorder->setFrameShape(QFrame::Box);
    m_busyBorder->setLineWidth(1);
    setTextColour(m_busyBorder, QColor(192, 0, 0));
    m_busyLabel = place(new QLabel(tr("Please wait... Checking your account"), m_busyPanel),
                        "busyLabel", 85, 29, 239, 13, true);
    QFont bold = m_busyLabel->font();
    bold.setBold(true);
    m_busyLabel->setFont(bold);
    m_busyLabel->setAlignment(Qt::AlignCenter);

    // Below the client area, so it is never seen; Escape presses it.
    m_escapeButton =
        place(new QPushButton(tr("Cancel"), this), "escapeButton", 376, 250, 51, 13, true);
    m_escapeButton->setFocusPolicy(Qt::NoFocus);
    m_escapeButton->setAutoDefault(false);
    m_escapeButton->setDefault(false);
    m_escapeButton->setShortcut(QKeySequence(Qt::Key_Escape));
    hideFromAssistiveTools(m_escapeButton);

    // Tab goes through the fields, then Save and Cancel; Enter in a field
    // only moves to the other field.
    setTabOrder(m_userNameEdit, m_passwordEdit);
    setTabOrder(m_passwordEdit, m_saveButton);
    setTabOrder(m_saveButton, m_cancelButton);

    m_focusTimer = new QTimer(this);
    m_focusTimer->setObjectName(u"focusTimer"_s);
    m_focusTimer->setInterval(1);
    m_focusTimer->setSingleShot(true);

    m_check =
        new AccountCheck(*m_platform.settings, m_platform.routes, m_platform.addresses.site, this);
    m_check->setObjectName(u"accountCheck"_s);

    connect(m_focusTimer, &QTimer::timeout, this, &AccountDialog::focusUserName);
    connect(m_saveButton, &ImageButton::clicked, this, &AccountDialog::checkAndSaveAccount);
    connect(m_cancelButton, &ImageButton::clicked, this, &AccountDialog::reject);
    connect(m_escapeButton, &QPushButton::clicked, this, &AccountDialog::reject);
    connect(m_check, &AccountCheck::finished, this, &AccountDialog::onCheckFinished);
    m_userNameEdit->installEventFilter(this);
    m_passwordEdit->installEventFilter(this);

    // Centred on the screen rather than over the main window.
    if (const QScreen *s = parentWidget() ? parentWidget()->screen() : screen())
        move(s->availableGeometry().center() - rect().center());
}

bool AccountDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_userNameEdit || watched == m_passwordEdit) {
        auto *field = static_cast<QLineEdit *>(watched);
        switch (event->type()) {
        case QEvent::FocusIn:
            onFieldFocused(field);
            break;
        case QEvent::FocusOut:
            onFieldLeft(field);
            break;
        case QEvent::KeyPress:
            if (onFieldKey(field, static_cast<QKeyEvent *>(event)->key()))
                return true;
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AccountDialog::onFieldFocused(QLineEdit *field)
{
    setFieldColour(field, FocusColour);
}

void AccountDialog::onFieldLeft(QLineEdit *field)
{
    setFieldColour(field, m_fieldBackground);
}

bool AccountDialog::onFieldKey(QLineEdit *field, int key)
{
    // Enter moves to the other field, selected; it never saves.
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    selectAndFocus(field == m_userNameEdit ? m_passwordEdit : m_userNameEdit);
    return true;
}

// ---- Opening ----

void AccountDialog::loadStoredAccount()
{
    // The user name is in the settings file; the password may be in the
    // keyring, which answers a moment later (at once without one).
    m_userNameLimit->setText(storedAccount(*m_platform.settings).user);
    m_focusTimer->start();
    readAccount(*m_platform.settings, m_platform.addresses.site, this,
                [this](const AccountReading &reading) { onStoredAccountRead(reading); });
}

void AccountDialog::onStoredAccountRead(const AccountReading &reading)
{
    // A password typed meanwhile stays.
    if (!m_passwordEdit->isModified() && !m_busyPanel->isVisible())
        m_passwordLimit->setText(reading.account.password);
    m_keyringNote->setVisible(!reading.keyringProblem.isEmpty());
    m_keyringNote->setToolTip(reading.keyringProblem);
}

void AccountDialog::focusUserName()
{
    selectAndFocus(m_userNameEdit);
}

void AccountDialog::selectAndFocus(QLineEdit *field)
{
    field->setSelection(0, int(field->text().size()));
    field->setFocus();
}

void AccountDialog::setFieldColour(QLineEdit *field, const QColor &colour)
{
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, colour);
    field->setPalette(pal);
}

// ---- Save: the account check ----

void AccountDialog::checkAndSaveAccount()
{
    MessageBox &box = *m_platform.messages;
    if (const std::optional<QString> refusal =
            AccountCheck::checkUserName(m_userNameEdit->text())) {
        box.show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        selectAndFocus(m_userNameEdit);
        return;
    }
    if (const std::optional<QString> refusal =
            AccountCheck::checkPassword(m_passwordEdit->text())) {
        box.show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        selectAndFocus(m_passwordEdit);
        return;
    }
    m_saveButton->setVisible(false);
    m_busyPanel->setVisible(true);
    // The fields lie under the busy panel; they keep what was checked.
    m_userNameEdit->setReadOnly(true);
    m_passwordEdit->setReadOnly(true);
    m_check->start({m_userNameEdit->text(), m_passwordEdit->text()});
    m_busyPanel->move(m_busyPanel->x(), 121);
}

void AccountDialog::onCheckFinished(LoginOutcome outcome)
{
    if (outcome == LoginOutcome::LoggedIn)
        acceptAccount();
    else
        rejectAccount(loginOutcomeMessage(outcome, m_check->connectionProblem()));
}

// A rejection or a connection error: the dialog returns to input with what
// the user typed, and nothing is stored.
void AccountDialog::rejectAccount(const QString &message)
{
    m_platform.messages->show(message, MsgButtons::Ok, MsgIcon::Critical);
    m_busyPanel->setVisible(false);
    m_saveButton->setVisible(true);
    m_userNameEdit->setReadOnly(false);
    m_passwordEdit->setReadOnly(false);
    selectAndFocus(m_userNameEdit);
}

// The site accepted the account, and the check has stored it as typed: the
// dialog closes with it.
void AccountDialog::acceptAccount()
{
    m_accepted = {m_userNameEdit->text(), m_passwordEdit->text()};
    accept();
}

void AccountDialog::done(int result)
{
    m_focusTimer->stop();
    m_check->abort();
    QDialog::done(result);
}

} // namespace uplark
