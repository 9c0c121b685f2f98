#include "platform/mediapreview.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace uplark {

namespace {

class MultimediaPreview : public MediaPreview
{
public:
    explicit MultimediaPreview(QWidget *parent)
        : MediaPreview(parent)
        , m_player(new QMediaPlayer(this))
        , m_audio(new QAudioOutput(this))
        , m_video(new QVideoWidget(this))
        , m_play(new QToolButton(this))
        , m_stop(new QToolButton(this))
        , m_position(new QSlider(Qt::Horizontal, this))
    {
        m_player->setAudioOutput(m_audio);
        m_player->setVideoOutput(m_video);
        m_video->setAspectRatioMode(Qt::KeepAspectRatio);

        m_play->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        m_stop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
        m_position->setRange(0, 0);
        // Names for screen readers; the buttons show only icons.
        m_play->setAccessibleName(tr("Play"));
        m_play->setToolTip(tr("Play"));
        m_stop->setAccessibleName(tr("Stop"));
        m_stop->setToolTip(tr("Stop"));
        m_position->setAccessibleName(tr("Position"));

        auto *bar = new QHBoxLayout;
        bar->setContentsMargins(2, 2, 2, 2);
        bar->addWidget(m_play);
        bar->addWidget(m_stop);
        bar->addWidget(m_position, 1);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(m_video, 1);
        layout->addLayout(bar);

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

    void setMedia(const QString &path) override
    {
        m_player->setSource(QUrl::fromLocalFile(path));
    }

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

MediaPreview *CreateMultimediaPreview(QWidget *parent)
{
    return new MultimediaPreview(parent);
}

} // namespace uplark
