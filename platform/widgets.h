#pragma once

#include "platform/pictures.h"

#include <QLabel>
#include <QString>

namespace uplark {

// A picture box: shows a Picture and remembers it, so that another box can
// take its image ("copy the picture of one box into another").
class PictureBox : public QLabel
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);
    void setPicture(const Picture &picture);
    const Picture &picture() const { return m_picture; }
    // The text carried by the image shown.
    QString pictureText() const { return m_picture.text; }

private:
    Picture m_picture;
};

// A label that reports clicks: the transparent click area laid over an image
// button, and the underlined links.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(QWidget *parent = nullptr);
    explicit ClickLabel(const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

// A link: an underlined label with a pointing-hand cursor.
class LinkLabel : public ClickLabel
{
    Q_OBJECT
public:
    LinkLabel(const QString &text, const QColor &colour, QWidget *parent = nullptr);
};

// An image button: a picture carrying the button's text with a transparent
// click area over it. The click area reports the click; hiding the picture
// hides the button and its click area with it.
class ImageButton : public PictureBox
{
    Q_OBJECT
public:
    // `hotspotName` names the click area; `hotspot` is its rectangle inside
    // the picture (an inset of the whole picture when empty).
    ImageButton(const Picture &face, const QString &hotspotName, QWidget *parent,
                const QRect &hotspot = {});
    ClickLabel *hotspot() const { return m_hotspot; }

Q_SIGNALS:
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    ClickLabel *m_hotspot;
    QRect m_hotspotRect;
};

// Names a control, gives it its rectangle (left, top, width, height) in its
// container and shows or hides it, as a window's control table lists them.
template <typename W>
W *Place(W *widget, const char *name, int left, int top, int width, int height, bool shown = true)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    widget->setVisible(shown);
    return widget;
}

// A plain box filled with one colour.
QWidget *ColourBox(QWidget *parent, const QColor &colour);

void SetTextColour(QWidget *widget, const QColor &colour);

} // namespace uplark
