#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QPainter;

namespace uplark {

// A bitmap drawn by the program, with the text it carries so that the text
// can be read back (by tests and accessibility tools). It keeps how it is
// drawn rather than one bitmap, so that it is drawn afresh for each device
// pixel ratio it is shown at and stays sharp at any scale.
class Picture
{
public:
    // Draws the picture in device-independent pixels on a painter whose
    // device is `size` big and already filled with the background.
    using Drawing = std::function<void(QPainter &painter, QSize size)>;

    Picture() = default;
    Picture(QSize size, const QColor &background, const QString &text, Drawing drawing);

    // The picture's size in device-independent pixels.
    QSize size() const { return m_size; }
    bool isNull() const { return !m_drawing; }
    // The picture drawn for `ratio` device pixels per pixel: ceil(size ×
    // ratio) device pixels, with that device pixel ratio. Drawn once per
    // ratio; copies of a picture share what has been drawn.
    QPixmap pixmap(qreal ratio = 1.0) const;

    QString text;

private:
    QSize m_size;
    QColor m_background;
    Drawing m_drawing;
    std::shared_ptr<QHash<int, QPixmap>> m_drawn;
};

// A button face: `text` in white on a rounded face of colour `face`.
Picture buttonFace(const QString &text, const QColor &face, QSize size = QSize(117, 32));
// A one-line status banner in a large font.
Picture bannerPicture(const QString &text, QSize size = QSize(377, 25));
// The product logo on a dark background.
Picture logoPicture(QSize size, const QColor &background);

// Small icons.
Picture redCrossPicture(QSize size);
Picture tickPicture(QSize size);
Picture browserPicture(QSize size);
Picture copyPicture(QSize size);
Picture textFieldPicture(QSize size);

namespace Faces {
// Face colours of the program's image buttons.
inline const QColor Red{200, 40, 40};
inline const QColor Green{40, 150, 60};
inline const QColor Blue{40, 90, 170};
inline const QColor BlueGreen{20, 140, 140};
inline const QColor Orange{230, 120, 20};
} // namespace Faces

} // namespace uplark
