#pragma once

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace uplark {

// The control bar of a preview.
struct PreviewControls
{
    QToolButton *play;
    QToolButton *stop;
    QSlider *position;
};

inline QString previewText(const char *text)
{
    return QCoreApplication::translate("uplark::MediaPreview", text);
}

// Lays out a preview in `box`: the picture area on top, below it the play
// and stop buttons and the position slider. The player (in its own library)
// and its placeholder (in the program) share it, so that they look alike.
inline PreviewControls layOutPreview(QWidget *box, QWidget *picture)
{
    PreviewControls c{new QToolButton(box), new QToolButton(box), new QSlider(Qt::Horizontal, box)};
    c.play->setObjectName(QStringLiteral("playButton"));
    c.stop->setObjectName(QStringLiteral("stopButton"));
    c.position->setObjectName(QStringLiteral("positionSlider"));
    c.play->setIcon(box->style()->standardIcon(QStyle::SP_MediaPlay));
    c.stop->setIcon(box->style()->standardIcon(QStyle::SP_MediaStop));
    c.position->setRange(0, 0);
    // Names for screen readers; the buttons show only icons.
    c.play->setAccessibleName(previewText("Play"));
    c.play->setToolTip(previewText("Play"));
    c.stop->setAccessibleName(previewText("Stop"));
    c.stop->setToolTip(previewText("Stop"));
    c.position->setAccessibleName(previewText("Position"));

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

} // namespace uplark
