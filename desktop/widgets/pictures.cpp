#include "desktop/widgets/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace uplark {

using namespace Qt::StringLiterals;

Picture::Picture(QSize size, const QColor &background, const QString &text, Drawing drawing)
    : text(text)
    , m_size(size)
    , m_background(background)
    , m_drawing(std::move(drawing))
    , m_drawn(std::make_shared<QHash<int, QPixmap>>())
{
}

QPixmap Picture::pixmap(qreal ratio) const
{
    if (!m_drawing || ratio <= 0)
        return {};
    // Ratios are told apart to a thousandth, which is finer than any screen
    // scale a desktop offers.
    const int key = qRound(ratio * 1000);
    if (const auto drawn = m_drawn->constFind(key); drawn != m_drawn->cend())
        return *drawn;
    QPixmap pixmap(qCeil(m_size.width() * ratio), qCeil(m_size.height() * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(m_background);
    {
        QPainter p(&pixmap);
        m_drawing(p, m_size);
    }
    m_drawn->insert(key, pixmap);
    return pixmap;
}

Picture buttonFace(const QString &text, const QColor &face, QSize size)
{
    return Picture(size, Qt::transparent, text, [text, face](QPainter &p, QSize size) {
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
    });
}

Picture bannerPicture(const QString &text, QSize size)
{
    return Picture(size, Qt::white, text, [text](QPainter &p, QSize size) {
        p.setRenderHint(QPainter::Antialiasing);
        QFont font(u"Verdana"_s);
        font.setPixelSize(17);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0, 0, 160));
        p.drawText(QRect(QPoint(2, 0), size), Qt::AlignLeft | Qt::AlignVCenter, text);
    });
}

Picture logoPicture(QSize size, const QColor &background)
{
    return Picture(size, background, u"Uplark"_s, [](QPainter &p, QSize size) {
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
    });
}

Picture redCrossPicture(QSize size)
{
    return Picture(size, Qt::transparent, u"Clear"_s, [](QPainter &p, QSize size) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(3, 3, -3, -3);
        p.setPen(QPen(QColor(210, 20, 20), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(r.topLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomLeft());
    });
}

Picture tickPicture(QSize size)
{
    return Picture(size, Qt::transparent, u"OK"_s, [](QPainter &p, QSize size) {
        p.setRenderHint(QPainter::Antialiasing);
        const qreal w = size.width(), h = size.height();
        p.setPen(QPen(QColor(0, 160, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(
            QList<QPointF>{{w * 0.12, h * 0.55}, {w * 0.4, h * 0.85}, {w * 0.9, h * 0.15}});
    });
}

Picture browserPicture(QSize size)
{
    return Picture(
        size, Qt::transparent, u"Open in default browser"_s, [](QPainter &p, QSize size) {
            p.setRenderHint(QPainter::Antialiasing);
            const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
            p.setPen(QPen(QColor(20, 80, 170), 1.2));
            p.setBrush(QColor(200, 225, 255));
            p.drawEllipse(r);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(r.adjusted(r.width() * 0.28, 0, -r.width() * 0.28, 0));
            p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
            p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        });
}

Picture copyPicture(QSize size)
{
    return Picture(size, Qt::transparent, u"Copy to memory"_s, [](QPainter &p, QSize size) {
        const qreal w = size.width(), h = size.height();
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 0.5, w * 0.6, h * 0.7));
        p.drawRect(QRectF(w * 0.35, h * 0.25, w * 0.6, h * 0.7));
    });
}

Picture textFieldPicture(QSize size)
{
    return Picture(size, Qt::transparent, u"Text"_s, [](QPainter &p, QSize size) {
        const qreal w = size.width(), h = size.height();
        p.setPen(QPen(QColor(200, 200, 200), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, h * 0.25, w - 1, h * 0.5));
        p.setPen(QPen(QColor(0, 192, 0), 2));
        p.drawLine(QPointF(w * 0.2, h * 0.35), QPointF(w * 0.2, h * 0.65));
    });
}

} // namespace uplark
