#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class Form1;
class ImageButton;
class PictureBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The video information dialog "Video Information": title, description,
// category and tags of the video about to be uploaded. OK checks them, puts
// the main window into its uploading display, has the texts converted,
// stores them in the main window and opens the login connection. Every other
// way out returns the main window to its file-chosen display.
//
// Constructed afresh for each opening: `Form3 dialog(main); ...; dialog.exec();`
class Form3 : public QDialog
{
    Q_OBJECT
public:
    explicit Form3(Form1 &main, QWidget *parent = nullptr);
    ~Form3() override;

    static constexpr int TitleLimit = 60;
    static constexpr int DescriptionLimit = 4999;
    static constexpr int TagsLimit = 120;

    // The category number stored for a list item's text; empty when the text
    // is not one of the fourteen categories.
    static QByteArray CategoryId(const QString &item);

    // ---- Fields the user never sees ----
    QString Text1;          // the caller's suggested title; then the conversion answer
    QByteArray Text2;       // decoded title, before the tokens are put back
    QByteArray Text3;       // decoded description
    QByteArray Text4;       // decoded tags
    QString Label4 = QStringLiteral("Label4"); // "vorn" once OK has taken over

    // ---- Controls ----
    QWidget *Picture4;          // header band
    PictureBox *Picture5;       // logo
    QLabel *Label5;             // "Enter video information"
    PictureBox *Picture3;       // text-field icon
    QLabel *Label1;             // "&Title for your video:"
    QLineEdit *RichTextBox1;    // title, one line, at most 60 characters
    QLabel *Label6;             // "&Description:"
    QPlainTextEdit *RichTextBox2; // description, at most 4999 characters
    QLabel *Label7;             // "Video &category:"
    QComboBox *Combo1;          // category list
    QLabel *Label8;             // "T&ags:"
    QLineEdit *RichTextBox3;    // tags, one line, at most 120 characters
    ImageButton *Picture1;      // OK, click area Label3
    ImageButton *Picture2;      // Cancel, click area Label2
    QPushButton *Command1;      // pressed by Esc; out of sight

public Q_SLOTS:
    void Form_Load();
    void Label3_Click();   // OK
    void Label2_Click();   // Cancel
    void Command1_Click(); // Esc

public:
    // Every way of closing the dialog passes here.
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void Form_Unload();
    // Removes "<" and ">" from the boxes, has the texts converted and stores
    // the results in the main window; false when no usable answer arrived.
    bool ConvertTexts();
    // The main window's file-chosen display.
    void ShowFileChosen();

    Form1 &m_main;
};
