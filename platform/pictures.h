#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace uplark {

// A bitmap drawn by the program, with the text it carries so that the text
// can be read back (by tests and accessibility tools).
struct Picture
{
    QPixmap pixmap;
    QString text;
};

// A button face: `text` in white on a rounded face of colour `face`.
Picture ButtonFace(const QString &text, const QColor &face, QSize size = QSize(117, 32));
// A one-line status banner in a large font.
Picture BannerImage(const QString &text, QSize size = QSize(377, 25));
// The product logo on a dark background.
Picture LogoImage(QSize size, const QColor &background);

// Small icons.
Picture RedCrossIcon(QSize size);
Picture TickIcon(QSize size);
Picture BrowserIcon(QSize size);
Picture CopyIcon(QSize size);
Picture TextFieldIcon(QSize size);

namespace Faces {
// Face colours of the program's image buttons.
inline const QColor Red{200, 40, 40};
inline const QColor Green{40, 150, 60};
inline const QColor Blue{40, 90, 170};
inline const QColor BlueGreen{20, 140, 140};
inline const QColor Orange{230, 120, 20};
} // namespace Faces

} // namespace uplark
