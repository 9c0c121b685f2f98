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
class AccountDialog : public QDialog // Form2
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
    void done(int result) override; // Label6_Click, Command1_Click

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void loadStoredAccount();                   // Form_Load
    void focusUserName();                       // Timer1_Timer
    void checkAndSaveAccount();                 // Label7_Click
    void onCheckFinished(LoginOutcome outcome); // Winsock1_DataArrival, Winsock1_Error
    void onFieldFocused(QLineEdit *field);      // Text1_GotFocus, Text2_GotFocus
    void onFieldLeft(QLineEdit *field);         // Text1_LostFocus, Text2_LostFocus
    // True when the key is taken: Enter moves to the other field.
    bool onFieldKey(QLineEdit *field, int key); // Text1_KeyPress, Text2_KeyPress
    void rejectAccount(const QString &message);
    void acceptAccount();
    static void selectAndFocus(QLineEdit *field);
    static void setFieldColour(QLineEdit *field, const QColor &colour);

    Platform &m_platform;

    QWidget *headerBand;       // Picture2
    PictureBox *logo;          // Picture1
    QLabel *heading;           // Label5
    QLabel *instructions;      // Label1
    QLabel *userNameLabel;     // Label2
    QLineEdit *userNameEdit;   // Text1
    QLabel *passwordLabel;     // Label3
    QLineEdit *passwordEdit;   // Text2
    ImageButton *saveButton;   // Picture5, click area Label7
    ImageButton *cancelButton; // Picture3, click area Label6
    QWidget *busyPanel;        // Picture4
    QFrame *busyBorder;        // Shape1
    QLabel *busyLabel;         // Label4
    QPushButton *escapeButton; // Command1
    QTimer *m_focusTimer;      // Timer1
    AccountCheck *m_check;     // Winsock1

    TypingLimit *m_userNameLimit;
    TypingLimit *m_passwordLimit;
    QColor m_fieldBackground; // the fields' background without the focus
    Account m_accepted;
};

} // namespace uplark
