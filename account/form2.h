#pragma once

#include <QColor>
#include <QDialog>

class ClickLabel;
class Form1;
class ImageButton;
class PictureBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TypingLimit;
class Winsock;

// The account dialog "My You Tube Account": the user types the site account,
// the site checks it over the dialog's own connection, and only an accepted
// account is stored and shown on the main window.
class Form2 : public QDialog
{
    Q_OBJECT
public:
    explicit Form2(Form1 &main, QWidget *parent = nullptr);
    ~Form2() override;

    // Most a user may type into either field.
    static constexpr int MaxTyped = 20;

    // ---- Controls ----
    QWidget *Picture2;       // header band
    PictureBox *Picture1;    // logo
    QLabel *Label5;          // "Set your YouTube Account"
    QLabel *Label1;          // instruction
    QLabel *Label2;          // "Your You Tube &Username:"
    QLineEdit *Text1;        // user name
    QLabel *Label3;          // "Your You Tube &Password:"
    QLineEdit *Text2;        // password, masked
    ImageButton *Picture5;   // Save button
    ClickLabel *Label7;      // its click area
    ImageButton *Picture3;   // Cancel button
    ClickLabel *Label6;      // its click area
    QWidget *Picture4;       // busy panel, shown while the site is asked
    QFrame *Shape1;          // the busy panel's border
    QLabel *Label4;          // "Please wait... Checking your account"
    QPushButton *Command1;   // the Cancel button of the form: Escape presses it
    QTimer *Timer1;          // focus to the user name once the dialog is up
    Winsock *Winsock1;       // the account check

public Q_SLOTS:
    void Form_Load();
    void Timer1_Timer();
    void Text1_GotFocus();
    void Text1_LostFocus();
    void Text2_GotFocus();
    void Text2_LostFocus();
    void Label7_Click();
    void Winsock1_Connect();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Winsock1_Error(int number, const QString &description);
    void Label6_Click();
    void Command1_Click();

public:
    // Key handlers: `KeyAscii` is the typed character; setting it to 0
    // swallows the key.
    void Text1_KeyPress(int &KeyAscii);
    void Text2_KeyPress(int &KeyAscii);

    // Closing the dialog in any way ends the check under way with its
    // connection.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void connectHandlers();
    void RejectAccount(const QString &message);
    void AcceptAccount();
    static void SelectAndFocus(QLineEdit *field);
    static void SetFieldColour(QLineEdit *field, const QColor &colour);

    Form1 &m_main;
    TypingLimit *m_limit1; // typing limit of Text1
    TypingLimit *m_limit2; // typing limit of Text2
    QColor m_fieldBackground; // the fields' background without the focus
};
