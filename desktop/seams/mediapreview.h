#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

namespace uplark {

// An embedded media player that previews the chosen video. It is given a
// file, told to close its media and told to scale its picture to its box;
// its failures are its own and are never reported.
//
// The real player lives in a library of its own (uplark-preview), loaded the
// first time a player is made, so that Qt Multimedia and its media backend
// are loaded only when a file is first chosen. The class has no meta-object
// of its own, so that the library and the program share it by its header.
class MediaPreview : public QWidget
{
public:
    using QWidget::QWidget;
    virtual void setMedia(const QString &path) = 0;
    virtual void closeMedia() = 0;
    virtual void setStretchToFit(bool stretch) = 0;
};

using PreviewMaker = std::function<MediaPreview *(QWidget *parent)>;

// Makes players with the player library: the first of `candidates` (paths
// of the library file) that loads is loaded when the first player is made.
// Where none loads, the maker returns null, and the window keeps what stands
// in the player's place.
PreviewMaker previewFromLibrary(const QStringList &candidates);

// Where the program looks for the player library: beside the program in the
// build, and in the installed library folder.
QStringList previewLibraryCandidates(const QString &programFolder);

// What the real player shows while it has no media, built from plain widgets
// (a black picture area and the same control bar, which does nothing and
// takes no focus), so that the media backend is loaded only once a file is
// chosen.
QWidget *createPreviewPlaceholder(QWidget *parent);

} // namespace uplark
