#include "desktop/widgets/widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// The picture as a widget shows it: drawn for the widget's device pixel
// ratio, and greyed like any disabled picture while the widget is disabled.
QPixmap shownPixmap(const Picture &picture, const QWidget &widget)
{
    QPixmap pixmap = picture.pixmap(widget.devicePixelRatioF());
    if (!pixmap.isNull() && !widget.isEnabled()) {
        QStyleOption option;
        option.initFrom(&widget);
        pixmap = widget.style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
    }
    return pixmap;
}

// Draws a picture as a label draws its pixmap: at the left, centred
// vertically. Drawn at its own size, one device pixel per device pixel.
void drawPicture(QPainter &painter, const Picture &picture, const QWidget &widget)
{
    const QPixmap pixmap = shownPixmap(picture, widget);
    if (pixmap.isNull())
        return;
    const int top = (widget.height() - picture.size().height()) / 2;
    painter.drawPixmap(QPointF(0, top), pixmap);
}

// A dotted frame round the widget, dark on a light background and light on
// a dark one.
void drawFocusRing(QPainter &painter, const QWidget &widget)
{
    const QColor behind = widget.palette().color(QPalette::Window);
    const QColor ring = behind.lightness() > 128 ? QColor(64, 64, 64) : QColor(224, 224, 224);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(ring, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(widget.rect().adjusted(0, 0, -1, -1));
    painter.restore();
}

// Enter and Return (on the keypad too) press a button like Space does.
bool isEnter(const QKeyEvent *event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
           && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// What accessibility tools see of a LinkButton: a link named by its text
// whose press action opens it.
class LinkAccessible : public QAccessibleWidget
{
public:
    explicit LinkAccessible(QAbstractButton *link)
        : QAccessibleWidget(link, QAccessible::Link)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? link()->text() : name;
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (widget()->isEnabled())
            link()->click();
    }

private:
    QAbstractButton *link() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *linkAccessibleFactory(const QString &className, QObject *object)
{
    if (className == u"uplark::LinkButton"_s)
        if (auto *link = qobject_cast<LinkButton *>(object))
            return new LinkAccessible(link);
    return nullptr;
}

const char *const HiddenFromAssistiveTools = "uplarkHiddenFromAssistiveTools";

bool isHiddenFromAssistiveTools(const QObject *object)
{
    return object->property(HiddenFromAssistiveTools).toBool();
}

// A dialog or panel as Qt presents it, without its children marked hidden.
class ContainerAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return int(shownChildren().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = shownChildren();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children.at(index))
                   : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(shownChildren().indexOf(qobject_cast<QWidget *>(child->object())));
    }

private:
    // The children Qt's own interface lists (no windows, no menus), less
    // the hidden ones.
    QList<QWidget *> shownChildren() const
    {
        QList<QWidget *> result;
        for (QObject *o : widget()->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (w && !w->isWindow() && !w->inherits("QMenu") && !w->inherits("QFocusFrame")
                && !isHiddenFromAssistiveTools(w))
                result.append(w);
        }
        return result;
    }
};

QAccessibleInterface *containerAccessibleFactory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    // Only for the class the object is of (the first name asked for) and
    // only where a child is hidden.
    if (!widget || className != QLatin1StringView(object->metaObject()->className()))
        return nullptr;
    const QList<QWidget *> children = widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (std::none_of(children.begin(), children.end(), isHiddenFromAssistiveTools))
        return nullptr;
    if (qobject_cast<QDialog *>(widget))
        return new ContainerAccessible(widget, QAccessible::Dialog);
    if (widget->metaObject() == &QWidget::staticMetaObject)
        return new ContainerAccessible(widget, QAccessible::Client);
    return nullptr;
}

} // namespace

PictureBox::PictureBox(QWidget *parent)
    : QLabel(parent)
{
}

void PictureBox::setPicture(const Picture &picture)
{
    m_picture = picture;
    setAccessibleName(picture.text);
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawPicture(painter, m_picture, *this);
}

ImageButton::ImageButton(const Picture &face, QWidget *parent, const QRect &hotspot)
    : QAbstractButton(parent)
    , m_hotspot(hotspot)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setPicture(face);
}

void ImageButton::setPicture(const Picture &face)
{
    m_face = face;
    setText(face.text);
    update();
}

QRect ImageButton::hotspot() const
{
    return m_hotspot.isEmpty() ? rect().adjusted(2, 2, -2, -2) : m_hotspot;
}

QSize ImageButton::sizeHint() const
{
    return m_face.size();
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawPicture(painter, m_face, *this);
    if (hasFocus())
        drawFocusRing(painter, *this);
}

void ImageButton::keyPressEvent(QKeyEvent *event)
{
    if (isEnter(event) && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

bool ImageButton::hitButton(const QPoint &pos) const
{
    return hotspot().contains(pos);
}

LinkButton::LinkButton(const QString &text, const QColor &colour, QWidget *parent)
    : QAbstractButton(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(linkAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    setText(text);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    // Drawn as a label is, in the window's text colours.
    setForegroundRole(QPalette::WindowText);
    setBackgroundRole(QPalette::Window);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize LinkButton::sizeHint() const
{
    return fontMetrics().size(Qt::TextSingleLine, text());
}

void LinkButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(
        &painter, rect(),
        QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter), palette(),
        isEnabled(), text(), foregroundRole());
    if (hasFocus())
        drawFocusRing(painter, *this);
}

void LinkButton::keyPressEvent(QKeyEvent *event)
{
    if (isEnter(event) && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QWidget *colourBox(QWidget *parent, const QColor &colour)
{
    auto *box = new QWidget(parent);
    box->setAutoFillBackground(true);
    setFixedBackground(box, colour);
    return box;
}

void setFixedBackground(QWidget *widget, const QColor &colour)
{
    // Every role is set, so that none comes from the desktop's palette.
    const QPalette standard = widget->style()->standardPalette();
    QPalette fixed;
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto role = QPalette::ColorRole(r);
            if (role == QPalette::NoRole)
                continue;
            fixed.setBrush(group, role, standard.brush(group, role));
        }
        fixed.setColor(group, QPalette::Window, colour);
    }
    widget->setPalette(fixed);
}

void hideFromAssistiveTools(QWidget *widget)
{
    static const bool installed = [] {
        QAccessible::installFactory(containerAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(HiddenFromAssistiveTools, true);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}

} // namespace uplark
