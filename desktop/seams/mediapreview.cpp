#include "desktop/seams/mediapreview.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QPalette>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace uplark {

namespace {

// The control bar of a preview.
struct PreviewControls
{
    QToolButton *play;
    QToolButton *stop;
    QSlider *position;
};

// Lays out a preview in `box`: the picture area on top, below it the play
// and stop buttons and the position slider. The player and its placeholder
// share it, so that they look alike.
PreviewControls layOutPreview(QWidget *box, QWidget *picture)
{
    PreviewControls c{new QToolButton(box), new QToolButton(box), new QSlider(Qt::Horizontal, box)};
    c.play->setIcon(box->style()->standardIcon(QStyle::SP_MediaPlay));
    c.stop->setIcon(box->style()->standardIcon(QStyle::SP_MediaStop));
    c.position->setRange(0, 0);
    // Names for screen readers; the buttons show only icons.
    c.play->setAccessibleName(MediaPreview::tr("Play"));
    c.play->setToolTip(MediaPreview::tr("Play"));
    c.stop->setAccessibleName(MediaPreview::tr("Stop"));
    c.stop->setToolTip(MediaPreview::tr("Stop"));
    c.position->setAccessibleName(MediaPreview::tr("Position"));

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 2, 2);
    bar->addWidget(c.play);
    bar->addWidget(c.stop);
    bar->addWidget(c.position, 1);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture, 1);
    layout->addLayout(bar);
    return c;
}

class MultimediaPreview : public MediaPreview
{
public:
    explicit MultimediaPreview(QWidget *parent)
        : MediaPreview(parent)
        , m_player(new QMediaPlayer(this))
        , m_audio(new QAudioOutput(this))
        , m_video(new QVideoWidget(this))
    {
        m_player->setAudioOutput(m_audio);
        m_player->setVideoOutput(m_video);
        m_video->setAspectRatioMode(Qt::KeepAspectRatio);
        const PreviewControls controls = layOutPreview(this, m_video);
        m_play = controls.play;
        m_stop = controls.stop;
        m_position = controls.position;

        connect(m_play, &QToolButton::clicked, this, [this] {
            if (m_player->playbackState() == QMediaPlayer::PlayingState)
                m_player->pause();
            else
                m_player->play();
        });
        connect(m_stop, &QToolButton::clicked, m_player, &QMediaPlayer::stop);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    const bool playing = state == QMediaPlayer::PlayingState;
                    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause
                                                                  : QStyle::SP_MediaPlay));
                    m_play->setAccessibleName(playing ? tr("Pause") : tr("Play"));
                    m_play->setToolTip(m_play->accessibleName());
                });
        connect(m_player, &QMediaPlayer::durationChanged, this,
                [this](qint64 duration) { m_position->setRange(0, int(duration)); });
        connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
            if (!m_position->isSliderDown())
                m_position->setValue(int(position));
        });
        connect(m_position, &QSlider::sliderMoved, m_player,
                [this](int position) { m_player->setPosition(position); });
    }

    void setMedia(const QString &path) override { m_player->setSource(QUrl::fromLocalFile(path)); }

    // Stops playback; the file stays loaded so that play starts it again.
    void closeMedia() override { m_player->stop(); }

    void setStretchToFit(bool stretch) override
    {
        m_video->setAspectRatioMode(stretch ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio);
    }

private:
    QMediaPlayer *m_player;
    QAudioOutput *m_audio;
    QVideoWidget *m_video;
    QToolButton *m_play;
    QToolButton *m_stop;
    QSlider *m_position;
};

} // namespace

MediaPreview *createMultimediaPreview(QWidget *parent)
{
    return new MultimediaPreview(parent);
}

QWidget *createPreviewPlaceholder(QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *picture = new QWidget(box);
    QPalette black = picture->palette();
    black.setColor(QPalette::Window, Qt::black);
    picture->setPalette(black);
    picture->setAutoFillBackground(true);
    // Its controls do nothing, so the keyboard passes them by.
    const PreviewControls controls = layOutPreview(box, picture);
    for (QWidget *control :
         {static_cast<QWidget *>(controls.play), static_cast<QWidget *>(controls.stop),
          static_cast<QWidget *>(controls.position)})
        control->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace uplark
