#pragma once

#include "engine/model/videoinfo.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace uplark {

class ImageButton;
class PictureBox;
class UploadJob;
struct Platform;

// The video information dialog "Video Information": title, description,
// category and tags of the video about to be uploaded. OK checks them and
// has the upload job convert the texts; once that has worked the dialog
// closes accepted and videoInfo() holds what the site is to be told. While the conversion
// runs (it blocks every event) the caller shows the upload as starting:
// conversionStarted() says so, and conversionFailed() that the dialog stays
// open with a connection error instead.
//
// Constructed afresh for each opening, with the suggested title:
// `VideoInfoDialog dialog(platform, name, window); if (dialog.exec()) ...`
class VideoInfoDialog : public QDialog // Form3
{
    Q_OBJECT
public:
    VideoInfoDialog(Platform &platform, UploadJob &job, const QString &suggestedTitle,
                    QWidget *parent = nullptr);
    ~VideoInfoDialog() override;

    VideoInfo videoInfo() const { return m_info; }

    // Every way of closing the dialog passes here.
    void done(int result) override; // Form_Unload

Q_SIGNALS:
    void conversionStarted();
    void conversionFailed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void fillCategories(); // Form_Load
    void confirm();        // Label3_Click
    void leave();          // Label2_Click, Command1_Click
    VideoTexts texts() const;
    // Removes "<" and ">" from the boxes for good.
    void removeAngleBracketsFromBoxes();

    Platform &m_platform;
    UploadJob &m_job;

    QWidget *headerBand;             // Picture4
    PictureBox *logo;                // Picture5
    QLabel *heading;                 // Label5
    PictureBox *textFieldIcon;       // Picture3
    QLabel *titleLabel;              // Label1
    QLineEdit *titleEdit;            // RichTextBox1
    QLabel *descriptionLabel;        // Label6
    QPlainTextEdit *descriptionEdit; // RichTextBox2
    QLabel *categoryLabel;           // Label7
    QComboBox *categoryCombo;        // Combo1
    QLabel *tagsLabel;               // Label8
    QLineEdit *tagsEdit;             // RichTextBox3
    ImageButton *okButton;           // Picture1, click area Label3
    ImageButton *cancelButton;       // Picture2, click area Label2
    QPushButton *escapeButton;       // Command1

    VideoInfo m_info;
    bool m_handedOver = false; // Label4 == "vorn": OK has taken over the upload
};

} // namespace uplark
