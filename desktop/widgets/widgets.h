#pragma once

#include "desktop/widgets/pictures.h"

#include <QAbstractButton>
#include <QLabel>
#include <QString>

namespace uplark {

// A picture box: shows a Picture and remembers it, so that another box can
// take its image ("copy the picture of one box into another"). The picture
// is drawn for the screen's device pixel ratio; accessibility tools read
// its text.
class PictureBox : public QLabel
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);
    void setPicture(const Picture &picture);
    const Picture &picture() const { return m_picture; }
    // The text carried by the image shown.
    QString pictureText() const { return m_picture.text; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Picture m_picture;
};

// An image button: a push button whose face is a picture carrying the
// button's caption. It clicks where the face's click area is (an inset of
// the whole face unless given), takes focus by Tab with a focus ring, and
// presses on Space and Enter. Accessibility tools see a push button named
// by its caption.
class ImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    // `hotspot` is the click area's rectangle inside the face (an inset of
    // the whole face when empty).
    explicit ImageButton(const Picture &face, QWidget *parent = nullptr, const QRect &hotspot = {});

    void setPicture(const Picture &face);
    const Picture &picture() const { return m_face; }
    QString pictureText() const { return m_face.text; }
    // The click area, in the button's own coordinates.
    QRect hotspot() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    Picture m_face;
    QRect m_hotspot;
};

// A link: an underlined text with a pointing-hand cursor that works as a
// button. It takes focus by Tab, opens on Enter and Space, and
// accessibility tools see a link named by its text.
class LinkButton : public QAbstractButton
{
    Q_OBJECT
public:
    LinkButton(const QString &text, const QColor &colour, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// Names a control, gives it its rectangle (left, top, width, height) in its
// container and shows or hides it, as a window's control table lists them.
template<typename W>
W *place(W *widget, const char *name, int left, int top, int width, int height, bool shown = true)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    widget->setVisible(shown);
    return widget;
}

// A plain box filled with one colour (see setFixedBackground).
QWidget *colourBox(QWidget *parent, const QColor &colour);

// Gives a widget a fixed background colour (the white panels, the dark
// bands) and the style's standard (light) colours for everything else: its texts,
// fields and buttons then stay readable on it whatever palette the desktop
// gives the program. Its children inherit the same colours.
void setFixedBackground(QWidget *widget, const QColor &colour);

void setTextColour(QWidget *widget, const QColor &colour);

// Leaves a widget out of what assistive tools see: a decoration, or a
// control that is never on screen. Its parent must be a dialog or a plain
// widget (a panel), and the widget is marked before either is first shown.
void hideFromAssistiveTools(QWidget *widget);

} // namespace uplark
