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
class VideoInfoDialog : public QDialog
{
    Q_OBJECT
public:
    VideoInfoDialog(Platform &platform, UploadJob &job, const QString &suggestedTitle,
                    QWidget *parent = nullptr);
    ~VideoInfoDialog() override;

    VideoInfo videoInfo() const { return m_info; }

    // Every way of closing the dialog passes here.
    void done(int result) override;

Q_SIGNALS:
    void conversionStarted();
    void conversionFailed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void fillCategories();
    void confirm();
    void leave();
    VideoTexts texts() const;
    // Removes "<" and ">" from the boxes for good.
    void removeAngleBracketsFromBoxes();

    Platform &m_platform;
    UploadJob &m_job;

    QWidget *m_headerBand;
    PictureBox *m_logo;
    QLabel *m_heading;
    PictureBox *m_textFieldIcon;
    QLabel *m_titleLabel;
    QLineEdit *m_titleEdit;
    QLabel *m_descriptionLabel;
    QPlainTextEdit *m_descriptionEdit;
    QLabel *m_categoryLabel;
    QComboBox *m_categoryCombo;
    QLabel *m_tagsLabel;
    QLineEdit *m_tagsEdit;
    ImageButton *m_okButton;
    ImageButton *m_cancelButton;
    QPushButton *m_escapeButton;

    VideoInfo m_info;
    bool m_handedOver = false; // OK has taken over the upload
};

} // namespace uplark
