#include "data/appicon.h"

#include <QImage>
#include <QPixmap>
#include <QTest>

using namespace Qt::StringLiterals;

// The window icon comes from the program's resources: each installed size
// must be there, unscaled, as the very PNG the desktop gets.
class TestAppIcon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sizeMatchesInstalledPng_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }

    void sizeMatchesInstalledPng()
    {
        QFETCH(int, size);
        const QString name = QString::number(size);
        const QImage installed(QString::fromUtf8(UPLARK_ICON_DIR) + u'/' + name + u'x' + name
                               + u"/uplark.png"_s);
        QVERIFY(!installed.isNull());

        const QIcon icon = uplark::ApplicationIcon();
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        const QImage shown = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(shown.size(), QSize(size, size));
        // Compared premultiplied, the form a pixmap keeps its pixels in.
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
