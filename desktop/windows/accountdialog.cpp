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
    userNameEdit->removeEventFilter(this);
    passwordEdit->removeEventFilter(this);
}

void AccountDialog::buildWindow()
{
    setWindowTitle(tr("My You Tube Account"));
    setFixedSize(402, 241);
    setAutoFillBackground(true);
    setFixedBackground(this, Qt::white);

    headerBand = place(colourBox(this, QColor(64, 64, 64)), "headerBand", -3, 0, 412, 40, true);
    logo = place(new PictureBox(headerBand), "logo", 4, 1, 127, 39, true);
    logo->setPicture(logoPicture(QSize(127, 39), QColor(64, 64, 64)));
    heading = place(new QLabel(tr("Set your YouTube Account"), headerBand), "heading", 200, 5, 198,
                    18, true);
    QFont headFont = heading->font();
    headFont.setPointSize(10);
    headFont.setBold(true);
    heading->setFont(headFont);
    setTextColour(heading, QColor(0, 192, 0));

    instructions = place(new QLabel(tr("Enter your YouTube account information and click on the "
                                       "SAVE button. This information will be used whenever you "
                                       "upload a video to your account."),
                                    this),
                         "instructions", 18, 63, 355, 41, true);
    instructions->setWordWrap(true);
    instructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    userNameLabel = place(new QLabel(tr("Your You Tube &Username:"), this), "userNameLabel", 15,
                          143, 150, 13, true);
    userNameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    userNameEdit = place(new QLineEdit(this), "userNameEdit", 173, 139, 211, 20, true);
    userNameLabel->setBuddy(userNameEdit);

    passwordLabel = place(new QLabel(tr("Your You Tube &Password:"), this), "passwordLabel", 19,
                          165, 146, 13, true);
    passwordLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    passwordEdit = place(new QLineEdit(this), "passwordEdit", 173, 161, 211, 20, true);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordLabel->setBuddy(passwordEdit);

    m_userNameLimit = new TypingLimit(userNameEdit, MaxTyped);
    m_passwordLimit = new TypingLimit(passwordEdit, MaxTyped);
    m_fieldBackground = userNameEdit->palette().color(QPalette::Base);

    saveButton =
        place(new ImageButton(buttonFace(tr("Save"), Faces::BlueGreen), this, QRect(6, 4, 110, 24)),
              "saveButton", 85, 204, 117, 32, true);
    cancelButton =
        place(new ImageButton(buttonFace(tr("Cancel"), Faces::Red), this, QRect(7, 4, 110, 24)),
              "cancelButton", 201, 204, 117, 32, true);

    busyPanel = place(colourBox(this, QColor(255, 192, 192)), "busyPanel", -3, 116, 410, 70, false);
    // The border lies inside the part of the panel the dialog shows.
    busyBorder = place(new QFrame(busyPanel), "busyBorder", 8, 5, 394, 60, true);
    busyBorder->setFrameShape(QFrame::Box);
    busyBorder->setLineWidth(1);
    setTextColour(busyBorder, QColor(192, 0, 0));
    busyLabel = place(new QLabel(tr("Please wait... Checking your account"), busyPanel),
                      "busyLabel", 85, 29, 239, 13, true);
    QFont bold = busyLabel->font();
    bold.setBold(true);
    busyLabel->setFont(bold);
    busyLabel->setAlignment(Qt::AlignCenter);

    // Below the client area, so it is never seen; Escape presses it.
    escapeButton =
        place(new QPushButton(tr("Cancel"), this), "escapeButton", 376, 250, 51, 13, true);
    escapeButton->setFocusPolicy(Qt::NoFocus);
    escapeButton->setAutoDefault(false);
    escapeButton->setDefault(false);
    escapeButton->setShortcut(QKeySequence(Qt::Key_Escape));

    // Tab goes through the fields, then Save and Cancel; Enter in a field
    // only moves to the other field.
    setTabOrder(userNameEdit, passwordEdit);
    setTabOrder(passwordEdit, saveButton);
    setTabOrder(saveButton, cancelButton);

    m_focusTimer = new QTimer(this);
    m_focusTimer->setObjectName(u"focusTimer"_s);
    m_focusTimer->setInterval(1);
    m_focusTimer->setSingleShot(true);

    m_check =
        new AccountCheck(*m_platform.settings, m_platform.routes, m_platform.addresses.site, this);
    m_check->setObjectName(u"accountCheck"_s);

    connect(m_focusTimer, &QTimer::timeout, this, &AccountDialog::focusUserName);
    connect(saveButton, &ImageButton::clicked, this, &AccountDialog::checkAndSaveAccount);
    connect(cancelButton, &ImageButton::clicked, this, &AccountDialog::reject);
    connect(escapeButton, &QPushButton::clicked, this, &AccountDialog::reject);
    connect(m_check, &AccountCheck::finished, this, &AccountDialog::onCheckFinished);
    userNameEdit->installEventFilter(this);
    passwordEdit->installEventFilter(this);

    // Centred on the screen rather than over the main window.
    if (const QScreen *s = parentWidget() ? parentWidget()->screen() : screen())
        move(s->availableGeometry().center() - rect().center());
}

bool AccountDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == userNameEdit || watched == passwordEdit) {
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
    selectAndFocus(field == userNameEdit ? passwordEdit : userNameEdit);
    return true;
}

// ---- Opening ----

void AccountDialog::loadStoredAccount()
{
    const Account stored = storedAccount(*m_platform.settings);
    m_userNameLimit->setText(stored.user);
    m_passwordLimit->setText(stored.password);
    m_focusTimer->start();
}

void AccountDialog::focusUserName()
{
    selectAndFocus(userNameEdit);
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
    if (const std::optional<QString> refusal = AccountCheck::checkUserName(userNameEdit->text())) {
        box.show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        selectAndFocus(userNameEdit);
        return;
    }
    if (const std::optional<QString> refusal = AccountCheck::checkPassword(passwordEdit->text())) {
        box.show(*refusal, MsgButtons::Ok, MsgIcon::Critical);
        selectAndFocus(passwordEdit);
        return;
    }
    saveButton->setVisible(false);
    busyPanel->setVisible(true);
    // The fields lie under the busy panel; they keep what was checked.
    userNameEdit->setReadOnly(true);
    passwordEdit->setReadOnly(true);
    m_check->start({userNameEdit->text(), passwordEdit->text()});
    busyPanel->move(busyPanel->x(), 121);
}

void AccountDialog::onCheckFinished(LoginOutcome outcome)
{
    if (outcome == LoginOutcome::LoggedIn)
        acceptAccount();
    else
        rejectAccount(loginOutcomeMessage(outcome));
}

// A rejection or a connection error: the dialog returns to input with what
// the user typed, and nothing is stored.
void AccountDialog::rejectAccount(const QString &message)
{
    m_platform.messages->show(message, MsgButtons::Ok, MsgIcon::Critical);
    busyPanel->setVisible(false);
    saveButton->setVisible(true);
    userNameEdit->setReadOnly(false);
    passwordEdit->setReadOnly(false);
    selectAndFocus(userNameEdit);
}

// The site accepted the account, and the check has stored it as typed: the
// dialog closes with it.
void AccountDialog::acceptAccount()
{
    m_accepted = {userNameEdit->text(), passwordEdit->text()};
    accept();
}

void AccountDialog::done(int result)
{
    m_focusTimer->stop();
    m_check->abort();
    QDialog::done(result);
}

} // namespace uplark
