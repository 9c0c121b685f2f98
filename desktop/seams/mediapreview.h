#pragma once

#include <QWidget>

namespace uplark {

// An embedded media player that previews the chosen video. It is given a
// file, told to close its media and told to scale its picture to its box;
// its failures are its own and are never reported.
class MediaPreview : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void setMedia(const QString &path) = 0;
    virtual void closeMedia() = 0;
    virtual void setStretchToFit(bool stretch) = 0;
};

// The real player: Qt Multimedia with a video surface and a control bar.
MediaPreview *createMultimediaPreview(QWidget *parent);

// What the real player shows while it has no media, built from plain widgets
// (a black picture area and the same control bar, which does nothing and
// takes no focus), so that the media backend is loaded only once a file is
// chosen.
QWidget *createPreviewPlaceholder(QWidget *parent);

} // namespace uplark
