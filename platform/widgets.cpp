#include "platform/widgets.h"

#include <QMouseEvent>

namespace uplark {

PictureBox::PictureBox(QWidget *parent)
    : QLabel(parent)
{
}

void PictureBox::setPicture(const Picture &picture)
{
    m_picture = picture;
    setPixmap(picture.pixmap);
    setAccessibleName(picture.text);
}

ClickLabel::ClickLabel(QWidget *parent)
    : QLabel(parent)
{
}

ClickLabel::ClickLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

LinkLabel::LinkLabel(const QString &text, const QColor &colour, QWidget *parent)
    : ClickLabel(text, parent)
{
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
}

ImageButton::ImageButton(const Picture &face, const QString &hotspotName, QWidget *parent,
                         const QRect &hotspot)
    : PictureBox(parent)
    , m_hotspot(new ClickLabel(this))
    , m_hotspotRect(hotspot)
{
    setPicture(face);
    m_hotspot->setObjectName(hotspotName);
    m_hotspot->setAttribute(Qt::WA_TranslucentBackground);
    m_hotspot->setCursor(Qt::PointingHandCursor);
    connect(m_hotspot, &ClickLabel::clicked, this, &ImageButton::clicked);
}

void ImageButton::resizeEvent(QResizeEvent *event)
{
    PictureBox::resizeEvent(event);
    m_hotspot->setGeometry(m_hotspotRect.isEmpty() ? rect().adjusted(2, 2, -2, -2)
                                                   : m_hotspotRect);
}

QWidget *ColourBox(QWidget *parent, const QColor &colour)
{
    auto *box = new QWidget(parent);
    box->setAutoFillBackground(true);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Window, colour);
    box->setPalette(pal);
    return box;
}

void SetTextColour(QWidget *widget, const QColor &colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}

} // namespace uplark
