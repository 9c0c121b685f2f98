#include "platform/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

QPixmap blank(QSize size, const QColor &fill = Qt::transparent)
{
    QPixmap pixmap(size);
    pixmap.fill(fill);
    return pixmap;
}

} // namespace

Picture ButtonFace(const QString &text, const QColor &face, QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0, face.lighter(135));
    gradient.setColorAt(1, face.darker(115));
    p.setPen(QPen(face.darker(160), 1));
    p.setBrush(gradient);
    p.drawRoundedRect(box, 6, 6);
    QFont font(u"Verdana"_s);
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
    return {pixmap, text};
}

Picture BannerImage(const QString &text, QSize size)
{
    QPixmap pixmap = blank(size, Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(u"Verdana"_s);
    font.setPixelSize(17);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 160));
    p.drawText(QRect(QPoint(2, 0), size), Qt::AlignLeft | Qt::AlignVCenter, text);
    return {pixmap, text};
}

Picture LogoImage(QSize size, const QColor &background)
{
    QPixmap pixmap = blank(size, background);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const int h = size.height();
    // An upward arrow in a red rounded square, then the name.
    const QRectF mark(4, h * 0.15, h * 0.7, h * 0.7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 30, 30));
    p.drawRoundedRect(mark, 8, 8);
    QPainterPath arrow;
    const qreal cx = mark.center().x(), top = mark.top() + mark.height() * 0.18;
    const qreal w = mark.width();
    arrow.moveTo(cx, top);
    arrow.lineTo(cx + w * 0.3, top + w * 0.32);
    arrow.lineTo(cx + w * 0.11, top + w * 0.32);
    arrow.lineTo(cx + w * 0.11, mark.bottom() - w * 0.16);
    arrow.lineTo(cx - w * 0.11, mark.bottom() - w * 0.16);
    arrow.lineTo(cx - w * 0.11, top + w * 0.32);
    arrow.lineTo(cx - w * 0.3, top + w * 0.32);
    arrow.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    QFont font(u"Verdana"_s);
    font.setPixelSize(int(h * 0.45));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(mark.right() + 8, 0, size.width() - mark.right() - 8, h),
               Qt::AlignLeft | Qt::AlignVCenter, u"Uplark"_s);
    return {pixmap, u"Uplark"_s};
}

Picture RedCrossIcon(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(3, 3, -3, -3);
    p.setPen(QPen(QColor(210, 20, 20), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    return {pixmap, u"X"_s};
}

Picture TickIcon(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    p.setPen(QPen(QColor(0, 160, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QList<QPointF>{{w * 0.12, h * 0.55}, {w * 0.4, h * 0.85}, {w * 0.9, h * 0.15}});
    return {pixmap, u"OK"_s};
}

Picture BrowserIcon(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor(20, 80, 170), 1.2));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() * 0.28, 0, -r.width() * 0.28, 0));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    return {pixmap, u"Open in default browser"_s};
}

Picture CopyIcon(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    const qreal w = size.width(), h = size.height();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 0.5, w * 0.6, h * 0.7));
    p.drawRect(QRectF(w * 0.35, h * 0.25, w * 0.6, h * 0.7));
    return {pixmap, u"Copy to memory"_s};
}

Picture TextFieldIcon(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    const qreal w = size.width(), h = size.height();
    p.setPen(QPen(QColor(200, 200, 200), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, h * 0.25, w - 1, h * 0.5));
    p.setPen(QPen(QColor(0, 192, 0), 2));
    p.drawLine(QPointF(w * 0.2, h * 0.35), QPointF(w * 0.2, h * 0.65));
    return {pixmap, u"Text"_s};
}

} // namespace uplark
