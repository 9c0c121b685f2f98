// The preview player, built as a library of its own (uplark-preview) that
// the program loads when it first needs a player: Qt Multimedia and its
// media backend are loaded with it, and not at start.
#include "desktop/seams/mediapreview.h"
#include "desktop/seams/previewbar.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

namespace uplark {

namespace {

class MultimediaPreview : public MediaPreview
{
public:
    explicit MultimediaPreview(QWidget *parent)
        : MediaPreview(parent)
        , m_player(new QMediaPlayer(this))
        , m_devices(new QMediaDevices(this))
        , m_video(new QVideoWidget(this))
    {
        followAudioOutput();
        m_player->setVideoOutput(m_video);
        m_video->setAspectRatioMode(Qt::KeepAspectRatio);
        const PreviewControls controls = layOutPreview(this, m_video);
        m_play = controls.play;
        m_stop = controls.stop;
        m_position = controls.position;

        QObject::connect(m_devices, &QMediaDevices::audioOutputsChanged, m_player,
                         [this] { followAudioOutput(); });
        QObject::connect(m_play, &QToolButton::clicked, m_player, [this] {
            if (m_player->playbackState() == QMediaPlayer::PlayingState)
                m_player->pause();
            else
                m_player->play();
        });
        QObject::connect(m_stop, &QToolButton::clicked, m_player, &QMediaPlayer::stop);
        QObject::connect(m_player, &QMediaPlayer::playbackStateChanged, m_play,
                         [this](QMediaPlayer::PlaybackState state) {
                             const bool playing = state == QMediaPlayer::PlayingState;
                             m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause
                                                                           : QStyle::SP_MediaPlay));
                             m_play->setAccessibleName(playing ? previewText("Pause")
                                                               : previewText("Play"));
                             m_play->setToolTip(m_play->accessibleName());
                         });
        QObject::connect(m_player, &QMediaPlayer::durationChanged, m_position,
                         [this](qint64 duration) { m_position->setRange(0, int(duration)); });
        QObject::connect(m_player, &QMediaPlayer::positionChanged, m_position,
                         [this](qint64 position) {
                             if (!m_position->isSliderDown())
                                 m_position->setValue(int(position));
                         });
        QObject::connect(m_position, &QSlider::sliderMoved, m_player,
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
    // The sound goes to the desktop's default audio output, and nowhere
    // when there is none. Qt 6.4's FFmpeg backend given an audio output
    // without a device opens a sink that never starts, then writes the
    // decoded sound through the null device that the failed start returned
    // and crashes in its audio thread on the first frame of sound: with no
    // output device, the player gets no audio output at all and plays the
    // picture alone. A device that comes or goes later is followed.
    void followAudioOutput()
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            m_player->setAudioOutput(nullptr);
            delete m_audio;
            m_audio = nullptr;
            return;
        }
        if (!m_audio) {
            m_audio = new QAudioOutput(device, this);
            m_player->setAudioOutput(m_audio);
        } else {
            m_audio->setDevice(device);
        }
    }

    QMediaPlayer *m_player;
    QMediaDevices *m_devices;
    QAudioOutput *m_audio = nullptr;
    QVideoWidget *m_video;
    QToolButton *m_play;
    QToolButton *m_stop;
    QSlider *m_position;
};

} // namespace

} // namespace uplark

// The library's one entry point, looked up by name when it is loaded.
extern "C" Q_DECL_EXPORT uplark::MediaPreview *uplarkCreatePreview(QWidget *parent)
{
    return new uplark::MultimediaPreview(parent);
}
