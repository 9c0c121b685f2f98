// How the windows look: pictures drawn for the screen's scale (the test runs
// at several QT_SCALE_FACTOR values), texts readable on the fixed
// backgrounds under a dark palette, and "My Videos" in its gap whatever the
// font.
#include "desktop/windows/accountdialog.h"
#include "windowrig.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// The windows of the program, each at a display that shows the controls
// the tests look at.
struct Windows
{
    Windows()
    {
        account.show();
        videoInfo.show();
    }

    QWidget *control(const QString &window, const QString &name)
    {
        const QHash<QString, QWidget *> byName{{u"intro"_s, intro.w.get()},
                                               {u"result"_s, result.w.get()},
                                               {u"account"_s, &account},
                                               {u"videoinfo"_s, &videoInfo}};
        return child<QWidget>(*byName.value(window), name.toLatin1().constData());
    }

    Rig intro{u"intro"_s}, result{u"result"_s};
    AccountDialog account{result.t.platform};
    VideoInfoDialog videoInfo{result.t.platform, result.w->job(), u"clip"_s};
};

// WCAG relative luminance and contrast ratio.
qreal luminance(const QColor &c)
{
    auto channel = [](qreal v) {
        return v <= 0.03928 ? v / 12.92 : qPow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

qreal contrast(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QImage premultiplied(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sharpPictures_data();
    void sharpPictures();
    void readableOnFixedBackgrounds_data();
    void readableOnFixedBackgrounds();
    void myVideosFitsItsGap_data();
    void myVideosFitsItsGap();

private:
    QFont m_font;
};

void TestAppearance::initTestCase()
{
    m_font = QApplication::font();
}

void TestAppearance::sharpPictures_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    // An image button and picture boxes.
    QTest::newRow("intro understoodButton") << u"intro"_s << u"understoodButton"_s;
    QTest::newRow("result statusBanner") << u"result"_s << u"statusBanner"_s;
    QTest::newRow("videoinfo textFieldIcon") << u"videoinfo"_s << u"textFieldIcon"_s;
}

// Each picture shown is the picture drawn for the screen's device pixel
// ratio, one device pixel to one, not the picture of ratio 1 enlarged.
void TestAppearance::sharpPictures()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    Windows ws;
    QWidget *w = ws.control(window, control);
    if (QWidget *f = w->window()->focusWidget())
        f->clearFocus(); // no focus ring
    auto *button = qobject_cast<ImageButton *>(w);
    const Picture picture = button ? button->picture() : qobject_cast<PictureBox *>(w)->picture();
    QCOMPARE(picture.size(), w->size());

    const qreal ratio = w->devicePixelRatioF();
    const qreal requested =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qgetenv("QT_SCALE_FACTOR").toDouble() : 1.0;
    QCOMPARE(ratio, requested);

    const QImage shown = premultiplied(w->grab().toImage());
    QCOMPARE(shown.size(), (QSizeF(w->size()) * ratio).toSize());
    // The picture drawn at the ratio, over the colour of the box it sits on.
    const QPixmap drawn = picture.pixmap(ratio);
    QVERIFY(drawn.width() >= shown.width() && drawn.height() >= shown.height());
    QImage expected(shown.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(w->parentWidget()->palette().color(QPalette::Window));
    {
        // Device pixel onto device pixel.
        QImage devicePixels = drawn.toImage();
        devicePixels.setDevicePixelRatio(1);
        QPainter p(&expected);
        p.drawImage(0, 0, devicePixels);
    }
    expected.setDevicePixelRatio(ratio);
    QCOMPARE(shown, expected);
    if (ratio != 1.0) {
        const QImage enlarged = premultiplied(picture.pixmap(1.0).toImage().scaled(
            shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        QVERIFY(shown != enlarged);
    }
}

void TestAppearance::readableOnFixedBackgrounds_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("text");       // the colour role the text is drawn in
    QTest::addColumn<int>("background"); // the role behind it, or -1: white
    const int windowText = QPalette::WindowText, plain = QPalette::Text, base = QPalette::Base;
    const int buttonText = QPalette::ButtonText, button = QPalette::Button, white = -1;
    // Each kind of text on a fixed background.
    const QList<std::tuple<const char *, const char *, int, int>> rows = {
        {"intro", "helpText", plain, base},
        {"intro", "skipIntroCheck", windowText, white},
        {"result", "resultText", windowText, white},
        {"account", "userNameEdit", plain, base},
        {"videoinfo", "categoryCombo", buttonText, button},
    };
    for (const auto &[window, control, text, background] : rows)
        QTest::addRow("%s %s", window, control)
            << QString::fromLatin1(window) << QString::fromLatin1(control) << text << background;
}

// Under a dark desktop palette the texts on the white panels and dialogs
// keep a readable colour (WCAG AA contrast, 4.5:1).
void TestAppearance::readableOnFixedBackgrounds()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(int, text);
    QFETCH(int, background);
    QApplication::setPalette(darkPalette());
    Windows ws;
    const QPalette p = ws.control(window, control)->palette();
    const QColor fore = p.color(QPalette::Active, QPalette::ColorRole(text));
    const QColor back = background < 0 ? QColor(Qt::white)
                                       : p.color(QPalette::Active, QPalette::ColorRole(background));
    QApplication::setPalette(QPalette());
    QVERIFY2(contrast(fore, back) >= 4.5,
             qPrintable(u"%1 on %2: %3"_s.arg(fore.name(), back.name()).arg(contrast(fore, back))));
}

void TestAppearance::myVideosFitsItsGap_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::newRow("Liberation Sans 7 pt") << u"Liberation Sans"_s << 7;
    QTest::newRow("DejaVu Sans 14 pt") << u"DejaVu Sans"_s << 14;
    QTest::newRow("DejaVu Sans Mono 9 pt") << u"DejaVu Sans Mono"_s << 9;
}

// "My Videos" lies in the gap between "located in" and "section", with
// room on both sides, on one line, and its label is big enough for it.
void TestAppearance::myVideosFitsItsGap()
{
    QFETCH(QString, family);
    QFETCH(int, points);
    QFont font(family);
    font.setPointSize(points);
    QApplication::setFont(font);
    Windows ws;
    QApplication::setFont(m_font);
    auto *sentence = qobject_cast<QLabel *>(ws.control(u"result"_s, u"resultText"_s));
    auto *words = qobject_cast<QLabel *>(ws.control(u"result"_s, u"myVideosLabel"_s));
    QCOMPARE(words->text(), u"My Videos"_s);

    // Where "located in" ends and "section" starts in the wrapped sentence.
    const QString text = sentence->text();
    const qsizetype in = text.indexOf(u"located in"_s) + 10;
    const qsizetype section = text.indexOf(u"section"_s);
    QVERIFY(in > 10 && section > in);
    QTextLayout layout(text, sentence->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QPointF inEnd, sectionStart;
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(sentence->width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        const qsizetype end = line.textStart() + line.textLength();
        if (in - 1 >= line.textStart() && in - 1 < end)
            inEnd = QPointF(line.cursorToX(in), line.y());
        if (section >= line.textStart() && section < end)
            sectionStart = QPointF(line.cursorToX(section), line.y());
    }
    layout.endLayout();
    QCOMPARE(inEnd.y(), sectionStart.y());

    const qreal wordsWidth = QFontMetricsF(words->font()).horizontalAdvance(words->text());
    const QRectF placed = QRectF(words->geometry()).translated(-sentence->pos());
    QVERIFY(placed.left() > inEnd.x());
    QVERIFY(placed.left() + wordsWidth < sectionStart.x());
    QCOMPARE(placed.top(), sectionStart.y());
    QVERIFY(words->width() >= wordsWidth);
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
