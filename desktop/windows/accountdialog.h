#pragma once

#include "engine/model/account.h"

#include <QColor>
#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace uplark {

class AccountCheck;
class ImageButton;
class PictureBox;
class TypingLimit;
struct Platform;
enum class LoginOutcome;

// The account dialog "My You Tube Account": the user types the site account,
// the site checks it over the dialog's own connection, and only an accepted
// account is stored. After exec() returns Accepted, account() is what was
// stored; the caller shows it and tells the user.
class AccountDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AccountDialog(Platform &platform, QWidget *parent = nullptr);
    ~AccountDialog() override;

    // Most a user may type into either field.
    static constexpr int MaxTyped = 20;

    // The account the site accepted, as typed.
    Account account() const { return m_accepted; }

    // Closing the dialog in any way ends the check under way with its
    // connection.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void loadStoredAccount();
    void onStoredAccountRead(const AccountReading &reading);
    void focusUserName();
    void checkAndSaveAccount();
    void onCheckFinished(LoginOutcome outcome);
    void onFieldFocused(QLineEdit *field);
    void onFieldLeft(QLineEdit *field);
    // True when the key is taken: Enter moves to the other field.
    bool onFieldKey(QLineEdit *field, int key);
    void rejectAccount(const QString &message);
    void acceptAccount();
    static void selectAndFocus(QLineEdit *field);
    static void setFieldColour(QLineEdit *field, const QColor &colour);

    Platform &m_platform;

    QWidget *m_headerBand;
    PictureBox *m_logo;
    QLabel *m_heading;
    QLabel *m_instructions;
    QLabel *m_keyringNote; // shown when no desktop keyring answers
    QLabel *m_userNameLabel;
    QLineEdit *m_userNameEdit;
    QLabel *m_passwordLabel;
    QLineEdit *m_passwordEdit;
    ImageButton *m_saveButton;
    ImageButton *m_cancelButton;
    QWidget *m_busyPanel;
    QFrame *m_busyBorder;
    QLabel *m_busyLabel;
    QPushButton *m_escapeButton;
    QTimer *m_focusTimer;
    AccountCheck *m_check;

    TypingLimit *m_userNameLimit;
    TypingLimit *m_passwordLimit;
    QColor m_fieldBackground; // the fields' background without the focus
    Account m_accepted;
};

} // namespace uplark
